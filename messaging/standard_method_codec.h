#ifndef MESSAGING_STANDARD_METHOD_CODEC_H_
#define MESSAGING_STANDARD_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messaging/encodable_value.h"
#include "messaging/method_codec.h"
#include "messaging/standard_codec_serializer.h"

namespace flutter {

// The method codec of the standard message format: a call is the method name
// as a string value followed by the arguments; a reply is a flag byte (0
// success, 1 error) followed by its values.
class StandardMethodCodec : public MethodCodec<EncodableValue> {
 public:
  // The codec for `serializer` (the shared one when nullptr), created on the
  // first request and kept until the process ends.
  static const StandardMethodCodec& ForSerializer(
      const StandardCodecSerializer* serializer = nullptr);

  ~StandardMethodCodec() override;
  StandardMethodCodec(const StandardMethodCodec&) = delete;
  StandardMethodCodec& operator=(const StandardMethodCodec&) = delete;

  std::optional<MethodCall<EncodableValue>> ReadCall(const uint8_t* message,
                                                     size_t message_size) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeCall(
      const MethodCall<EncodableValue>& call) const override;
  void WriteSuccessReply(const EncodableValue* result, ByteStreamWriter* out) const override;
  void WriteErrorReply(const std::string& error_code,
                       const std::string& error_message,
                       const EncodableValue* error_details,
                       ByteStreamWriter* out) const override;
  bool DecodeReply(const uint8_t* reply,
                   size_t reply_size,
                   MethodResult<EncodableValue>* result) const override;

 private:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer);

  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter

#endif  // MESSAGING_STANDARD_METHOD_CODEC_H_
