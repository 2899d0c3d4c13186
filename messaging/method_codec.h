#ifndef MESSAGING_METHOD_CODEC_H_
#define MESSAGING_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/byte_stream_writer.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace flutter {

// Turns method calls and their replies into bytes and back.
//
// Calls are read, and replies written, into storage the caller chooses (a
// call on its stack, a reply into any writer); the Decode and Encode forms
// give them a heap object or vector of their own.
template <typename T = EncodableValue>
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;

  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // Nothing when the bytes are not a method call.
  virtual std::optional<MethodCall<T>> ReadCall(const uint8_t* message,
                                                size_t message_size) const = 0;
  // nullptr when the bytes are not a method call.
  std::unique_ptr<MethodCall<T>> DecodeCall(const uint8_t* message, size_t message_size) const {
    std::optional<MethodCall<T>> call = ReadCall(message, message_size);
    return call ? std::make_unique<MethodCall<T>>(std::move(*call)) : nullptr;
  }

  virtual std::unique_ptr<std::vector<uint8_t>> EncodeCall(const MethodCall<T>& call) const = 0;

  // `result` is nullptr for a success without a value.
  virtual void WriteSuccessReply(const T* result, ByteStreamWriter* out) const = 0;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessReply(const T* result) const {
    auto message = NewMessage();
    ByteBufferStreamWriter writer(message.get());
    WriteSuccessReply(result, &writer);
    return message;
  }

  // `error_details` is nullptr when there are none.
  virtual void WriteErrorReply(const std::string& error_code,
                               const std::string& error_message,
                               const T* error_details,
                               ByteStreamWriter* out) const = 0;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorReply(const std::string& error_code,
                                                         const std::string& error_message,
                                                         const T* error_details) const {
    auto message = NewMessage();
    ByteBufferStreamWriter writer(message.get());
    WriteErrorReply(error_code, error_message, error_details, &writer);
    return message;
  }

  // Delivers a success or error envelope to `result` and returns true; returns
  // false, delivering nothing, when the bytes are no envelope it understands.
  virtual bool DecodeReply(const uint8_t* reply,
                           size_t reply_size,
                           MethodResult<T>* result) const = 0;

 protected:
  // An empty message with room for a typical call or reply, so that most
  // encodings allocate their vector once instead of growing it through
  // every power of two.
  static std::unique_ptr<std::vector<uint8_t>> NewMessage() {
    constexpr size_t kInitialCapacity = 128;
    auto message = std::make_unique<std::vector<uint8_t>>();
    message->reserve(kInitialCapacity);
    return message;
  }
};

}  // namespace flutter

#endif  // MESSAGING_METHOD_CODEC_H_
