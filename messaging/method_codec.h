#ifndef MESSAGING_METHOD_CODEC_H_
#define MESSAGING_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace flutter {

// Turns method calls and their replies into bytes and back.
template <typename T = EncodableValue>
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;

  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // nullptr when the bytes are not a method call.
  virtual std::unique_ptr<MethodCall<T>> DecodeCall(const uint8_t* message,
                                                    size_t message_size) const = 0;

  virtual std::unique_ptr<std::vector<uint8_t>> EncodeCall(const MethodCall<T>& call) const = 0;

  // `result` is nullptr for a success without a value.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessReply(const T* result) const = 0;

  // `error_details` is nullptr when there are none.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorReply(const std::string& error_code,
                                                                 const std::string& error_message,
                                                                 const T* error_details) const = 0;

  // Delivers a success or error envelope to `result` and returns true; returns
  // false, delivering nothing, when the bytes are no envelope it understands.
  virtual bool DecodeReply(const uint8_t* reply,
                           size_t reply_size,
                           MethodResult<T>* result) const = 0;
};

}  // namespace flutter

#endif  // MESSAGING_METHOD_CODEC_H_
