#ifndef MESSAGING_ENGINE_METHOD_RESULT_H_
#define MESSAGING_ENGINE_METHOD_RESULT_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "messaging/binary_messenger.h"
#include "messaging/encodable_value.h"
#include "messaging/method_codec.h"
#include "messaging/method_result.h"

namespace flutter {

// Answers one incoming message exactly once. Every answer goes through
// SendBytes, so at most one ever leaves.
class OneShotReply {
 public:
  explicit OneShotReply(ReplyCallback callback);
  // Warns when no answer was sent: the Dart caller then waits forever.
  ~OneShotReply();

  OneShotReply(const OneShotReply&) = delete;
  OneShotReply& operator=(const OneShotReply&) = delete;

  // Sends the `size` bytes at `data` (none: an empty reply) unless an answer
  // has already been sent, which is reported instead.
  void SendBytes(const uint8_t* data, size_t size);

 private:
  ReplyCallback callback_;
  // Claimed by the first answer. Atomic so that even two threads answering
  // at once send only one reply (the other gets the duplicate line).
  std::atomic<bool> answered_{false};
};

// The MethodResult of a call that came in through a method channel: encodes
// the answer with the channel's codec and sends it back as the reply.
class EngineMethodResult : public MethodResult<EncodableValue> {
 public:
  // `codec` is not owned and must outlive the result.
  EngineMethodResult(ReplyCallback reply, const MethodCodec<EncodableValue>* codec);
  ~EngineMethodResult() override;
  EngineMethodResult(const EngineMethodResult&) = delete;
  EngineMethodResult& operator=(const EngineMethodResult&) = delete;

 protected:
  void OnSuccess(const EncodableValue* result) override;
  void OnError(const std::string& error_code,
               const std::string& error_message,
               const EncodableValue* error_details) override;
  // A reply of length 0, never an envelope.
  void OnNotImplemented() override;

 private:
  OneShotReply reply_;
  const MethodCodec<EncodableValue>* codec_;
};

}  // namespace flutter

#endif  // MESSAGING_ENGINE_METHOD_RESULT_H_
