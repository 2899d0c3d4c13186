// The native video host: a black child window of the top-level window that
// an outside renderer draws into. It lies above the Flutter view, lets all
// pointer input fall through to it, and while native video mode is on never
// grows beyond the native video area.
#ifndef VELORA_WINDOW_CHANNEL_VIDEO_HOST_H_
#define VELORA_WINDOW_CHANNEL_VIDEO_HOST_H_

#include <windows.h>

#include <cstdint>
#include <optional>

#include "window/geometry.h"
#include "window_channel/native_video_layout.h"

namespace velora {

constexpr wchar_t kVideoHostClassName[] = L"VideoHostWindow";

class VideoHost {
 public:
  VideoHost() = default;
  ~VideoHost() { Destroy(); }

  VideoHost(const VideoHost&) = delete;
  VideoHost& operator=(const VideoHost&) = delete;

  // The existing host, or a new 1 x 1 one at the client origin on top of
  // the z-order; null when it cannot be made (e.g. no parent).
  HWND Create(HWND parent);
  // Restores the original window procedure first, so the host's own
  // destruction messages no longer reach this object.
  void Destroy();
  void Place(int32_t x, int32_t y, int32_t w, int32_t h);
  void Show(bool visible);
  // Moves the host to the native video area and raises it.
  void MoveToNativeArea();

  // The native video mode that placing, showing and every size request of
  // the host obey. It outlives the window: creating or destroying the host
  // leaves it alone.
  const NativeVideoState& mode() const { return mode_; }
  void SetMode(const NativeVideoState& mode) { mode_ = mode; }

  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK VideoHostWindowProc(HWND hwnd,
                                              UINT message,
                                              WPARAM wparam,
                                              LPARAM lparam);
  // The parent's client size, or nothing when there is no host to act on.
  std::optional<Size> ClientSize() const;

  NativeVideoState mode_;
  HWND parent_ = nullptr;
  HWND hwnd_ = nullptr;     // video_host_hwnd
  LONG_PTR prev_proc_ = 0;  // video_host_prev_proc
};

}  // namespace velora

#endif  // VELORA_WINDOW_CHANNEL_VIDEO_HOST_H_
