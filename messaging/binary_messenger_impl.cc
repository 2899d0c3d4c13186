#include "messaging/binary_messenger_impl.h"

#include <atomic>
#include <memory>
#include <tuple>
#include <utility>

#include "messaging/diagnostic_line.h"

namespace flutter {

namespace {

// The answer to one incoming message. Every copy of the message's
// ReplyCallback shares this one object, so no copy can answer a second time,
// whichever thread it runs on; the messenger reference it holds is released
// when the last copy is destroyed, which may be long after the handler has
// returned.
class IncomingReply : public ReplyCallback::Target {
 public:
  // Takes over one reference on `messenger` (which may be null if the
  // embedder refused the reference; then nothing can be answered).
  IncomingReply(FlutterDesktopMessengerRef messenger,
                const FlutterDesktopMessageResponseHandle* response_handle)
      : messenger_(messenger), response_handle_(response_handle) {}

  ~IncomingReply() override {
    if (messenger_ != nullptr) {
      FlutterDesktopMessengerRelease(messenger_);
    }
  }

  IncomingReply(const IncomingReply&) = delete;
  IncomingReply& operator=(const IncomingReply&) = delete;

  void Call(const uint8_t* data, size_t size) override {
    if (messenger_ == nullptr) {
      return;
    }
    // Held around the availability test and the response, so the engine
    // cannot go away in between.
    FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(messenger_);
    if (FlutterDesktopMessengerIsAvailable(messenger_)) {
      const FlutterDesktopMessageResponseHandle* handle = response_handle_.exchange(nullptr);
      if (handle != nullptr) {
        FlutterDesktopMessengerSendResponse(messenger_, handle, size > 0 ? data : nullptr, size);
      } else {
        WriteDiagnosticLine("Error: Response can be set only once. Ignoring duplicate response.");
      }
    }
    if (locked != nullptr) {
      FlutterDesktopMessengerUnlock(locked);
    }
  }

 private:
  FlutterDesktopMessengerRef messenger_;
  // Cleared by the one answer that is sent. Atomic because copies of the
  // callback may race from different threads when the lock is unavailable.
  std::atomic<const FlutterDesktopMessageResponseHandle*> response_handle_;
};

void DispatchIncomingMessage(FlutterDesktopMessengerRef messenger,
                             const FlutterDesktopMessage* message,
                             void* user_data) {
  // The handler is found by the user data alone; the record's channel name is
  // not needed.
  auto* handler = static_cast<ChannelHandler*>(user_data);
  (*handler)(message->message, message->message_size,
             ReplyCallback(std::make_shared<IncomingReply>(FlutterDesktopMessengerAddRef(messenger),
                                                           message->response_handle)));
}

void DeliverReply(const uint8_t* data, size_t data_size, void* user_data) {
  // Each holder is called back exactly once and freed here.
  std::unique_ptr<BinaryReply> holder(static_cast<BinaryReply*>(user_data));
  (*holder)(data, data_size);
}

}  // namespace

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
    : messenger_handle_(messenger) {}

BinaryMessengerImpl::~BinaryMessengerImpl() = default;

void BinaryMessengerImpl::Send(const std::string& channel,
                               const uint8_t* message,
                               size_t message_size,
                               BinaryReply reply) const {
  if (!reply) {
    std::ignore =
        FlutterDesktopMessengerSend(messenger_handle_, channel.c_str(), message, message_size);
    return;
  }
  auto holder = std::make_unique<BinaryReply>(std::move(reply));
  if (FlutterDesktopMessengerSendWithReply(messenger_handle_, channel.c_str(), message,
                                           message_size, DeliverReply, holder.get())) {
    // The embedder owns it now and frees it through DeliverReply.
    (void)holder.release();
  }
  // Refused: the holder goes here and the reply is never called.
}

void BinaryMessengerImpl::SetChannelHandler(const std::string& channel, ChannelHandler handler) {
  if (!handler) {
    // Empty handlers are never stored: the entry goes, then the embedder
    // forgets its address.
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_handle_, channel.c_str(), nullptr, nullptr);
    return;
  }
  // Replaced in place: the entry keeps its address, which the embedder holds.
  ChannelHandler& entry = handlers_[channel];
  entry = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_handle_, channel.c_str(), DispatchIncomingMessage,
                                     &entry);
}

}  // namespace flutter
