// Faults injected into the stand-in under the real executable: the messenger
// refusing the host's sends, texture registration answered with 0, and the
// engine ending with textures registered and frames just marked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/scenario_harness.h"

namespace velora::test {
namespace {

// "windowEvent" {"type": TYPE}, as the host sends it.
std::string WindowEvent(const std::string& type) {
  char size[3];
  std::snprintf(size, sizeof size, "%02x", static_cast<unsigned>(type.size()));
  return "host-send velora/window 070b" + HexOfText("windowEvent") + "0d010704" +
         HexOfText("type") + "07" + size + HexOfText(type);
}

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

TEST(FaultScenarioTest, RefusedSendsLoseTheWindowEventsOnlyWhileRefused) {
  // A timer step comes only after the posted messages are handled.
  const ScenarioRun run = RunScenario(
      "refusesends 1\n"                           // 1
      "post 0x231\n"                              // 2
      "post 0x232\n"                              // 3
      "sleep 1\n"                                 // 4
      "call velora/window isFullscreen\n"         // 5
      "call velora/gpu_texture create {\"sharedHandle\": \"5\"}\n"  // 6
      "refusesends 0\n"                           // 7
      "post 0x231\n"                              // 8
      "post 0x232\n"                              // 9
      "sleep 1\n"                                 // 10
      "call velora/window isFullscreen\n"         // 11
      "close\n");
  ASSERT_EQ(run.exit_code, 0);
  // Incoming calls are answered whatever happens to the host's own sends.
  EXPECT_EQ(run.Response(5), "0002");
  EXPECT_EQ(run.Response(6).substr(0, 6), "000d02");
  EXPECT_EQ(run.Response(11), "0002");
  // Only the second loop's events reach the app side, once each.
  EXPECT_EQ(run.LinesStartingWith("host-send "),
            (std::vector<std::string>{WindowEvent("enterSizeMove"), WindowEvent("exitSizeMove")}));
  // Both loops end with their run-log lines all the same.
  EXPECT_EQ(Count(run.run_log, "WM_EXITSIZEMOVE: ForceRedraw()"), 2);
  EXPECT_EQ(Count(run.run_log, "child_windows (WM_EXITSIZEMOVE):"), 2);
  EXPECT_EQ(run.stderr_text, "");
}

TEST(FaultScenarioTest, RegistrationAnsweredWithZeroIsRefusedAndLeavesNothing) {
  const ScenarioRun run = RunScenario(
      "nexttextureid 0\n"                                                  // 1
      "call velora/gpu_texture create {\"sharedHandle\": \"77\"}\n"         // 2
      "call velora/gpu_texture update {\"textureId\": 0}\n"                 // 3
      "call velora/gpu_texture dispose {\"textureId\": 0}\n"                // 4
      "call velora/gpu_texture create {\"sharedHandle\": \"78\"}\n"         // 5
      "frames 0 3\n"                                                       // 6
      "close\n");
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.Response(2), "01070f" + HexOfText("register_failed") + "071a" +
                                 HexOfText("RegisterTexture returned 0") + "00");
  // Nothing is kept under 0.
  EXPECT_EQ(run.Response(3), "010709" + HexOfText("not_found") + "0711" +
                                 HexOfText("Texture not found") + "00");
  EXPECT_EQ(run.Response(4), "0001");
  // The next registration gets the first id, as if nothing had happened.
  EXPECT_EQ(run.Response(5), "000d02070c" + HexOfText("sharedHandle") + "0702" +
                                 HexOfText("78") + "0709" + HexOfText("textureId") +
                                 "040100000000000000");
  EXPECT_NE(run.IndexOf("frames-done 6"), -1);
  EXPECT_EQ(run.gpu_log, (std::vector<std::string>{
                             "HandleCreate begin", "HandleUpdate begin", "HandleCreate begin",
                             "HandleCreate done textureId=1 handle=78 w=1920 h=1080",
                             "MarkFrameAvailable tid=0", "MarkFrameAvailable tid=0",
                             "MarkFrameAvailable tid=0"}));
}

// The window closes while textures are registered and their frames are
// being composed: the engine ends its registrars with the plugin's textures
// still registered, and the process ends normally.
TEST(FaultScenarioTest, EngineEndsWithTexturesRegisteredAndFramesInFlight) {
  std::string scenario;
  for (int i = 1; i <= 8; ++i) {
    scenario += "call velora/gpu_texture create {\"sharedHandle\": \"" + std::to_string(i) + "\"}\n";
  }
  for (int i = 1; i <= 8; ++i) {
    scenario += "frames " + std::to_string(i) + " 500\n";
  }
  // Many renderer threads that have come and gone: the process still ends
  // (the thread-end bookkeeping of the export once hung the exit here).
  for (int i = 0; i < 100; ++i) {
    scenario += "frames " + std::to_string(1 + i % 8) + " 1\n";
  }
  scenario += "close\n";
  const ScenarioRun run = RunScenario(scenario);
  ASSERT_EQ(run.exit_code, 0);
  for (int line = 1; line <= 8; ++line) {
    EXPECT_EQ(run.Response(line).substr(0, 6), "000d02") << line;
  }
  EXPECT_EQ(run.LinesStartingWith("frames-done ").size(), 108u);
  EXPECT_NE(run.IndexOf("engine-ended"), -1);
  EXPECT_EQ(run.run_log.back(), "message loop exited");
  EXPECT_EQ(run.stderr_text, "");
}

}  // namespace
}  // namespace velora::test
