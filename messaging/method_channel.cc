#include "messaging/method_channel.h"

#include <optional>
#include <utility>
#include <vector>

#include "messaging/diagnostic_line.h"
#include "messaging/engine_method_result.h"

namespace flutter {

MethodCallChannel::MethodCallChannel(BinaryMessenger* messenger,
                                     std::string name,
                                     const MethodCodec<EncodableValue>* codec)
    : messenger_(messenger), name_(std::move(name)), codec_(codec) {}

MethodCallChannel::~MethodCallChannel() = default;

void MethodCallChannel::InstallCallHandler(CallHandler handler) const {
  if (!handler) {
    messenger_->SetChannelHandler(name_, nullptr);
    return;
  }
  messenger_->SetChannelHandler(
      name_, [handler = std::move(handler), codec = codec_, name = name_](
                 const uint8_t* message, size_t message_size, ReplyCallback reply) {
        // Made first, so that every path below answers through it (or warns).
        auto result = std::make_unique<EngineMethodResult>(std::move(reply), codec);
        // On the stack: the handler sees the call only while it runs.
        std::optional<MethodCall<EncodableValue>> call = codec->ReadCall(message, message_size);
        if (!call) {
          WriteDiagnosticLine("Unable to construct method call from message on channel " + name);
          result->NotImplemented();
          return;
        }
        handler(*call, std::move(result));
      });
}

void MethodCallChannel::SendMethodCall(const std::string& method,
                                       std::unique_ptr<EncodableValue> arguments,
                                       std::unique_ptr<MethodResult<EncodableValue>> result) const {
  MethodCall<EncodableValue> call(method, std::move(arguments));
  std::unique_ptr<std::vector<uint8_t>> message = codec_->EncodeCall(call);
  if (!result) {
    messenger_->Send(name_, message->data(), message->size(), nullptr);
    return;
  }
  // Shared, because a ReplyCallback must be copyable; the result is released
  // with the last copy, answered or (when the message is refused) not.
  std::shared_ptr<MethodResult<EncodableValue>> shared_result = std::move(result);
  messenger_->Send(
      name_, message->data(), message->size(),
      [shared_result, codec = codec_, name = name_](const uint8_t* reply, size_t reply_size) {
        if (reply_size == 0) {
          shared_result->NotImplemented();
          return;
        }
        if (!codec->DecodeReply(reply, reply_size, shared_result.get())) {
          WriteDiagnosticLine("Unable to decode reply to method invocation on channel " + name);
          shared_result->NotImplemented();
        }
      });
}

}  // namespace flutter
