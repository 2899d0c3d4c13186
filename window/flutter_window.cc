#include "window/flutter_window.h"

#include <cstddef>
#include <cstdio>
#include <utility>

#include "gpu_texture/gpu_texture_plugin.h"
#include "host/log_file.h"
#include "messaging/standard_method_codec.h"
#include "window/flutter_window_target.h"
#include "window/plugin_libraries.h"
#include "window/plugin_registrar.h"
#include "window_channel/child_windows.h"
#include "window_channel/keep_awake.h"
#include "window_channel/window_channel_handler.h"
#include "window_channel/window_events.h"

namespace velora {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

namespace {

constexpr std::size_t kResizeLineCapacity = 256;

}  // namespace

FlutterWindow::FlutterWindow(const ProjectBundle& bundle, SessionInstances& instances)
    : bundle_(bundle), instances_(instances) {}

FlutterWindow::~FlutterWindow() {
  window_channel_.reset();
  view_controller_.reset();
}

bool FlutterWindow::OnCreated() {
  if (!Win32Window::OnCreated()) {
    return false;
  }
  const RECT frame = ClientRect();
  auto controller = std::make_unique<flutter::FlutterViewController>(
      ClampedWidthOf(frame), ClampedHeightOf(frame), bundle_);
  std::swap(view_controller_, controller);
  // The channel is on the earlier engine's messenger: it goes first, and a
  // refused controller leaves the window without one.
  window_channel_.reset();
  controller.reset();  // an earlier controller goes after its replacement exists
  // The controller always has an engine; only the view can be missing, when
  // the embedder refused to create the controller.
  if (view_controller_->View() == nullptr) {
    return false;
  }
  flutter::FlutterEngine* engine = view_controller_->Engine();
  flutter::RegisterPluginLibraries(engine);
  AttachContent(view_controller_->View()->NativeWindow());
  engine->OnNextFrame([this]() { OnFirstFrame(); });

  // Without a registrar the GPU texture channel is simply absent.
  if (FlutterDesktopPluginRegistrarRef registrar =
          engine->RegistrarForPlugin(kGpuTexturePluginName)) {
    GpuTexturePlugin::RegisterWithRegistrar(flutter::RegistrarTable::Get().RegistrarFor(registrar));
  }

  auto channel = std::make_unique<flutter::MethodCallChannel>(
      engine->Messenger(), kWindowChannelName, &flutter::StandardMethodCodec::ForSerializer());
  channel->InstallCallHandler(
      [target = FlutterWindowTarget(*this)](
          const flutter::MethodCall<EncodableValue>& call,
          std::unique_ptr<flutter::MethodResult<EncodableValue>> result) mutable {
        HandleWindowChannelCall(target, call, std::move(result));
      });
  std::swap(window_channel_, channel);
  channel.reset();
  instances_.SetLaunchHandler([this](const SecondLaunch& launch) { OnSecondLaunch(launch); });

  view_controller_->ForceRedraw();
  return true;
}

void FlutterWindow::OnFirstFrame() {
  WriteRunLog("next frame callback");
  ShowNormal();
}

void FlutterWindow::OnDestroying() {
  // No launch is handed to a window on its way out, and the system may
  // sleep again.
  instances_.StopServing();
  instances_.SetLaunchHandler(nullptr);
  if (keep_awake_) {
    SetKeepAwake(false, false);
  }
  video_host_.Destroy();
  window_channel_.reset();  // it lives on the engine's messenger
  if (view_controller_) {
    std::unique_ptr<flutter::FlutterViewController> controller = std::move(view_controller_);
    controller.reset();
  }
}

HWND FlutterWindow::CreateVideoHost() {
  return video_host_.Create(Handle());
}

void FlutterWindow::DestroyVideoHost() {
  video_host_.Destroy();
}

void FlutterWindow::PlaceVideoHost(int32_t x, int32_t y, int32_t w, int32_t h) {
  video_host_.Place(x, y, w, h);
}

void FlutterWindow::ShowVideoHost(bool visible) {
  video_host_.Show(visible);
}

void FlutterWindow::ApplyNativeVideoMode(bool active,
                                         int32_t top_height,
                                         int32_t bar_height,
                                         std::optional<int32_t> right_padding) {
  const NativeVideoState before = video_host_.mode();
  NativeVideoState after = before;
  after.active = active;
  after.top_height_px = top_height;
  after.bar_height_px = bar_height;
  if (right_padding) {
    after.right_padding_px = *right_padding;
  }
  video_host_.SetMode(after);
  char line[kNativeModeLineCapacity];
  if (FormatNativeModeChange(before, after, line)) {
    WriteRunLog(line);
  }
  if (after.active) {
    video_host_.MoveToNativeArea();
  }
}

bool FlutterWindow::SetSingleInstance(bool enabled) {
  if (!enabled) {
    instances_.StopServing();
    return true;
  }
  const SecondLaunch own{bundle_.entrypoint_args, CurrentDirectoryUtf8()};
  if (EnableSingleInstance(instances_, own) == SingleInstanceOutcome::kServing) {
    return true;
  }
  // Posted, so that the answer reaches the Dart side first.
  WriteRunLog("setSingleInstance: handed to the running host, closing");
  PostMessageW(Handle(), WM_CLOSE, 0, 0);
  return false;
}

void FlutterWindow::SetKeepAwake(bool enabled, bool display) {
  // The state belongs to the calling thread: this is the platform thread.
  (void)SetThreadExecutionState(ExecutionStateFor(enabled, display));
  keep_awake_ = enabled;
}

void FlutterWindow::OnSecondLaunch(const SecondLaunch& launch) {
  // A window still waiting for its first frame shows itself then.
  const HWND window = Handle();
  if (window != nullptr && IsWindowVisible(window)) {
    if (IsIconic(window)) {
      ShowWindow(window, SW_RESTORE);
    }
    (void)SetForegroundWindow(window);  // the launch lent its right to do so
  }
  SendWindowEvent(SecondInstanceEvent(launch));
}

HWND FlutterWindow::ViewWindow() const {
  if (view_controller_ == nullptr || view_controller_->View() == nullptr) {
    return nullptr;
  }
  return view_controller_->View()->NativeWindow();
}

void FlutterWindow::SendWindowEvent(EncodableValueMap event) {
  if (!window_channel_) {
    return;
  }
  window_channel_->SendMethodCall(kWindowEventMethod,
                                  std::make_unique<EncodableValue>(std::move(event)), nullptr);
}

void FlutterWindow::OnExitSizeMove(HWND hwnd) {
  SendWindowEvent(WindowEvent(kExitSizeMoveEvent));
  const HWND view = ViewWindow();
  if (view != nullptr) {
    const RECT client = ClientRect();
    const int width = ClampedWidthOf(client);
    const int height = ClampedHeightOf(client);
    MoveWindow(view, 0, 0, width, height, TRUE);
    RECT view_client = {0, 0, 0, 0};
    GetClientRect(view, &view_client);
    char line[kResizeLineCapacity];
    (void)std::snprintf(line, sizeof line,
                        "flutter_view resize (%s): client=%dx%d => flutter_view_client=%dx%d",
                        "WM_EXITSIZEMOVE", width, height, ClampedWidthOf(view_client),
                        ClampedHeightOf(view_client));
    WriteRunLog(line);
  }
  InvalidateRect(Handle(), nullptr, FALSE);
  if (view_controller_) {
    WriteRunLog("WM_EXITSIZEMOVE: ForceRedraw()");
    view_controller_->ForceRedraw();
  }
  LogChildWindows(hwnd, view, video_host_.hwnd(), "WM_EXITSIZEMOVE");
  PostMessageW(hwnd, WM_SIZE, 0, 0);
}

LRESULT FlutterWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::optional<LRESULT> engine_result;
  if (view_controller_) {
    engine_result = view_controller_->HandleTopLevelMessage(hwnd, message, wparam, lparam);
  }
  switch (message) {
    case WM_FONTCHANGE:
      if (view_controller_) {
        view_controller_->Engine()->ReloadFonts();
      }
      break;
    case WM_ENTERSIZEMOVE:
      SendWindowEvent(WindowEvent(kEnterSizeMoveEvent));
      break;
    case WM_EXITSIZEMOVE:
      OnExitSizeMove(hwnd);
      break;
    case WM_APPCOMMAND:
      // Media commands are the player's; every other one goes on to the system.
      if (const char* key = MediaKeyForAppCommand(static_cast<uint32_t>(lparam))) {
        SendWindowEvent(MediaKeyEvent(key));
        return engine_result ? *engine_result : TRUE;
      }
      break;
  }
  const LRESULT base_result = Win32Window::HandleMessage(hwnd, message, wparam, lparam);
  return engine_result ? *engine_result : base_result;
}

}  // namespace velora
