// The child-window listing against real windows (under Wine).
#include "window_channel/child_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/log_file.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

std::vector<std::string> NewRunLogLines(const test::LogMark& mark) {
  return test::LogLinesOf(kRunLogFileName, GetCurrentProcessId(), mark);
}

test::LogMark RunLogEnd() {
  return test::MarkLog(kRunLogFileName);
}

HWND Child(HWND parent, const wchar_t* class_name, DWORD visible, int x, int y, int w, int h) {
  return CreateWindowExW(0, class_name, L"", WS_CHILD | visible, x, y, w, h, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

TEST(ChildWindowsWinTest, ListsTopmostFirstWithTagsAndAtMostTwelve) {
  const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  test::LogMark offset = RunLogEnd();
  LogChildWindows(nullptr, nullptr, nullptr, "nothing");
  LogChildWindows(parent, nullptr, nullptr, "WM_EXITSIZEMOVE");
  EXPECT_EQ(NewRunLogLines(offset), std::vector<std::string>{"child_windows (WM_EXITSIZEMOVE):"});

  const HWND view = Child(parent, L"STATIC", WS_VISIBLE, 0, 0, 400, 300);
  const HWND host = Child(parent, L"BUTTON", 0, 0, 40, 200, 100);  // hidden
  SetWindowPos(host, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  offset = RunLogEnd();
  LogChildWindows(parent, view, host, nullptr);
  const std::vector<std::string> lines = NewRunLogLines(offset);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "child_windows (?):");
  EXPECT_EQ(lines[1].substr(0, 10), "  #0 hwnd=");
  EXPECT_EQ(lines[1].substr(26), " cls=Button vis=0 rect=0,40 200x100 tag=video_host");
  EXPECT_EQ(lines[2].substr(26), " cls=Static vis=1 rect=0,0 400x300 tag=flutter_view");
  // The handle in 16 upper-case hexadecimal digits.
  const std::string digits = lines[1].substr(10, 16);
  EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos);

  for (int i = 0; i < 12; ++i) {
    Child(parent, L"STATIC", WS_VISIBLE, i, i, 10, 10);
  }
  offset = RunLogEnd();
  LogChildWindows(parent, view, host, "WM_EXITSIZEMOVE");
  const std::vector<std::string> capped = NewRunLogLines(offset);
  ASSERT_EQ(capped.size(), 13u);  // 14 children, heading plus twelve lines
  EXPECT_EQ(capped[12].substr(0, 6), "  #11 ");
  EXPECT_NE(capped[1].find(" tag=video_host"), std::string::npos);
  EXPECT_NE(capped[3].find(" cls=Static vis=1 rect=0,0 10x10 tag=-"), std::string::npos);
  DestroyWindow(parent);
}

}  // namespace
}  // namespace velora
