#include "messaging/engine_method_result.h"

#include <memory>
#include <utility>

#include "messaging/diagnostic_line.h"

namespace flutter {

OneShotReply::OneShotReply(ReplyCallback callback) : callback_(std::move(callback)) {}

OneShotReply::~OneShotReply() {
  if (!answered_.load() && callback_) {
    WriteDiagnosticLine("Warning: Failed to respond to a message. This is a memory leak.");
  }
}

void OneShotReply::SendBytes(const std::vector<uint8_t>* bytes) {
  if (answered_.exchange(true) || !callback_) {
    WriteDiagnosticLine(
        "Error: Only one of Success, Error, or NotImplemented can be called,"
        " and it can be called exactly once. Ignoring duplicate result.");
    return;
  }
  if (bytes != nullptr && !bytes->empty()) {
    callback_(bytes->data(), bytes->size());
  } else {
    callback_(nullptr, 0);
  }
  // Whatever the callback holds (the messenger reference) goes now.
  callback_ = nullptr;
}

EngineMethodResult::EngineMethodResult(ReplyCallback reply,
                                       const MethodCodec<EncodableValue>* codec)
    : reply_(std::move(reply)), codec_(codec) {}

EngineMethodResult::~EngineMethodResult() = default;

// Each answer is encoded before the once-only test in SendBytes, so a
// duplicate is encoded and then thrown away.
void EngineMethodResult::OnSuccess(const EncodableValue* result) {
  std::unique_ptr<std::vector<uint8_t>> bytes = codec_->EncodeSuccessReply(result);
  reply_.SendBytes(bytes.get());
}

void EngineMethodResult::OnError(const std::string& error_code,
                                 const std::string& error_message,
                                 const EncodableValue* error_details) {
  std::unique_ptr<std::vector<uint8_t>> bytes =
      codec_->EncodeErrorReply(error_code, error_message, error_details);
  reply_.SendBytes(bytes.get());
}

void EngineMethodResult::OnNotImplemented() {
  reply_.SendBytes(nullptr);
}

}  // namespace flutter
