#include "window/win32_window.h"

#include <dwmapi.h>

#include <algorithm>

#include "flutter_windows.h"
#include "host/log_file.h"
#include "window/black_background.h"

namespace velora {

namespace {

constexpr DWORD kFullScreenStyleMask = 0xFF3BFFFF;    // no WS_CAPTION, WS_THICKFRAME
constexpr DWORD kFullScreenExStyleMask = 0xFFFDFCFE;  // no dialog/window/client/static edges
constexpr UINT kSetPosKeepZOrder = SWP_NOZORDER | SWP_NOACTIVATE;                       // 0x0014
constexpr UINT kSetPosFrameChanged = SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;  // 0x0034
constexpr UINT kSetPosResize =
    SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_ASYNCWINDOWPOS;  // 0x4116
constexpr UINT kSetPosContent = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;        // 0x0114
constexpr UINT kSetPosZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;           // 0x0013

// Channel sizes are unchecked: scaled client sizes are kept small enough
// that adding the frame cannot overflow the platform's 32-bit rectangle.
constexpr int32_t kMaxClientExtent = 0x3FFFFFFF;

int32_t ScaledExtent(uint32_t logical, double scale) {
  return std::min(ScaleLogical(logical, scale), kMaxClientExtent);
}

int32_t live_window_count = 0;

struct TopLevelClassRegistry {
  bool registered = false;
};

TopLevelClassRegistry& ClassRegistry() {
  static TopLevelClassRegistry registry;
  return registry;
}

double MonitorScale(HMONITOR monitor) {
  return ScaleForDpi(FlutterDesktopGetDpiForMonitor(monitor));
}

void SetDwordAttribute(HWND hwnd, DWORD attribute, DWORD value) {
  (void)DwmSetWindowAttribute(hwnd, attribute, &value, sizeof value);
}

}  // namespace

void ApplyDarkFrame(HWND hwnd) {
  SetDwordAttribute(hwnd, 20, 1);           // DWMWA_USE_IMMERSIVE_DARK_MODE
  SetDwordAttribute(hwnd, 35, 0x00000000);  // DWMWA_CAPTION_COLOR: black
  SetDwordAttribute(hwnd, 36, 0x00F2F2F2);  // DWMWA_TEXT_COLOR: light grey
  SetDwordAttribute(hwnd, 34, 0x00000000);  // DWMWA_BORDER_COLOR: black
  SetDwordAttribute(hwnd, 37, 0);           // DWMWA_VISIBLE_FRAME_BORDER_THICKNESS
}

Win32Window::Win32Window() {
  ++live_window_count;
}

Win32Window::~Win32Window() {
  --live_window_count;
  DestroyTopLevel();
}

int32_t Win32Window::LiveWindowCount() {
  return live_window_count;
}

bool Win32Window::CreateTopLevel(const std::wstring& title, const Point& origin, const Size& size) {
  DestroyTopLevel();

  TopLevelClassRegistry& registry = ClassRegistry();
  if (!registry.registered) {
    WNDCLASSW window_class = {};
    window_class.style = 0;
    window_class.lpfnWndProc = TopLevelWndProc;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hIcon = LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(kAppIconResourceId));
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    window_class.hbrBackground = BlackBrush();
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = kTopLevelClassName;
    (void)RegisterClassW(&window_class);  // a failure shows as a failed CreateWindowExW
    registry.registered = true;
  }

  const HMONITOR monitor = MonitorFromPoint(POINT{origin.x, origin.y}, MONITOR_DEFAULTTONEAREST);
  const double scale = MonitorScale(monitor);
  RECT frame = {0, 0, ScaleLogical(size.width, scale), ScaleLogical(size.height, scale)};
  (void)AdjustWindowRectEx(&frame, kTopLevelStyle, FALSE, 0);

  const HWND window = CreateWindowExW(0, kTopLevelClassName, title.c_str(), kTopLevelStyle,
                                      ScaleLogical(origin.x, scale), ScaleLogical(origin.y, scale),
                                      ClampedWidthOf(frame), ClampedHeightOf(frame), nullptr,
                                      nullptr, GetModuleHandleW(nullptr), this);
  if (window == nullptr) {
    return false;
  }
  ApplyDarkFrame(window);
  return OnCreated();
}

