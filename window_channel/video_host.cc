#include "window_channel/video_host.h"

#include "window/black_background.h"

namespace velora {

namespace {

constexpr DWORD kHostStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;  // 0x56000000

void RegisterHostClass(HINSTANCE instance) {
  WNDCLASSW existing = {};
  if (GetClassInfoW(instance, kVideoHostClassName, &existing)) {
    return;
  }
  WNDCLASSW window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  // Each host is subclassed right after creation.
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = instance;
  window_class.hbrBackground = BlackBrush();
  window_class.lpszClassName = kVideoHostClassName;
  (void)RegisterClassW(&window_class);  // a failure shows as a failed creation
}

}  // namespace

HWND VideoHost::Create(HWND parent) {
  if (hwnd_ != nullptr) {
    return hwnd_;
  }
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterHostClass(instance);
  hwnd_ = CreateWindowExW(0, kVideoHostClassName, L"", kHostStyle, 0, 0, 1, 1, parent, nullptr,
                          instance, nullptr);
  if (hwnd_ == nullptr) {
    return nullptr;
  }
  parent_ = parent;
  // The owner first, so the procedure always finds it.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  prev_proc_ = SetWindowLongPtrW(hwnd_, GWLP_WNDPROC,
                                 reinterpret_cast<LONG_PTR>(&VideoHost::VideoHostWindowProc));
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 1, 1, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  return hwnd_;
}

void VideoHost::Destroy() {
  if (hwnd_ == nullptr) {
    return;
  }
  if (prev_proc_ != 0) {
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, prev_proc_);
    prev_proc_ = 0;
  }
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  parent_ = nullptr;
}

std::optional<Size> VideoHost::ClientSize() const {
  if (hwnd_ == nullptr) {
    return std::nullopt;
  }
  RECT client = {0, 0, 0, 0};
  GetClientRect(parent_, &client);
  return Size{ClampedWidthOf(client), ClampedHeightOf(client)};
}

void VideoHost::Place(int32_t x, int32_t y, int32_t w, int32_t h) {
  const std::optional<Size> client = ClientSize();
  if (!client) {
    return;
  }
  const int32_t width = PlacedHostWidth(x, w, client->width, mode_.right_padding_px);
  SetWindowPos(hwnd_, nullptr, x, y, width, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

void VideoHost::Show(bool visible) {
  const std::optional<Size> client = ClientSize();
  if (!client) {
    return;
  }
  ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
  if (!visible) {
    return;
  }
  const Placement shown = ShownHostPlacement(mode_, client->width, client->height);
  SetWindowPos(hwnd_, HWND_TOP, shown.x, shown.y, shown.width, shown.height, SWP_NOACTIVATE);
}

void VideoHost::MoveToNativeArea() {
  const std::optional<Size> client = ClientSize();
  if (!client) {
    return;
  }
  const Placement area = NativeVideoArea(mode_, client->width, client->height);
  SetWindowPos(hwnd_, HWND_TOP, area.x, area.y, area.width, area.height,
               SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

LRESULT CALLBACK VideoHost::VideoHostWindowProc(HWND hwnd,
                                                UINT message,
                                                WPARAM wparam,
                                                LPARAM lparam) {
  auto* self = reinterpret_cast<VideoHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return EraseToBlack(hwnd, wparam);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(hwnd, &paint);
      FillRect(dc, &paint.rcPaint, BlackBrush());
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_NCHITTEST:
      // Pointer input falls through to the Flutter view beneath.
      return HTTRANSPARENT;
    case WM_WINDOWPOSCHANGING: {
      auto* position = reinterpret_cast<WINDOWPOS*>(lparam);
      if (self != nullptr && self->mode_.active && position != nullptr &&
          (position->flags & SWP_NOSIZE) == 0) {
        if (const std::optional<Size> client = self->ClientSize()) {
          LimitHostSize(self->mode_, client->width, client->height, position->cx, position->cy);
        }
      }
      break;
    }
  }
  if (self == nullptr || self->prev_proc_ == 0) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return CallWindowProcW(reinterpret_cast<WNDPROC>(self->prev_proc_), hwnd, message, wparam,
                         lparam);
}

}  // namespace velora
