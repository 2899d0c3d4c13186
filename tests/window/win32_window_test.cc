// The top-level window against real Win32 (under Wine): creation geometry,
// full screen, logical resizes, the class registry and the message table.
#include "window/win32_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "tests/support/win_test_support.h"

namespace velora {
namespace {

using test::LogLinesOf;
using test::PumpMessages;

class DpiOverride {
 public:
  explicit DpiOverride(const char* dpi) { SetEnvironmentVariableA("VELORA_STANDIN_DPI", dpi); }
  ~DpiOverride() { SetEnvironmentVariableA("VELORA_STANDIN_DPI", nullptr); }
};

class CountingWindow : public Win32Window {
 public:
  int created = 0;
  int destroying = 0;

 protected:
  bool OnCreated() override {
    ++created;
    return true;
  }
  void OnDestroying() override { ++destroying; }
};

RECT WindowRectOf(HWND hwnd) {
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  return rect;
}

RECT ClientRectOf(HWND hwnd) {
  RECT rect = {};
  GetClientRect(hwnd, &rect);
  return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The platform keeps a top-level window within its maximum tracking size
// (about the screen plus a frame), so cases that scale a size up take the
// size they want only where it fits: the largest logical client size whose
// scaled window stays inside that limit, on this screen as this process
// sees it (smaller on a laptop, or for a DPI-unaware test at 150 %).
Size LargestLogicalClient(double scale) {
  RECT frame = {0, 0, 0, 0};
  AdjustWindowRectEx(&frame, kTopLevelStyle, FALSE, 0);
  const double width = GetSystemMetrics(SM_CXMAXTRACK) - (frame.right - frame.left);
  const double height = GetSystemMetrics(SM_CYMAXTRACK) - (frame.bottom - frame.top);
  return Size{static_cast<int32_t>(width / scale), static_cast<int32_t>(height / scale)};
}

// `wanted`, or at most `largest` and then odd, so that scaling by 1.5 still
// has a half to truncate.
int32_t OddAtMost(int32_t wanted, int32_t largest) {
  return wanted <= largest ? wanted : largest - (largest % 2 == 0 ? 1 : 0);
}

TEST(Win32WindowTest, CreatesAHiddenDarkWindowAtScaledLogicalGeometry) {
  DpiOverride dpi("144");
  const Size largest = LargestLogicalClient(1.5);
  const Size size{std::min(800, largest.width), std::min(600, largest.height)};
  Win32Window window;
  ASSERT_TRUE(window.CreateTopLevel(L"Ondexa", Point{20, 30}, size));
  const HWND hwnd = window.Handle();
  ASSERT_NE(hwnd, nullptr);

  wchar_t class_name[64] = {};
  GetClassNameW(hwnd, class_name, 64);
  EXPECT_STREQ(class_name, L"FLUTTER_RUNNER_WIN32_WINDOW");
  // The platform adds WS_CLIPSIBLINGS to every top-level window.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & ~DWORD{WS_CLIPSIBLINGS},
            0x02CF0000u);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  wchar_t title[32] = {};
  GetWindowTextW(hwnd, title, 32);
  EXPECT_STREQ(title, L"Ondexa");

  // Origin and client size both scaled by 1.5 (1200 x 900 where that fits);
  // the frame is added outside.
  const RECT client = ClientRectOf(hwnd);
  EXPECT_EQ(client.right - client.left, static_cast<LONG>(size.width * 1.5));
  EXPECT_EQ(client.bottom - client.top, static_cast<LONG>(size.height * 1.5));
  POINT origin = {0, 0};
  ClientToScreen(hwnd, &origin);
  const RECT outer = WindowRectOf(hwnd);
  EXPECT_EQ(outer.left, 30);
  EXPECT_EQ(outer.top, 45);

  // The class icon is resource 101 of the executable (absent from a test
  // binary, so only the black background and arrow cursor are checked).
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND)),
            static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(hwnd, GCLP_HCURSOR)),
            LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
}

TEST(Win32WindowTest, FullScreenTwiceRestoresStylesAndRectangleExactly) {
  Win32Window window;
  ASSERT_TRUE(window.CreateTopLevel(L"Ondexa", Point{40, 50}, Size{640, 480}));
  const HWND hwnd = window.Handle();
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  const LONG ex_style = GetWindowLongW(hwnd, GWL_EXSTYLE);
  const RECT outer = WindowRectOf(hwnd);

  ASSERT_TRUE(window.ToggleFullScreen());
  PumpMessages();
  EXPECT_TRUE(window.IsFullScreen());
  const DWORD full_style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  EXPECT_EQ(full_style & (WS_CAPTION | WS_THICKFRAME), 0u);
  EXPECT_EQ(full_style | WS_CAPTION | WS_THICKFRAME,
            static_cast<DWORD>(style) | WS_CAPTION | WS_THICKFRAME);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
  EXPECT_TRUE(SameRect(WindowRectOf(hwnd), info.rcMonitor));

  // A logical resize in full screen leaves the saved rectangle alone.
  window.ResizeLogical(300, 200);
  PumpMessages();

  ASSERT_TRUE(window.ToggleFullScreen());
  PumpMessages();
  EXPECT_FALSE(window.IsFullScreen());
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE), style);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE), ex_style);
  EXPECT_TRUE(SameRect(WindowRectOf(hwnd), outer));

  const std::vector<std::string> lines = LogLinesOf(kRunLogFileName, GetCurrentProcessId());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "Entered fullscreen");
  EXPECT_EQ(lines.back(), "Exited fullscreen");
}

