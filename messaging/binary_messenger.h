#ifndef MESSAGING_BINARY_MESSENGER_H_
#define MESSAGING_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace flutter {

// Answers one message, or receives the reply to one: called as
// `callback(reply, reply_size)`, where `reply` may be null when `reply_size`
// is 0. Used like a std::function, with one difference: its copies share one
// callable rather than copying it, so an answer that must go at most once is
// one object however often it is copied, and copying costs no allocation.
class ReplyCallback {
 public:
  // What a ReplyCallback calls; the messenger's own answers are one.
  class Target {
   public:
    Target() = default;
    virtual ~Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    virtual void Call(const uint8_t* reply, size_t reply_size) = 0;
  };

  ReplyCallback() noexcept = default;
  // Like std::function: implicitly constructible from nullptr, and from any
  // callable.
  ReplyCallback(std::nullptr_t) noexcept {}
  template <typename F,
            typename = std::enable_if_t<
                !std::is_same<std::decay_t<F>, ReplyCallback>::value &&
                std::is_invocable<std::decay_t<F>&, const uint8_t*, size_t>::value>>
  ReplyCallback(F&& function)
      : target_(std::make_shared<FunctionTarget<std::decay_t<F>>>(std::forward<F>(function))) {}
  explicit ReplyCallback(std::shared_ptr<Target> target) noexcept : target_(std::move(target)) {}

  // Throws std::bad_function_call when empty, as std::function does.
  void operator()(const uint8_t* reply, size_t reply_size) const {
    if (!target_) {
      throw std::bad_function_call();
    }
    target_->Call(reply, reply_size);
  }
  explicit operator bool() const noexcept { return target_ != nullptr; }
  friend bool operator==(const ReplyCallback& callback, std::nullptr_t) noexcept {
    return !callback;
  }
  friend bool operator!=(const ReplyCallback& callback, std::nullptr_t) noexcept {
    return static_cast<bool>(callback);
  }

 private:
  template <typename F>
  class FunctionTarget : public Target {
   public:
    explicit FunctionTarget(F function) : function_(std::move(function)) {}
    void Call(const uint8_t* reply, size_t reply_size) override { function_(reply, reply_size); }

   private:
    F function_;
  };

  std::shared_ptr<Target> target_;
};
using BinaryReply = ReplyCallback;

// Handles the messages of one channel; `reply` answers this one message, at
// most once (a second call is reported and ignored).
using ChannelHandler =
    std::function<void(const uint8_t* message, size_t message_size, ReplyCallback reply)>;

// Bytes on named channels to and from the Dart side.
class BinaryMessenger {
 public:
  BinaryMessenger() = default;
  virtual ~BinaryMessenger() = default;

  BinaryMessenger(const BinaryMessenger&) = delete;
  BinaryMessenger& operator=(const BinaryMessenger&) = delete;

  // Sends `message` on `channel`. With a `reply`, it is called once with the
  // answer, or never when the message is refused. The bytes need to live only
  // during the call.
  virtual void Send(const std::string& channel,
                    const uint8_t* message,
                    size_t message_size,
                    BinaryReply reply = nullptr) const = 0;

  // Installs, replaces or (with an empty handler) removes the handler of
  // `channel`.
  virtual void SetChannelHandler(const std::string& channel, ChannelHandler handler) = 0;
};

}  // namespace flutter

#endif  // MESSAGING_BINARY_MESSENGER_H_
