#include "window_channel/window_events.h"

#include <utility>

namespace velora {

using flutter::EncodableValue;
using flutter::EncodableValueList;
using flutter::EncodableValueMap;

namespace {

// GET_APPCOMMAND_LPARAM: the command is the high word without the device bits.
constexpr uint32_t kAppCommandDeviceMask = 0xF000;

struct MediaCommand {
  uint32_t command;
  const char* key;
};

// APPCOMMAND_MEDIA_*, as winuser.h numbers them.
constexpr MediaCommand kMediaCommands[] = {
    {14, "playPause"}, {46, "play"},      {47, "pause"},
    {13, "stop"},      {11, "nextTrack"}, {12, "previousTrack"},
};

}  // namespace

EncodableValueMap WindowEvent(const char* type) {
  EncodableValueMap event;
  event.emplace(EncodableValue("type"), EncodableValue(type));
  return event;
}

EncodableValueMap SecondInstanceEvent(const SecondLaunch& launch) {
  EncodableValueMap event = WindowEvent(kSecondInstanceEvent);
  EncodableValueList arguments;
  arguments.reserve(launch.arguments.size());
  for (const std::string& argument : launch.arguments) {
    arguments.emplace_back(argument);
  }
  event.emplace(EncodableValue("arguments"), EncodableValue(std::move(arguments)));
  event.emplace(EncodableValue("workingDirectory"), EncodableValue(launch.working_directory));
  return event;
}

EncodableValueMap MediaKeyEvent(const char* key) {
  EncodableValueMap event = WindowEvent(kMediaKeyEvent);
  event.emplace(EncodableValue("key"), EncodableValue(key));
  return event;
}

const char* MediaKeyForAppCommand(uint32_t lparam) {
  const uint32_t high_word = (lparam >> 16) & 0xFFFFu;
  const uint32_t command = high_word & ~kAppCommandDeviceMask;
  for (const MediaCommand& media : kMediaCommands) {
    if (media.command == command) {
      return media.key;
    }
  }
  return nullptr;
}

}  // namespace velora
