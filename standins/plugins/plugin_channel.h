// What both plugin stand-ins do on registration: answer every message on a
// channel of their own with a success envelope holding their name, through
// the embedder's C interface alone, so that their registration shows on the
// wire.
#ifndef VELORA_STANDINS_PLUGINS_PLUGIN_CHANNEL_H_
#define VELORA_STANDINS_PLUGINS_PLUGIN_CHANNEL_H_

#include <cstdint>
#include <cstring>
#include <vector>

#include "flutter_windows.h"

namespace velora::standin {

// The success envelope of a short string: 00, tag 07, one size byte, bytes.
inline std::vector<uint8_t> NameEnvelope(const char* name) {
  const size_t length = std::strlen(name);  // names here are far below 254
  std::vector<uint8_t> envelope = {0x00, 0x07, static_cast<uint8_t>(length)};
  envelope.insert(envelope.end(), name, name + length);
  return envelope;
}

inline void AnswerWithName(FlutterDesktopMessengerRef messenger,
                           const FlutterDesktopMessage* message,
                           void* user_data) {
  const std::vector<uint8_t> envelope = NameEnvelope(static_cast<const char*>(user_data));
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, envelope.data(),
                                      envelope.size());
}

inline void InstallNamedChannel(FlutterDesktopPluginRegistrarRef registrar,
                                const char* channel,
                                const char* name) {
  FlutterDesktopMessengerRef messenger = FlutterDesktopPluginRegistrarGetMessenger(registrar);
  FlutterDesktopMessengerSetCallback(messenger, channel, AnswerWithName, const_cast<char*>(name));
}

}  // namespace velora::standin

#endif  // VELORA_STANDINS_PLUGINS_PLUGIN_CHANNEL_H_
