// The real executable under Wine: start-up geometry, the window hidden
// until the first frame, closing, the run log and the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "tests/e2e/scenario_harness.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

using test::HexOfText;
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

TEST(HostStartupTest, HiddenUntilTheFirstFrameCentredAtOneHundredPercentThenCleanClose) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST), &monitor);
  ASSERT_EQ(monitor.rcWork.right - monitor.rcWork.left, 2560)
      << "the end-to-end tests expect a 2560x1600 screen";
  ASSERT_EQ(monitor.rcWork.bottom - monitor.rcWork.top, 1600);

  const ScenarioRun run = RunScenario(
      "noframe\n"
      "window\n"
      "sleep 300\n"
      "window\n"
      "frame\n"
      "sleep 50\n"
      "window\n"
      "close\n");
  const std::vector<std::string> windows = run.LinesStartingWith("window ");
  ASSERT_EQ(windows.size(), 3u);
  const WindowRecord first = ParseWindow(windows[0]);
  EXPECT_EQ(first.class_name, "FLUTTER_RUNNER_WIN32_WINDOW");
  // The platform adds WS_CLIPSIBLINGS to every top-level window.
  EXPECT_EQ(first.style & ~unsigned{WS_CLIPSIBLINGS}, 0x02CF0000u);
  EXPECT_EQ(first.visible, 0);
  EXPECT_EQ(first.title_hex, HexOfText("Ondexa"));
  // At 96 DPI the client area is the frame-inclusive rectangle, centred in
  // the work area by that size.
  const SIZE frame = FrameInclusiveSize(96);
  EXPECT_EQ(first.client_width, frame.cx);
  EXPECT_EQ(first.client_height, frame.cy);
  EXPECT_EQ(first.left, (2560 - frame.cx) / 2);
  EXPECT_EQ(first.top, (1600 - frame.cy) / 2);

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
        RunScenario("window\nclose\n", {L"VELORA_STANDIN_DPI=" + std::to_wstring(dpi)});
    const std::vector<std::string> windows = run.LinesStartingWith("window ");
    ASSERT_EQ(windows.size(), 1u);
    const WindowRecord window = ParseWindow(windows[0]);
    const SIZE frame = FrameInclusiveSize(dpi);
    // Logical size = trunc(frame / scale); the window scales it back with
    // another truncation, so the client is at most a pixel or two short.
    EXPECT_LE(window.client_width, frame.cx);
    EXPECT_GE(window.client_width, frame.cx - 2);
    EXPECT_LE(window.client_height, frame.cy);
    EXPECT_GE(window.client_height, frame.cy - 2);
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
