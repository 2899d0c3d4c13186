// The "windowEvent" calls the host makes on the Dart side of the window
// channel, and which window messages become one.
#ifndef VELORA_WINDOW_CHANNEL_WINDOW_EVENTS_H_
#define VELORA_WINDOW_CHANNEL_WINDOW_EVENTS_H_

#include <cstdint>

#include "host/single_instance.h"
#include "messaging/encodable_value.h"

namespace velora {

constexpr char kWindowEventMethod[] = "windowEvent";

constexpr char kEnterSizeMoveEvent[] = "enterSizeMove";
constexpr char kExitSizeMoveEvent[] = "exitSizeMove";
constexpr char kSecondInstanceEvent[] = "secondInstance";
constexpr char kMediaKeyEvent[] = "mediaKey";
// Every "type" the host sends, in the order the reference lists them.
constexpr const char* kWindowEventTypes[] = {kEnterSizeMoveEvent, kExitSizeMoveEvent,
                                             kSecondInstanceEvent, kMediaKeyEvent};

// {"type": type}
flutter::EncodableValueMap WindowEvent(const char* type);
// {"type": "secondInstance", "arguments": [...], "workingDirectory": "..."}
flutter::EncodableValueMap SecondInstanceEvent(const SecondLaunch& launch);
// {"type": "mediaKey", "key": key}
flutter::EncodableValueMap MediaKeyEvent(const char* key);

// The "key" of a WM_APPCOMMAND's lParam (its low 32 bits) when it is one of
// the media commands the player takes ("playPause", "play", "pause", "stop",
// "nextTrack", "previousTrack"), whatever device sent it; null for every
// other command, which goes on to the system.
const char* MediaKeyForAppCommand(uint32_t lparam);

}  // namespace velora

#endif  // VELORA_WINDOW_CHANNEL_WINDOW_EVENTS_H_
