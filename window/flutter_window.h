// The application's top-level window: a Win32Window that hosts the Flutter
// view, opens the window channel, shows itself on the first frame, and
// carries the native video host and native video mode.
#ifndef VELORA_WINDOW_FLUTTER_WINDOW_H_
#define VELORA_WINDOW_FLUTTER_WINDOW_H_

#include <windows.h>

#include <memory>
#include <optional>

#include "host/session_instances.h"
#include "messaging/encodable_value.h"
#include "messaging/method_channel.h"
#include "window/flutter_view_controller.h"
#include "window/project_bundle.h"
#include "window/win32_window.h"
#include "window_channel/native_video_layout.h"
#include "window_channel/video_host.h"

namespace velora {

class FlutterWindow : public Win32Window {
 public:
  // `instances` is the session's hosts as this one sees them; it outlives
  // the window.
  FlutterWindow(const ProjectBundle& bundle, SessionInstances& instances);
  ~FlutterWindow() override;
  FlutterWindow(const FlutterWindow&) = delete;
  FlutterWindow& operator=(const FlutterWindow&) = delete;

  // The video host: the existing one or a new one (null when it cannot be
  // made); destroying, placing and showing without a host do nothing.
  HWND CreateVideoHost();
  void DestroyVideoHost();
  void PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h);
  void ShowVideoHost(bool visible);
  // `right_padding` empty keeps the current right padding.
  void ApplyNativeVideoMode(bool active,
                            int32_t top_height,
                            int32_t bar_height,
                            std::optional<int32_t> right_padding);
  // False when this launch was handed to a host that already served; this
  // window then closes.
  bool SetSingleInstance(bool enabled);
  void SetKeepAwake(bool enabled, bool display);

 protected:
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
  bool OnCreated() override;
  void OnDestroying() override;

 private:
  void OnFirstFrame();
  void SendWindowEvent(flutter::EncodableValueMap event);
  void OnSecondLaunch(const SecondLaunch& launch);
  void OnExitSizeMove(HWND hwnd);
  HWND ViewWindow() const;

  ProjectBundle bundle_;
  SessionInstances& instances_;
  bool keep_awake_ = false;
  std::unique_ptr<flutter::FlutterViewController> view_controller_;
  std::unique_ptr<flutter::MethodCallChannel> window_channel_;
  VideoHost video_host_;
};

}  // namespace velora

#endif  // VELORA_WINDOW_FLUTTER_WINDOW_H_