TEST(Win32WindowTest, LogicalResizesUseTheMonitorScale) {
  DpiOverride dpi("144");
  const Size largest = LargestLogicalClient(1.5);
  const int32_t width = OddAtMost(801, largest.width);
  const int32_t height = OddAtMost(301, largest.height);
  Win32Window window;
  ASSERT_TRUE(window.CreateTopLevel(L"Ondexa", Point{10, 10}, Size{640, 480}));
  const HWND hwnd = window.Handle();
  const RECT before = WindowRectOf(hwnd);

  window.ResizeLogicalWidth(width);
  PumpMessages();
  RECT client = ClientRectOf(hwnd);
  EXPECT_EQ(client.right, static_cast<LONG>(width * 1.5));  // 1201 = trunc(801 * 1.5)
  RECT after = WindowRectOf(hwnd);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);

  window.ResizeLogical(400, height);
  PumpMessages();
  client = ClientRectOf(hwnd);
  EXPECT_EQ(client.right, 600);
  EXPECT_EQ(client.bottom, static_cast<LONG>(height * 1.5));  // 451 = trunc(301 * 1.5)
  after = WindowRectOf(hwnd);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
}

TEST(Win32WindowTest, OperationsBeforeCreationDoNothing) {
  Win32Window window;
  EXPECT_EQ(window.Handle(), nullptr);
  EXPECT_FALSE(window.ToggleFullScreen());
  EXPECT_FALSE(window.IsFullScreen());
  window.SetWindowTitle(L"ignored");
  window.ResizeLogical(100, 100);
  window.ResizeLogicalWidth(100);
  EXPECT_EQ(window.Handle(), nullptr);
}

TEST(Win32WindowTest, RecreationRunsTheHookAndReusesTheRegisteredClass) {
  const int32_t live_before = Win32Window::LiveWindowCount();
  {
    CountingWindow window;
    EXPECT_EQ(Win32Window::LiveWindowCount(), live_before + 1);
    ASSERT_TRUE(window.CreateTopLevel(L"first", Point{10, 10}, Size{320, 240}));
    EXPECT_EQ(window.destroying, 1);  // CreateTopLevel tears down first
    const HWND first = window.Handle();
    const ATOM atom = static_cast<ATOM>(GetClassWord(first, GCW_ATOM));

    // The hook runs at the start of CreateTopLevel and again on WM_DESTROY
    // of the earlier window.
    ASSERT_TRUE(window.CreateTopLevel(L"second", Point{10, 10}, Size{320, 240}));
    EXPECT_EQ(window.destroying, 3);
    EXPECT_EQ(window.created, 2);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(static_cast<ATOM>(GetClassWord(window.Handle(), GCW_ATOM)), atom);

    // WM_DESTROY runs the hook and clears the handle; the class stays while
    // the object lives.
    DestroyWindow(window.Handle());
    EXPECT_EQ(window.destroying, 4);
    EXPECT_EQ(window.Handle(), nullptr);
    WNDCLASSW info = {};
    EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), kTopLevelClassName, &info));
  }
  // The last object is gone: so is the class.
  EXPECT_EQ(Win32Window::LiveWindowCount(), live_before);
  WNDCLASSW info = {};
  EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), kTopLevelClassName, &info));
}

TEST(Win32WindowTest, MessageTable) {
  // Client sizes in this case are logical sizes at 100 %.
  DpiOverride dpi("96");
  Win32Window window;
  ASSERT_TRUE(window.CreateTopLevel(L"Ondexa", Point{10, 10}, Size{200, 100}));
  const HWND hwnd = window.Handle();

  // WM_ERASEBKGND paints the client area black on the given DC and answers 1.
  const HDC screen = GetDC(hwnd);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 100);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all = {0, 0, 200, 100};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 1);
  EXPECT_EQ(GetPixel(memory, 0, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(GetPixel(memory, 199, 99) & 0xFFFFFF, 0u);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(hwnd, screen);

  // WM_SIZE without content does nothing and answers 0; with content the
  // child is fitted to the client area.
  EXPECT_EQ(SendMessageW(hwnd, WM_SIZE, 0, 0), 0);
  const HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 5, 5, 10, 10, hwnd,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
  window.AttachContent(child);
  RECT child_rect = WindowRectOf(child);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&child_rect), 2);
  EXPECT_TRUE(SameRect(child_rect, RECT{0, 0, 200, 100}));
  EXPECT_EQ(GetParent(child), hwnd);

  window.ResizeLogical(300, 150);
  PumpMessages();
  child_rect = WindowRectOf(child);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&child_rect), 2);
  EXPECT_TRUE(SameRect(child_rect, RECT{0, 0, 300, 150}));

  // WM_DPICHANGED moves to the suggested rectangle.
  RECT suggested = {50, 60, 450, 360};
  EXPECT_EQ(
      SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested)),
      0);
  EXPECT_TRUE(SameRect(WindowRectOf(hwnd), suggested));

  window.SetWindowTitle(L"Neuer Titel \u00e9");
  wchar_t title[32] = {};
  GetWindowTextW(hwnd, title, 32);
  EXPECT_STREQ(title, L"Neuer Titel \u00e9");

  // WM_CLOSE logs and destroys; without quit-when-closed no quit is posted.
  EXPECT_EQ(SendMessageW(hwnd, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(window.Handle(), nullptr);
  MSG quit;
  EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  const std::vector<std::string> lines = LogLinesOf(kRunLogFileName, GetCurrentProcessId());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "WM_CLOSE received");
  EXPECT_EQ(lines.back(), "WM_DESTROY");
}

TEST(Win32WindowTest, QuitWhenClosedPostsQuitWithExitCodeZero) {
  Win32Window window;
  ASSERT_TRUE(window.CreateTopLevel(L"Ondexa", Point{10, 10}, Size{200, 100}));
  window.SetQuitWhenClosed(true);
  SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
  MSG quit;
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace
}  // namespace velora
