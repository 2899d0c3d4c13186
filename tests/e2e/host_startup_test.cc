// The real executable under Wine: start-up geometry, the window hidden
// until the first frame, closing, the run log and the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "tests/e2e/scenario_harness.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

using test::HexOfText;
using test::MonitorRecord;
using test::RunScenario;
using test::ScenarioRun;

constexpr DWORD kOverlapped = 0x00CF0000;

// The frame-inclusive size of the requested 1920 x 1188 client rectangle
// at a DPI, as the platform computes it.
SIZE FrameInclusiveSize(UINT dpi) {
  RECT rect = {0, 0, 1920, 1188};
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  auto adjust = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (adjust != nullptr) {
    adjust(&rect, kOverlapped, FALSE, 0, dpi);
  } else {
    AdjustWindowRectEx(&rect, kOverlapped, FALSE, 0);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

struct WindowRecord {
  std::string class_name;
  int visible = -1;
  unsigned style = 0;
  long left = 0, top = 0, right = 0, bottom = 0;
  long client_width = 0, client_height = 0;
  std::string title_hex;
};

WindowRecord ParseWindow(const std::string& line) {
  WindowRecord record;
  char class_name[128] = {};
  char title[512] = {};
  unsigned ex_style = 0;
  std::sscanf(line.c_str(),
              "window class=%127s visible=%d style=0x%x exstyle=0x%x rect=%ld,%ld,%ld,%ld "
              "client=%ldx%ld title=%511s",
              class_name, &record.visible, &record.style, &ex_style, &record.left, &record.top,
              &record.right, &record.bottom, &record.client_width, &record.client_height, title);
  record.class_name = class_name;
  record.title_hex = title;
  return record;
}

// A client extent asked for in [low, high] is what the window gets, unless
// the window would outgrow the platform's maximum tracking size (a frame
// larger than a work area that the requested size already fills): then the
// window is that size and its client area what is left inside.
void ExpectClientExtent(long client, long outer, long low, long high, long max_track) {
  if (client >= low && client <= high) {
    return;
  }
  EXPECT_EQ(outer, max_track) << "client " << client << " outside [" << low << ", " << high
                              << "] and the window not at the maximum tracking size";
  EXPECT_LT(client, low);
}

TEST(HostStartupTest, HiddenUntilTheFirstFrameCentredAtOneHundredPercentThenCleanClose) {
  const ScenarioRun run = RunScenario(
      "noframe\n"
      "window\n"
      "sleep 300\n"
      "window\n"
      "frame\n"
      "sleep 50\n"
      "window\n"
      "monitor\n"
      "close\n",
      {L"VELORA_STANDIN_DPI=96"});
  const std::vector<std::string> windows = run.LinesStartingWith("window ");
  ASSERT_EQ(windows.size(), 3u);
  const MonitorRecord monitor = run.Monitor();
  ASSERT_TRUE(monitor.recorded);
  const WindowRecord first = ParseWindow(windows[0]);
  EXPECT_EQ(first.class_name, "FLUTTER_RUNNER_WIN32_WINDOW");
  // The platform adds WS_CLIPSIBLINGS to every top-level window.
  EXPECT_EQ(first.style & ~unsigned{WS_CLIPSIBLINGS}, 0x02CF0000u);
  EXPECT_EQ(first.visible, 0);
  EXPECT_EQ(first.title_hex, HexOfText("Ondexa"));
  // At 96 DPI the client area is the frame-inclusive rectangle, clamped to
  // the work area and centred in it by that size.
  const SIZE frame = FrameInclusiveSize(96);
  const long width = std::min<long>(frame.cx, monitor.work_width());
  const long height = std::min<long>(frame.cy, monitor.work_height());
  ExpectClientExtent(first.client_width, first.right - first.left, width, width,
                     monitor.max_track_width);
  ExpectClientExtent(first.client_height, first.bottom - first.top, height, height,
                     monitor.max_track_height);
  EXPECT_EQ(first.left, monitor.work_left + (monitor.work_width() - width) / 2);
  EXPECT_EQ(first.top, monitor.work_top + (monitor.work_height() - height) / 2);

  EXPECT_EQ(ParseWindow(windows[1]).visible, 0) << "no frame, no window";
  EXPECT_EQ(ParseWindow(windows[2]).visible, 1);

  EXPECT_EQ(run.exit_code, 0);
  const std::vector<std::string> expected = {"entering message loop", "next frame callback",
                                             "WM_CLOSE received", "WM_DESTROY",
                                             "message loop exited"};
  EXPECT_EQ(run.run_log, expected);
}

TEST(HostStartupTest, ScaledMonitorsKeepTheClientWithinTheTwoTruncations) {
  for (UINT dpi : {144u, 192u}) {
    SCOPED_TRACE(dpi);
    const ScenarioRun run =
        RunScenario("window\nmonitor\nclose\n", {L"VELORA_STANDIN_DPI=" + std::to_wstring(dpi)});
    const std::vector<std::string> windows = run.LinesStartingWith("window ");
    ASSERT_EQ(windows.size(), 1u);
    const WindowRecord window = ParseWindow(windows[0]);
    const MonitorRecord monitor = run.Monitor();
    ASSERT_TRUE(monitor.recorded);
    const SIZE frame = FrameInclusiveSize(dpi);
    const long width = std::min<long>(frame.cx, monitor.work_width());
    const long height = std::min<long>(frame.cy, monitor.work_height());
    // Logical size = trunc(size / scale); the window scales it back with
    // another truncation, so the client is at most a pixel or two short.
    ExpectClientExtent(window.client_width, window.right - window.left, width - 2, width,
                       monitor.max_track_width);
    ExpectClientExtent(window.client_height, window.bottom - window.top, height - 2, height,
                       monitor.max_track_height);
    EXPECT_EQ(run.exit_code, 0);
  }
}

TEST(HostStartupTest, RunLogAppendsAcrossRuns) {
  const std::string before = test::ReadBinaryFile(test::TempFilePath(kRunLogFileName));
  const ScenarioRun run = RunScenario("close\n");
  EXPECT_EQ(run.exit_code, 0);
  const std::string after = test::ReadBinaryFile(test::TempFilePath(kRunLogFileName));
  ASSERT_GT(after.size(), before.size());
  EXPECT_EQ(after.compare(0, before.size(), before), 0);
}

}  // namespace
}  // namespace velora