void Win32Window::DestroyTopLevel() {
  OnDestroying();
  if (hwnd_ != nullptr) {
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  if (live_window_count == 0) {
    TopLevelClassRegistry& registry = ClassRegistry();
    UnregisterClassW(kTopLevelClassName, nullptr);
    registry.registered = false;
  }
}

RECT Win32Window::ClientRect() const {
  RECT rect = {0, 0, 0, 0};
  GetClientRect(hwnd_, &rect);
  return rect;
}

void Win32Window::AttachContent(HWND content) {
  content_hwnd_ = content;
  SetParent(content, hwnd_);
  const RECT rect = ClientRect();
  MoveWindow(content, rect.left, rect.top, ClampedWidthOf(rect), ClampedHeightOf(rect), TRUE);
  SetFocus(content);
}

bool Win32Window::ShowNormal() {
  return ShowWindow(hwnd_, SW_SHOWNORMAL) != 0;
}

void Win32Window::SetWindowTitle(const std::wstring& title) {
  if (hwnd_ != nullptr) {
    SetWindowTextW(hwnd_, title.c_str());
  }
}

bool Win32Window::ToggleFullScreen() {
  if (hwnd_ == nullptr) {
    return false;
  }
  if (in_full_screen_) {
    SetWindowLongW(hwnd_, GWL_STYLE, restore_style_);
    SetWindowLongW(hwnd_, GWL_EXSTYLE, restore_ex_style_);
    SetWindowPos(hwnd_, nullptr, restore_rect_.left, restore_rect_.top,
                 ClampedWidthOf(restore_rect_), ClampedHeightOf(restore_rect_),
                 kSetPosFrameChanged);
    in_full_screen_ = false;
    WriteRunLog("Exited fullscreen");
    return true;
  }

  restore_style_ = GetWindowLongW(hwnd_, GWL_STYLE);
  restore_ex_style_ = GetWindowLongW(hwnd_, GWL_EXSTYLE);
  (void)GetWindowRect(hwnd_, &restore_rect_);
  MONITORINFO info = {};
  info.cbSize = sizeof info;  // 40
  if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info)) {
    return false;
  }
  SetWindowLongW(hwnd_, GWL_STYLE,
                 static_cast<LONG>(static_cast<DWORD>(restore_style_) & kFullScreenStyleMask));
  SetWindowLongW(hwnd_, GWL_EXSTYLE,
                 static_cast<LONG>(static_cast<DWORD>(restore_ex_style_) & kFullScreenExStyleMask));
  // The whole monitor, not the work area, so the taskbar is covered.
  const RECT& monitor = info.rcMonitor;
  SetWindowPos(hwnd_, nullptr, monitor.left, monitor.top, ClampedWidthOf(monitor),
               ClampedHeightOf(monitor), kSetPosFrameChanged);
  in_full_screen_ = true;
  WriteRunLog("Entered fullscreen");
  return true;
}

void Win32Window::ResizeLogical(uint32_t width, uint32_t height) {
  if (hwnd_ == nullptr) {
    return;
  }
  const double scale = MonitorScale(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST));
  RECT rect = {0, 0, ScaledExtent(width, scale), ScaledExtent(height, scale)};
  (void)AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, ClampedWidthOf(rect), ClampedHeightOf(rect), kSetPosResize);
}

void Win32Window::ResizeLogicalWidth(uint32_t width) {
  if (hwnd_ == nullptr) {
    return;
  }
  const double scale = MonitorScale(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST));
  RECT outer = {0, 0, 0, 0};
  if (!GetWindowRect(hwnd_, &outer)) {
    return;
  }
  RECT rect = {0, 0, ScaledExtent(width, scale), 0};
  (void)AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, ClampedWidthOf(rect), ClampedHeightOf(outer), kSetPosResize);
}

void Win32Window::SetAlwaysOnTop(bool enabled) {
  if (hwnd_ == nullptr) {
    return;
  }
  // Only SetWindowPos moves a window into or out of the topmost band; the
  // style bit follows. Leaving full screen sets the saved extended style
  // back, which cannot change this bit, so the setting stays.
  SetWindowPos(hwnd_, enabled ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kSetPosZOrderOnly);
}

bool Win32Window::OnCreated() {
  return true;
}

void Win32Window::OnDestroying() {}

LRESULT Win32Window::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      WriteRunLog("WM_DESTROY");
      hwnd_ = nullptr;
      DestroyTopLevel();
      if (quit_when_closed_) {
        PostQuitMessage(0);
      }
      return 0;
    case WM_SIZE:
      if (content_hwnd_ != nullptr) {
        const RECT rect = ClientRect();
        SetWindowPos(content_hwnd_, nullptr, rect.left, rect.top, ClampedWidthOf(rect),
                     ClampedHeightOf(rect), kSetPosContent);
      }
      return 0;
    case WM_ACTIVATE:
      ApplyDarkFrame(hwnd);
      if (content_hwnd_ != nullptr) {
        SetFocus(content_hwnd_);
      }
      return 0;
    case WM_CLOSE:
      WriteRunLog("WM_CLOSE received");
      DestroyWindow(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return EraseToBlack(hwnd, wparam);
    case WM_NCACTIVATE:
      ApplyDarkFrame(hwnd);
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, ClampedWidthOf(*suggested),
                   ClampedHeightOf(*suggested), kSetPosKeepZOrder);
      return 0;
    }
    case WM_DWMCOLORIZATIONCOLORCHANGED:
      ApplyDarkFrame(hwnd);
      return 0;
  }
  // The message's own window: after WM_DESTROY the field is already null.
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK Win32Window::TopLevelWndProc(HWND hwnd,
                                              UINT message,
                                              WPARAM wparam,
                                              LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* window = static_cast<Win32Window*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    // Scales the non-client area with the monitor on systems that have it.
    if (HMODULE user32 = LoadLibraryA("User32.dll")) {
      using EnableNonClientDpiScalingFn = BOOL(WINAPI*)(HWND);
      auto enable = reinterpret_cast<EnableNonClientDpiScalingFn>(
          reinterpret_cast<void*>(GetProcAddress(user32, "EnableNonClientDpiScaling")));
      if (enable != nullptr) {
        enable(hwnd);
      }
      FreeLibrary(user32);
    }
    window->hwnd_ = hwnd;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) {
    // The object may outlive its window; no message may reach it afterwards.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  }
  return window->HandleMessage(hwnd, message, wparam, lparam);
}

}  // namespace velora
