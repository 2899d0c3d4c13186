#ifndef MESSAGING_STANDARD_CODEC_SERIALIZER_H_
#define MESSAGING_STANDARD_CODEC_SERIALIZER_H_

#include <cstddef>
#include <cstdint>

#include "messaging/byte_stream_reader.h"
#include "messaging/byte_stream_writer.h"
#include "messaging/encodable_value.h"

namespace flutter {

// Writes and reads EncodableValues in the standard message codec's byte
// format. Stateless; the shared instance may be used from any thread.
//
// Decoding never fails as a whole: bad input is reported on standard error and
// read as zeros, empty values or null. Unlike a naive reader it never
// allocates for a count that the rest of the message cannot hold, and it reads
// values nested deeper than kMaxNestingDepth as null, so hostile messages cost
// neither unbounded memory nor unbounded stack.
class StandardCodecSerializer {
 public:
  // Levels of lists and maps an incoming value may have. A thread with a
  // 256 KiB stack reads this deep even in an unoptimised, sanitised build.
  static constexpr int kMaxNestingDepth = 64;

  StandardCodecSerializer();
  virtual ~StandardCodecSerializer();

  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // The process-wide instance, created on first use.
  static const StandardCodecSerializer& Shared();

  // Writes the value's tag and body. Overrides can give custom values tags of
  // their own; nested list and map elements come back through this function.
  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;

  // Reads the body of a value whose tag `type` was already read. The base
  // class knows tags 0 to 14; overrides handle their own tags and pass the
  // rest here.
  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

  // Reads a tag and its value through ReadValueOfType.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  // The 1-, 3- or 5-byte size encoding. Only the low 32 bits of `size` are
  // written, so callers keep sizes at or below 4294967295.
  size_t ReadSize(ByteStreamReader* stream) const;
  void WriteSize(size_t size, ByteStreamWriter* stream) const;
};

}  // namespace flutter

#endif  // MESSAGING_STANDARD_CODEC_SERIALIZER_H_
