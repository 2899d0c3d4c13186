// The application's top-level window: a Win32Window that hosts the Flutter
// view, opens the window channel, shows itself on the first frame, and
// carries the native video host and native video mode.
#ifndef VELORA_WINDOW_FLUTTER_WINDOW_H_
#define VELORA_WINDOW_FLUTTER_WINDOW_H_

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "messaging/method_channel.h"
#include "window/flutter_view_controller.h"
#include "window/project_bundle.h"
#include "window/win32_window.h"
#include "window_channel/native_video_layout.h"
#include "window_channel/video_host.h"
#include "window_channel/window_channel_handler.h"

namespace velora {

class FlutterWindow : public Win32Window, public WindowChannelTarget {
 public:
  explicit FlutterWindow(const ProjectBundle& bundle);
  ~FlutterWindow() override;

  // WindowChannelTarget:
  bool ToggleFullScreen() override { return Win32Window::ToggleFullScreen(); }
  bool IsFullScreen() const override { return Win32Window::IsFullScreen(); }
  std::optional<int64_t> CreateVideoHost() override;
  void DestroyVideoHost() override { video_host_.Destroy(); }
  void PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h) override;
  void ShowVideoHost(bool visible) override { video_host_.Show(visible); }
  void ApplyNativeVideoMode(bool active,
                            int32_t top_height,
                            int32_t bar_height,
                            std::optional<int32_t> right_padding) override;
  void SetTitleUtf8(const std::string& title) override;
  void ResizeLogical(uint32_t width, uint32_t height) override {
    Win32Window::ResizeLogical(width, height);
  }
  void ResizeLogicalWidth(uint32_t width) override { Win32Window::ResizeLogicalWidth(width); }

 protected:
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
  bool OnCreated() override;
  void OnDestroying() override;

 private:
  void OnFirstFrame();
  void SendWindowEvent(const char* type);
  void OnExitSizeMove(HWND hwnd);
  HWND ViewWindow() const;

  ProjectBundle bundle_;
  std::unique_ptr<flutter::FlutterViewController> view_controller_;
  std::unique_ptr<flutter::MethodCallChannel> window_channel_;
  NativeVideoState native_video_;
  VideoHost video_host_{native_video_};
};

// UTF-8 to UTF-16 as the platform converts it: invalid sequences become the
// replacement character, text stops at an embedded NUL.
std::wstring Utf8ToWide(const std::string& text);

}  // namespace velora

#endif  // VELORA_WINDOW_FLUTTER_WINDOW_H_
