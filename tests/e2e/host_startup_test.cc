// The real executable under Wine: start-up geometry, the hidden top-level
// window, closing, the run log and the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

using tools::HostProcess;
using test::LogLinesOf;

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
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

RECT WorkArea() {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
}

struct Observed {
  bool found = false;
  DWORD style = 0;
  bool visible = true;
  std::wstring title;
  RECT client = {};
  RECT outer = {};
  long exit_code = -2;
  std::vector<std::string> log;
};

Observed RunAndClose(const std::vector<std::wstring>& environment) {
  Observed seen;
  HostProcess host(L"", environment);
  if (!host.started()) {
    return seen;
  }
  const HWND hwnd = host.WaitForWindow(kClassName, 15000);
  if (hwnd != nullptr) {
    seen.found = true;
    seen.style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    seen.visible = IsWindowVisible(hwnd) != FALSE;
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    seen.title = title;
    GetClientRect(hwnd, &seen.client);
    GetWindowRect(hwnd, &seen.outer);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  seen.exit_code = host.WaitForExit(15000);
  seen.log = LogLinesOf(kRunLogFileName, host.pid());
  return seen;
}

TEST(HostStartupTest, HiddenCentredWindowAtOneHundredPercentThenCleanClose) {
  const RECT work = WorkArea();
  ASSERT_EQ(work.right - work.left, 2560) << "the end-to-end tests expect a 2560x1600 screen";
  ASSERT_EQ(work.bottom - work.top, 1600);

  const Observed seen = RunAndClose({});
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.style & ~DWORD{WS_CLIPSIBLINGS}, 0x02CF0000u);
  EXPECT_FALSE(seen.visible);
  EXPECT_EQ(seen.title, L"Ondexa");

  // At 96 DPI the client area is the frame-inclusive rectangle, centred in
  // the work area by its own (not the outer) size.
  const SIZE frame = FrameInclusiveSize(96);
  EXPECT_EQ(seen.client.right, frame.cx);
  EXPECT_EQ(seen.client.bottom, frame.cy);
  EXPECT_EQ(seen.outer.left, (2560 - frame.cx) / 2);
  EXPECT_EQ(seen.outer.top, (1600 - frame.cy) / 2);

  EXPECT_EQ(seen.exit_code, 0);
  const std::vector<std::string> expected = {"entering message loop", "WM_CLOSE received",
                                             "WM_DESTROY", "message loop exited"};
  EXPECT_EQ(seen.log, expected);
}

TEST(HostStartupTest, ScaledMonitorsKeepTheClientWithinTheTwoTruncations) {
  for (UINT dpi : {144u, 192u}) {
    SCOPED_TRACE(dpi);
    const Observed seen = RunAndClose({L"VELORA_STANDIN_DPI=" + std::to_wstring(dpi)});
    ASSERT_TRUE(seen.found);
    const SIZE frame = FrameInclusiveSize(dpi);
    // Logical size = trunc(frame / scale); the window scales it back with
    // another truncation, so the client is at most a pixel or two short.
    EXPECT_LE(seen.client.right, frame.cx);
    EXPECT_GE(seen.client.right, frame.cx - 2);
    EXPECT_LE(seen.client.bottom, frame.cy);
    EXPECT_GE(seen.client.bottom, frame.cy - 2);
    EXPECT_EQ(seen.exit_code, 0);
  }
}

TEST(HostStartupTest, RunLogAppendsAcrossRuns) {
  const std::string before = test::ReadBinaryFile(test::TempFilePath(kRunLogFileName));
  const Observed seen = RunAndClose({});
  ASSERT_TRUE(seen.found);
  const std::string after = test::ReadBinaryFile(test::TempFilePath(kRunLogFileName));
  ASSERT_GT(after.size(), before.size());
  EXPECT_EQ(after.compare(0, before.size(), before), 0);
}

}  // namespace
}  // namespace velora
