#ifndef MESSAGING_BINARY_MESSENGER_IMPL_H_
#define MESSAGING_BINARY_MESSENGER_IMPL_H_

#include <map>
#include <string>

#include "flutter_windows.h"
#include "messaging/binary_messenger.h"

namespace flutter {

// BinaryMessenger over the embedder's messenger handle.
//
// The embedder keeps the address of each channel's handler as user data, so
// the table is node based: an entry's handler never moves while the entry
// exists. Destruction drops the table without telling the embedder, so the
// owner destroys this only once the embedder delivers no more messages (after
// the engine is gone).
class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // `messenger` is not owned and no reference is taken on it.
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger);
  ~BinaryMessengerImpl() override;

  void Send(const std::string& channel,
            const uint8_t* message,
            size_t message_size,
            BinaryReply reply = nullptr) const override;
  void SetChannelHandler(const std::string& channel, ChannelHandler handler) override;

 private:
  FlutterDesktopMessengerRef messenger_handle_;
  std::map<std::string, ChannelHandler> handlers_;
};

}  // namespace flutter

#endif  // MESSAGING_BINARY_MESSENGER_IMPL_H_
