// Which window commands become media-key events, the events' values, and
// the execution states keep-awake asks for.
#include "window_channel/window_events.h"

#include <gtest/gtest.h>

#include <string>

#include "window_channel/keep_awake.h"

namespace velora {
namespace {

using flutter::EncodableValue;
using flutter::EncodableValueList;
using flutter::EncodableValueMap;

TEST(WindowEventsTest, MediaCommandsFromAnyDeviceAreKeysAndNothingElseIs) {
  struct Case {
    uint32_t command;
    const char* key;
  };
  const Case media[] = {{14, "playPause"}, {46, "play"},      {47, "pause"},
                        {13, "stop"},      {11, "nextTrack"}, {12, "previousTrack"}};
  // FAPPCOMMAND_KEY, _MOUSE and _OEM in the high word's top bits; the low
  // word carries the keys held down.
  for (uint32_t device : {0x0000u, 0x8000u, 0x1000u}) {
    for (const Case& item : media) {
      const uint32_t lparam = ((device | item.command) << 16) | 0x0004u;
      const char* key = MediaKeyForAppCommand(lparam);
      ASSERT_NE(key, nullptr) << item.command << " from " << device;
      EXPECT_STREQ(key, item.key);
    }
  }
  // Volume, browser, mail, launch-app and unknown commands go to the system.
  for (uint32_t command : {0u, 1u, 7u, 8u, 9u, 10u, 15u, 16u, 17u, 45u, 48u, 49u, 52u, 0xFFFu}) {
    EXPECT_EQ(MediaKeyForAppCommand(command << 16), nullptr) << command;
    EXPECT_EQ(MediaKeyForAppCommand((0x8000u | command) << 16), nullptr) << command;
  }
  // A command number in the low word is no command.
  EXPECT_EQ(MediaKeyForAppCommand(14), nullptr);
}

TEST(WindowEventsTest, EventsCarryTheirTypeAndFields) {
  EXPECT_EQ(EncodableValue(WindowEvent(kExitSizeMoveEvent)),
            EncodableValue(EncodableValueMap{{"type", "exitSizeMove"}}));
  EXPECT_EQ(EncodableValue(MediaKeyEvent("nextTrack")),
            EncodableValue(EncodableValueMap{{"type", "mediaKey"}, {"key", "nextTrack"}}));
  const SecondLaunch launch{{"C:\\Caf\xC3\xA9.mkv", ""}, "D:\\"};
  EXPECT_EQ(EncodableValue(SecondInstanceEvent(launch)),
            EncodableValue(EncodableValueMap{
                {"type", "secondInstance"},
                {"arguments",
                 EncodableValueList{EncodableValue("C:\\Caf\xC3\xA9.mkv"), EncodableValue("")}},
                {"workingDirectory", "D:\\"}}));
  EXPECT_EQ(EncodableValue(SecondInstanceEvent({{}, ""})),
            EncodableValue(EncodableValueMap{{"type", "secondInstance"},
                                             {"arguments", EncodableValueList{}},
                                             {"workingDirectory", ""}}));
}

TEST(WindowEventsTest, KeepAwakeAsksForTheSystemAndTheDisplayOrGivesBoth) {
  // ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED, as winbase.h has them.
  EXPECT_EQ(ExecutionStateFor(true, true), 0x80000003u);
  EXPECT_EQ(ExecutionStateFor(true, false), 0x80000001u);
  EXPECT_EQ(ExecutionStateFor(false, true), 0x80000000u);
  EXPECT_EQ(ExecutionStateFor(false, false), 0x80000000u);
}

}  // namespace
}  // namespace velora
