// The demo the run command shows: a small player interface played by the
// stand-in's app side through the host's real channels. A top band, a
// bottom bar with buttons and a right strip surround the video host, which
// runs in native video mode with an animated test pattern; a shared GPU
// texture gets its frames announced through the host's export; the window
// events (a frame drag, media keys, a second launch handed over: the demo
// asks for a single window) are listed in the strip; buttons switch full
// screen, native video, two sizes, keep-awake and always-on-top.
#ifndef VELORA_STANDINS_EMBEDDER_DEMO_APP_H_
#define VELORA_STANDINS_EMBEDDER_DEMO_APP_H_

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "messaging/encodable_value.h"
#include "standins/embedder/core/fake_engine.h"
#include "standins/embedder/demo_renderer.h"

namespace velora::standin {

class AppSide;

class DemoApp {
 public:
  // Device pixels of the three strips around the video.
  static constexpr int kTopHeight = 48;
  static constexpr int kBarHeight = 96;
  static constexpr int kRightWidth = 320;

  explicit DemoApp(AppSide& app) : app_(app) {}

  void Start(FlutterDesktopEngine* engine, HWND timer_window);
  void Stop();
  bool active() const { return engine_ != nullptr; }

  void Paint(HDC dc, const RECT& client);
  void OnClick(int x, int y);
  void OnViewResized();
  void OnHostSend(const std::string& channel, const std::vector<uint8_t>& bytes);
  void OnTimer(UINT_PTR id);

  static constexpr UINT_PTR kWindowRecordTimer = 2;
  static constexpr UINT_PTR kRepaintTimer = 3;

 private:
  struct Button {
    std::string name;
    std::string label;
    RECT rect;
  };

  using OnValue = std::function<void(const flutter::EncodableValue* value, bool ok)>;
  void CallHost(const std::string& channel,
                const std::string& method,
                flutter::EncodableValue arguments,
                OnValue on_value = nullptr);
  void ApplyNativeMode();
  void LayoutButtons(const RECT& client);
  void Press(const std::string& name);
  void Note(const std::string& line);
  void NoteWindowEvent(const flutter::EncodableValueMap& event);
  void Switch(const char* method, bool& state, const char* what);
  void Invalidate();
  HWND ViewWindow() const;

  AppSide& app_;
  FlutterDesktopEngine* engine_ = nullptr;
  HWND timer_window_ = nullptr;
  HWND host_ = nullptr;
  int64_t texture_id_ = -1;
  bool native_mode_ = true;
  bool keep_awake_ = false;
  bool on_top_ = false;
  std::vector<Button> buttons_;
  std::deque<std::string> events_;
  DemoRenderer renderer_;
};

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_DEMO_APP_H_
