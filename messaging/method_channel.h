#ifndef MESSAGING_METHOD_CHANNEL_H_
#define MESSAGING_METHOD_CHANNEL_H_

#include <functional>
#include <memory>
#include <string>

#include "messaging/binary_messenger.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_codec.h"
#include "messaging/method_result.h"

namespace flutter {

// Handles one decoded call; the result is the handler's to answer exactly
// once, now or later, on any thread.
using CallHandler = std::function<void(const MethodCall<EncodableValue>& call,
                                       std::unique_ptr<MethodResult<EncodableValue>> result)>;

// Method-call semantics on one named channel of a BinaryMessenger.
//
// The registration belongs to the messenger, not to this object: the handler
// closure holds its own copies of the handler, codec and name, so the channel
// object may be destroyed while the handler stays installed.
class MethodCallChannel {
 public:
  // Neither `messenger` nor `codec` is owned; both must outlive the channel
  // (and the codec every installed handler and pending reply).
  MethodCallChannel(BinaryMessenger* messenger,
                    std::string name,
                    const MethodCodec<EncodableValue>* codec);
  ~MethodCallChannel();

  MethodCallChannel(const MethodCallChannel&) = delete;
  MethodCallChannel& operator=(const MethodCallChannel&) = delete;

  // Installs `handler` for this channel's name, or removes the channel's
  // handler when it is empty.
  void InstallCallHandler(CallHandler handler) const;

  // Sends the call `method` with `arguments` (nullptr: none). With a
  // `result`, the Dart side's reply is decoded into it; an empty reply means
  // NotImplemented. A refused message releases the result unanswered.
  void SendMethodCall(const std::string& method,
                      std::unique_ptr<EncodableValue> arguments,
                      std::unique_ptr<MethodResult<EncodableValue>> result = nullptr) const;

  const std::string& name() const { return name_; }

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<EncodableValue>* codec_;
};

}  // namespace flutter

#endif  // MESSAGING_METHOD_CHANNEL_H_
