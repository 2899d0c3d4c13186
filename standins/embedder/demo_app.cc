#include "standins/embedder/demo_app.h"

#include <cstdio>
#include <memory>

#include "messaging/method_call.h"
#include "messaging/method_result.h"
#include "messaging/standard_method_codec.h"
#include "standins/embedder/app_probes.h"
#include "standins/embedder/app_side.h"
#include "standins/embedder/core/fake_messenger.h"
#include "standins/embedder/core/fake_texture_registrar.h"

namespace velora::standin {

using flutter::EncodableValue;
using flutter::EncodableValueMap;

namespace {

constexpr char kWindowChannel[] = "velora/window";
constexpr char kGpuChannel[] = "velora/gpu_texture";
// A caller handle: this Wine has no shareable-handle export for textures
// the host makes, so the demo hands one in, as a renderer of its own would.
constexpr int64_t kDemoSharedHandle = 4096;

// Collects the decoded answer of one call.
class ReplyCatcher : public flutter::MethodResult<EncodableValue> {
 public:
  EncodableValue value;
  bool ok = false;

 protected:
  void OnSuccess(const EncodableValue* result) override {
    ok = true;
    if (result != nullptr)
      value = *result;
  }
  void OnError(const std::string&, const std::string&, const EncodableValue*) override {}
  void OnNotImplemented() override {}
};

void FillRectColor(HDC dc, const RECT& rect, COLORREF color) {
  const HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// UTF-8 text, as the channels carry it.
void Text(HDC dc, int x, int y, const std::string& text, COLORREF color) {
  SetTextColor(dc, color);
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

// What fits a line of the strip: the end of a long path.
std::string Tail(const std::string& text, size_t characters) {
  if (text.size() <= characters) {
    return text;
  }
  size_t start = text.size() - characters;
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
    ++start;  // not inside a UTF-8 sequence
  }
  return "..." + text.substr(start);
}

const std::string* StringAt(const EncodableValueMap& map, const char* key) {
  const EncodableValue* value = flutter::FindValue(map, key);
  return value != nullptr ? std::get_if<std::string>(value) : nullptr;
}

}  // namespace

void DemoApp::Start(FlutterDesktopEngine* engine, HWND timer_window) {
  engine_ = engine;
  timer_window_ = timer_window;
  Note("demo started");
  // A player wants one window: later launches hand their files to this one.
  CallHost(kWindowChannel, "setSingleInstance",
           EncodableValue(EncodableValueMap{{"enabled", true}}),
           [this](const EncodableValue* value, bool ok) {
             const bool serving = ok && value != nullptr && std::get_if<bool>(value) != nullptr &&
                                  *std::get_if<bool>(value);
             Note(serving ? "single window: on" : "handed over to the running player");
           });
  CallHost(kWindowChannel, "setTitle", EncodableValue(EncodableValueMap{{"title", "Ondexa"}}));
  CallHost(kWindowChannel, "createVideoHost", EncodableValue(),
           [this](const EncodableValue* value, bool ok) {
             if (ok && value != nullptr && std::holds_alternative<int64_t>(*value)) {
               host_ = reinterpret_cast<HWND>(static_cast<intptr_t>(std::get<int64_t>(*value)));
             }
           });
  ApplyNativeMode();
  CallHost(
      kGpuChannel, "createGpuTexture",
      EncodableValue(EncodableValueMap{
          {"width", 320}, {"height", 180}, {"sharedHandle", std::to_string(kDemoSharedHandle)}}),
      [this](const EncodableValue* value, bool ok) {
        if (!ok || value == nullptr)
          return;
        if (const auto* map = std::get_if<EncodableValueMap>(value)) {
          const EncodableValue* id = flutter::FindValue(*map, "textureId");
          if (id != nullptr && std::holds_alternative<int64_t>(*id)) {
            texture_id_ = std::get<int64_t>(*id);
          }
        }
      });
  renderer_.Start(host_, texture_id_, 40);
  app_.Record(std::string("demo host=") + (host_ != nullptr ? "1" : "0") +
              " texture=" + std::to_string(texture_id_));
  app_.RecordWindow();
  // The strip shows the frame count as it grows.
  SetTimer(timer_window_, kRepaintTimer, 500, nullptr);
  Invalidate();
}

void DemoApp::Stop() {
  renderer_.Stop();
  if (timer_window_ != nullptr) {
    KillTimer(timer_window_, kWindowRecordTimer);
    KillTimer(timer_window_, kRepaintTimer);
  }
  engine_ = nullptr;
  host_ = nullptr;
}

void DemoApp::CallHost(const std::string& channel,
                       const std::string& method,
                       EncodableValue arguments,
                       OnValue on_value) {
  if (engine_ == nullptr)
    return;
  flutter::MethodCall<EncodableValue> call(method,
                                           std::make_unique<EncodableValue>(std::move(arguments)));
  std::unique_ptr<std::vector<uint8_t>> bytes =
      flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
  DeliverToHost(engine_->messenger, channel, *bytes,
                [on_value = std::move(on_value)](std::vector<uint8_t> response) {
                  if (!on_value)
                    return;
                  ReplyCatcher reply;
                  if (!response.empty()) {
                    flutter::StandardMethodCodec::ForSerializer().DecodeReply(
                        response.data(), response.size(), &reply);
                  }
                  on_value(reply.ok ? &reply.value : nullptr, reply.ok);
                });
}

void DemoApp::ApplyNativeMode() {
  CallHost(kWindowChannel, "setNativeVideoMode",
           EncodableValue(EncodableValueMap{{"active", native_mode_},
                                            {"topHeightPx", kTopHeight},
                                            {"barHeightPx", kBarHeight},
                                            {"rightPaddingPx", kRightWidth}}));
  if (native_mode_) {
    // Showing places the host in the video area again after a resize.
    CallHost(kWindowChannel, "setVideoHostVisible",
             EncodableValue(EncodableValueMap{{"visible", true}}));
    return;
  }
  // Off: the video also covers the top band (the right padding still
  // limits its width when placed).
  RECT client = {0, 0, 0, 0};
  GetClientRect(ViewWindow(), &client);
  CallHost(
      kWindowChannel, "setVideoHostBounds",
      EncodableValue(EncodableValueMap{{"x", 0},
                                       {"y", 0},
                                       {"w", static_cast<int32_t>(client.right)},
                                       {"h", static_cast<int32_t>(client.bottom - kBarHeight)}}));
}

HWND DemoApp::ViewWindow() const {
  return engine_ != nullptr && engine_->controller != nullptr ? engine_->controller->view.hwnd
                                                              : nullptr;
}

void DemoApp::Invalidate() {
  if (HWND view = ViewWindow()) {
    InvalidateRect(view, nullptr, FALSE);
  }
}

void DemoApp::Note(const std::string& line) {
  events_.push_back(line);
  while (events_.size() > 16)
    events_.pop_front();
  Invalidate();
}

void DemoApp::LayoutButtons(const RECT& client) {
  static const char* const kNames[][2] = {
      {"fullscreen", "Full screen"}, {"native", "Native video"},  {"resize720", "1280 x 720"},
      {"resize900", "1600 x 900"},   {"keepawake", "Keep awake"}, {"ontop", "On top"}};
  std::vector<Button> buttons;
  const int top = client.bottom - kBarHeight + 24;
  for (int i = 0; i < 6; ++i) {
    Button button{kNames[i][0], kNames[i][1],
                  RECT{24 + i * 200, top, 24 + i * 200 + 180, top + 48}};
    buttons.push_back(button);
  }
  const bool moved = buttons_.empty() || buttons_[0].rect.top != buttons[0].rect.top;
  buttons_ = std::move(buttons);
  if (moved) {
    for (const Button& button : buttons_) {
      char line[160];
      std::snprintf(line, sizeof line, "demo-button %s %ld,%ld %ldx%ld", button.name.c_str(),
                    button.rect.left, button.rect.top, button.rect.right - button.rect.left,
                    button.rect.bottom - button.rect.top);
      app_.Record(line);
    }
  }
}

void DemoApp::Paint(HDC dc, const RECT& client) {
  LayoutButtons(client);
  SetBkMode(dc, TRANSPARENT);
  // Behind the video: the interface's own background.
  FillRectColor(dc, client, RGB(0x12, 0x14, 0x1a));
  RECT top = {0, 0, client.right, kTopHeight};
  FillRectColor(dc, top, RGB(0x1f, 0x24, 0x33));
  Text(dc, 16, 16, "Ondexa  -  Velora desktop host demo (stand-in engine)", RGB(0xf2, 0xf2, 0xf2));
  RECT bar = {0, client.bottom - kBarHeight, client.right, client.bottom};
  FillRectColor(dc, bar, RGB(0x1f, 0x24, 0x33));
  for (const Button& button : buttons_) {
    const bool switchable =
        button.name == "native" || button.name == "keepawake" || button.name == "ontop";
    const bool on = (button.name == "native" && native_mode_) ||
                    (button.name == "keepawake" && keep_awake_) ||
                    (button.name == "ontop" && on_top_);
    FillRectColor(dc, button.rect, on ? RGB(0x13, 0x9c, 0xb8) : RGB(0x3a, 0x42, 0x5a));
    std::string label = button.label;
    if (switchable)
      label += on ? ": on" : ": off";
    Text(dc, button.rect.left + 16, button.rect.top + 16, label, RGB(0xff, 0xff, 0xff));
  }
  RECT strip = {client.right - kRightWidth, kTopHeight, client.right, client.bottom - kBarHeight};
  FillRectColor(dc, strip, RGB(0x26, 0x2c, 0x3d));
  int y = strip.top + 16;
  const int x = strip.left + 16;
  char line[160];
  std::snprintf(line, sizeof line, "video host: %s", host_ != nullptr ? "native window" : "none");
  Text(dc, x, y, line, RGB(0xf2, 0xf2, 0xf2));
  y += 22;
  const uint64_t marked = (engine_ != nullptr && texture_id_ >= 0)
                              ? MarkedFrames(engine_->texture_registrar, texture_id_)
                              : 0;
  std::snprintf(line, sizeof line, "GPU texture %lld: %llu frames",
                static_cast<long long>(texture_id_), static_cast<unsigned long long>(marked));
  Text(dc, x, y, line, RGB(0xf2, 0xf2, 0xf2));
  y += 32;
  Text(dc, x, y, "Events:", RGB(0x9c, 0xb8, 0x16));
  y += 22;
  for (const std::string& event : events_) {
    Text(dc, x, y, event, RGB(0xc8, 0xc8, 0xc8));
    y += 20;
  }
}

void DemoApp::OnClick(int x, int y) {
  for (const Button& button : buttons_) {
    if (x >= button.rect.left && x < button.rect.right && y >= button.rect.top &&
        y < button.rect.bottom) {
      Press(button.name);
      return;
    }
  }
}

void DemoApp::Press(const std::string& name) {
  app_.Record("demo-press " + name);
  if (name == "fullscreen") {
    CallHost(kWindowChannel, "toggleFullscreen", EncodableValue(),
             [this](const EncodableValue* value, bool) {
               Note(value != nullptr && std::get_if<bool>(value) && *std::get_if<bool>(value)
                        ? "toggleFullscreen: true"
                        : "toggleFullscreen: false");
             });
  } else if (name == "native") {
    native_mode_ = !native_mode_;
    ApplyNativeMode();
    Note(native_mode_ ? "native video on" : "native video off");
  } else if (name == "keepawake") {
    Switch("setKeepAwake", keep_awake_, "keep awake");
    app_.Record(ExecutionStateLine("demo-execstate"));
  } else if (name == "ontop") {
    Switch("setAlwaysOnTop", on_top_, "always on top");
  } else if (name == "resize720" || name == "resize900") {
    const bool small = name == "resize720";
    CallHost(kWindowChannel, "resizeWindow",
             EncodableValue(
                 EncodableValueMap{{"width", small ? 1280 : 1600}, {"height", small ? 720 : 900}}));
    Note(small ? "resizeWindow 1280 x 720" : "resizeWindow 1600 x 900");
  }
  // The window state a moment later, once the platform has settled.
  SetTimer(timer_window_, kWindowRecordTimer, 400, nullptr);
}

void DemoApp::Switch(const char* method, bool& state, const char* what) {
  state = !state;
  CallHost(kWindowChannel, method, EncodableValue(EncodableValueMap{{"enabled", state}}));
  Note(std::string(what) + (state ? ": on" : ": off"));
}

void DemoApp::OnTimer(UINT_PTR id) {
  if (id == kWindowRecordTimer) {
    KillTimer(timer_window_, kWindowRecordTimer);
    app_.RecordWindow();
  } else if (id == kRepaintTimer) {
    Invalidate();
  }
}

void DemoApp::OnViewResized() {
  if (engine_ == nullptr)
    return;
  // The interface lays the video out again whenever its view changes size.
  ApplyNativeMode();
  Invalidate();
}

void DemoApp::OnHostSend(const std::string& channel, const std::vector<uint8_t>& bytes) {
  if (channel != kWindowChannel)
    return;
  std::unique_ptr<flutter::MethodCall<EncodableValue>> call =
      flutter::StandardMethodCodec::ForSerializer().DecodeCall(bytes.data(), bytes.size());
  if (call == nullptr || call->MethodName() != "windowEvent" || call->Arguments() == nullptr)
    return;
  if (const auto* map = std::get_if<EncodableValueMap>(call->Arguments())) {
    NoteWindowEvent(*map);
  }
}

void DemoApp::NoteWindowEvent(const EncodableValueMap& event) {
  const std::string* type = StringAt(event, "type");
  if (type == nullptr)
    return;
  if (const std::string* key = StringAt(event, "key")) {
    Note("windowEvent " + *type + " " + *key);
    return;
  }
  Note("windowEvent " + *type);
  // A second launch: the files it was asked to open, and where from.
  const EncodableValue* arguments = flutter::FindValue(event, "arguments");
  if (const auto* list =
          arguments != nullptr ? std::get_if<flutter::EncodableValueList>(arguments) : nullptr) {
    for (const EncodableValue& argument : *list) {
      if (const auto* text = std::get_if<std::string>(&argument))
        Note("  " + Tail(*text, 32));
    }
  }
  if (const std::string* directory = StringAt(event, "workingDirectory"))
    Note("  in " + Tail(*directory, 29));
}

}  // namespace velora::standin
