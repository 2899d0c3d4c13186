// Decodes any bytes as a reply envelope; whatever is delivered must encode to
// an envelope that delivers the same answer again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "messaging/standard_method_codec.h"

namespace {

using flutter::EncodableValue;
using flutter::StandardMethodCodec;

// Encodes the answer it receives back into an envelope.
class ReencodingResult : public flutter::MethodResult<EncodableValue> {
 public:
  std::unique_ptr<std::vector<uint8_t>> envelope;
  int answers = 0;

 protected:
  void OnSuccess(const EncodableValue* result) override {
    ++answers;
    envelope = Codec().EncodeSuccessReply(result);
  }
  void OnError(const std::string& code,
               const std::string& message,
               const EncodableValue* details) override {
    ++answers;
    envelope = Codec().EncodeErrorReply(code, message, details);
  }
  void OnNotImplemented() override { std::abort(); }  // Never from a codec.

 private:
  static const StandardMethodCodec& Codec() { return StandardMethodCodec::ForSerializer(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const StandardMethodCodec& codec = StandardMethodCodec::ForSerializer();
  ReencodingResult first;
  bool delivered = codec.DecodeReply(data, size, &first);
  if (delivered != (first.answers == 1) || first.answers > 1) {
    std::abort();
  }
  if (!delivered) {
    return 0;
  }
  ReencodingResult second;
  if (!codec.DecodeReply(first.envelope->data(), first.envelope->size(), &second) ||
      *second.envelope != *first.envelope) {
    std::abort();
  }
  return 0;
}
