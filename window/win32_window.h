// The application's one top-level window: owns the native window and its
// class, creates it from logical geometry, keeps the frame dark, hosts one
// child window that fills the client area, and toggles full screen.
#ifndef VELORA_WINDOW_WIN32_WINDOW_H_
#define VELORA_WINDOW_WIN32_WINDOW_H_

#include <windows.h>

#include <cstdint>
#include <string>

#include "resources/resource_ids.h"
#include "window/geometry.h"

namespace velora {

constexpr wchar_t kTopLevelClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
// WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, created hidden.
constexpr DWORD kTopLevelStyle = 0x02CF0000;
constexpr int kAppIconResourceId = VELORA_APP_ICON_ID;

class Win32Window {
 public:
  Win32Window();
  virtual ~Win32Window();

  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the window at a logical origin with a logical client size.
  // True only if the native window exists and OnCreated() succeeded.
  bool CreateTopLevel(const std::wstring& title, const Point& origin, const Size& size);
  void DestroyTopLevel();

  HWND Handle() const { return hwnd_; }
  RECT ClientRect() const;
  void AttachContent(HWND content);
  void SetQuitWhenClosed(bool quit_when_closed) { quit_when_closed_ = quit_when_closed; }
  bool ShowNormal();
  void SetWindowTitle(const std::wstring& title);
  bool ToggleFullScreen();
  bool IsFullScreen() const { return in_full_screen_; }
  void ResizeLogical(uint32_t width, uint32_t height);
  void ResizeLogicalWidth(uint32_t width);
  // Topmost or not; the window is neither activated, moved nor sized, and
  // full screen keeps the setting.
  void SetAlwaysOnTop(bool enabled);

  // Live Win32Window objects in the process; the class is unregistered when
  // the last one is destroyed.
  static int32_t LiveWindowCount();

 protected:
  virtual LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Runs once the native window exists; false fails CreateTopLevel.
  virtual bool OnCreated();
  // Runs at the start of every tear-down (CreateTopLevel, WM_DESTROY, the
  // destructor), so overrides must tolerate running with nothing to do.
  virtual void OnDestroying();

 private:
  static LRESULT CALLBACK TopLevelWndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  bool quit_when_closed_ = false;
  HWND hwnd_ = nullptr;
  HWND content_hwnd_ = nullptr;
  bool in_full_screen_ = false;
  RECT restore_rect_ = {0, 0, 0, 0};
  LONG restore_style_ = 0;
  LONG restore_ex_style_ = 0;
};

// Sets the DWM attributes that keep the frame dark whatever the theme.
void ApplyDarkFrame(HWND hwnd);

}  // namespace velora

#endif  // VELORA_WINDOW_WIN32_WINDOW_H_
