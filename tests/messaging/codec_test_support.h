#ifndef TESTS_MESSAGING_CODEC_TEST_SUPPORT_H_
#define TESTS_MESSAGING_CODEC_TEST_SUPPORT_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "messaging/encodable_value.h"
#include "tests/support/allocation_counter.h"

namespace flutter {
namespace testing {

using Bytes = std::vector<uint8_t>;

// "07 03 61 62 63" -> {0x07, 0x03, 0x61, 0x62, 0x63}. Blanks separate bytes.
Bytes Hex(std::string_view hex);

// The bytes of `text`, for splicing names into expected messages.
Bytes Ascii(std::string_view text);

// Concatenation of byte pieces.
Bytes Join(std::initializer_list<Bytes> pieces);

// One value written with, and read back by, the shared serializer.
Bytes Encode(const EncodableValue& value);
EncodableValue Decode(const Bytes& bytes);

// Everything written to standard error while it lives, as lines without their
// newlines.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Stops capturing; call at most once.
  std::vector<std::string> Lines();

 private:
  bool capturing_ = true;
};

// Counts heap allocations made by operator new on the calling thread while it
// lives.
using velora::AllocationCounter;

}  // namespace testing

// Readable values in assertion messages.
void PrintTo(const EncodableValue& value, std::ostream* out);

}  // namespace flutter

#endif  // TESTS_MESSAGING_CODEC_TEST_SUPPORT_H_
