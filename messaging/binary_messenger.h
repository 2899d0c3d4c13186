#ifndef MESSAGING_BINARY_MESSENGER_H_
#define MESSAGING_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Answers one message, or receives the reply to one. `reply` may be null when
// `reply_size` is 0.
using ReplyCallback = std::function<void(const uint8_t* reply, size_t reply_size)>;
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
