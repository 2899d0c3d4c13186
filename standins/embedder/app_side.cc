#include "standins/embedder/app_side.h"

#include <cstdarg>
#include <fstream>
#include <sstream>
#include <vector>

#include "standins/embedder/app_probes.h"
#include "standins/embedder/core/fake_messenger.h"
#include "standins/embedder/core/fake_texture_registrar.h"
#include "standins/embedder/core/platform_queue.h"
#include "standins/embedder/scenario/value_text.h"

namespace velora::standin {

namespace {

constexpr UINT_PTR kStepTimer = 1;
constexpr UINT kGatePollMs = 20;
constexpr ULONGLONG kGateTimeoutMs = 60000;
constexpr char kScenarioArgument[] = "--scenario=";
constexpr char kTranscriptArgument[] = "--transcript=";

std::wstring Wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  if (length <= 0) {
    return std::wstring();
  }
  std::wstring wide(static_cast<size_t>(length - 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) {
    return std::string();
  }
  std::string utf8(static_cast<size_t>(length - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::string HexOf(const std::string& text) {
  return ToHex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string ArgumentValue(const FlutterDesktopEngine& engine, const char* prefix) {
  const std::string key(prefix);
  for (const std::string& argument : engine.arguments) {
    if (argument.compare(0, key.size(), key) == 0) {
      return argument.substr(key.size());
    }
  }
  return std::string();
}

std::string Format(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

}  // namespace

AppSide& AppSide::Get() {
  static AppSide* app = new AppSide();
  return *app;
}

void AppSide::Record(const std::string& line) {
  if (transcript_ == nullptr) {
    return;
  }
  std::fputs(line.c_str(), transcript_);
  std::fputc('\n', transcript_);
  std::fflush(transcript_);
}

void AppSide::Start(FlutterDesktopEngine* engine, HWND timer_window) {
  engine_ = engine;
  timer_window_ = timer_window;
  next_step_ = 0;
  gate_deadline_ = 0;
  execstate_at_end_ = false;
  scenario_ = Scenario();

  const std::string transcript = ArgumentValue(*engine, kTranscriptArgument);
  if (!transcript.empty()) {
    transcript_ = _wfopen(Wide(transcript).c_str(), L"wb");
  }
  // Every message the host sends is part of the record.
  SetAppResponder(engine->messenger,
                  [this](const std::string& channel,
                         const std::vector<uint8_t>& bytes) -> std::optional<std::vector<uint8_t>> {
                    Record("host-send " + channel + " " + ToHex(bytes));
                    demo_.OnHostSend(channel, bytes);
                    return std::nullopt;
                  });

  const std::string scenario_path = ArgumentValue(*engine, kScenarioArgument);
  if (scenario_path.empty()) {
    // Without a scenario the app side plays the demo.
    Record("engine-running");
    Record("first-frame");
    ProduceFrame(engine);
    demo_.Start(engine, timer_window_);
    return;
  }
  {
    std::ifstream in(Wide(scenario_path).c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    std::optional<Scenario> scenario = in ? ParseScenario(text.str(), &error) : std::nullopt;
    if (!scenario) {
      Record("scenario-error " + (in ? error : std::string("cannot read ") + scenario_path));
    } else {
      scenario_ = std::move(*scenario);
    }
  }
  Record("engine-running");
  SetRepeatNextFrameCallback(scenario_.repeat_next_frame_callback);
  if (scenario_.auto_first_frame) {
    Record("first-frame");
    ProduceFrame(engine);
  }
  ScheduleNextStep(0);
}

void AppSide::Stop(FlutterDesktopEngine* engine) {
  if (engine != engine_) {
    return;
  }
  if (execstate_at_end_) {
    Record(ExecutionStateLine("execstate-at-end"));
  }
  Record("engine-ended");
  demo_.Stop();
  if (zorder_probe_ != nullptr) {
    DestroyWindow(zorder_probe_);
    zorder_probe_ = nullptr;
  }
  KillTimer(timer_window_, kStepTimer);
  engine_ = nullptr;
  if (transcript_ != nullptr) {
    std::fclose(transcript_);
    transcript_ = nullptr;
  }
}

void AppSide::ScheduleNextStep(UINT milliseconds) {
  if (milliseconds == 0) {
    // Behind the messages already queued, like a Dart event loop turn.
    PlatformQueue::Get().Post([this]() { RunNextStep(); });
  } else {
    SetTimer(timer_window_, kStepTimer, milliseconds, nullptr);
  }
}

void AppSide::OnTimer(UINT_PTR id) {
  if (id == DemoApp::kWindowRecordTimer || id == DemoApp::kRepaintTimer) {
    demo_.OnTimer(id);
  } else if (id == kStepTimer) {
    KillTimer(timer_window_, kStepTimer);
    RunNextStep();
  }
}

void AppSide::RunNextStep() {
  if (engine_ == nullptr || RunningEngine() != engine_) {
    return;
  }
  if (next_step_ >= scenario_.steps.size()) {
    if (!scenario_.steps.empty() && next_step_ == scenario_.steps.size()) {
      Record("scenario-done");
      ++next_step_;
    }
    return;
  }
  const ScenarioStep& step = scenario_.steps[next_step_];
  if (step.kind == ScenarioStep::Kind::kGate && !GatePassed(step)) {
    ScheduleNextStep(kGatePollMs);
    return;
  }
  ++next_step_;
  RunStep(step);
  ScheduleNextStep(step.kind == ScenarioStep::Kind::kSleep ? step.milliseconds : 0);
}

bool AppSide::GatePassed(const ScenarioStep& step) {
  const std::string line = std::to_string(step.line);
  if (gate_deadline_ == 0) {
    Record("step " + line + " " + step.text);
    gate_deadline_ = GetTickCount64() + kGateTimeoutMs;
  }
  if (GateIsOpen(step.channel)) {
    Record("gate-open " + line);
  } else if (GetTickCount64() >= gate_deadline_) {
    Record("gate-timeout " + line);
  } else {
    return false;
  }
  gate_deadline_ = 0;
  return true;
}

HWND AppSide::TopLevel() const {
  if (engine_ == nullptr || engine_->controller == nullptr) {
    return nullptr;
  }
  return GetAncestor(engine_->controller->view.hwnd, GA_ROOT);
}

void AppSide::RunStep(const ScenarioStep& step) {
  const std::string line = std::to_string(step.line);
  switch (step.kind) {
    case ScenarioStep::Kind::kCall:
    case ScenarioStep::Kind::kSend: {
      Record("step " + line + " " + step.text);
      Record("request " + line + " " + step.channel + " " + ToHex(step.bytes));
      DeliverToHost(engine_->messenger, step.channel, step.bytes,
                    [this, line](std::vector<uint8_t> response) {
                      Record("response " + line + " " + ToHex(response));
                    });
      break;
    }
    case ScenarioStep::Kind::kPost:
      Record("step " + line + " " + step.text);
      PostMessageW(TopLevel(), step.message, static_cast<WPARAM>(step.wparam),
                   static_cast<LPARAM>(step.lparam));
      break;
    case ScenarioStep::Kind::kSendMessage: {
      Record("step " + line + " " + step.text);
      const LRESULT result =
          SendMessageW(TopLevel(), step.message, static_cast<WPARAM>(step.wparam),
                       static_cast<LPARAM>(step.lparam));
      Record(Format("result %s %lld", line.c_str(), static_cast<long long>(result)));
      break;
    }
    case ScenarioStep::Kind::kChildMessage: {
      Record("step " + line + " " + step.text);
      const HWND child = FindWindowExA(TopLevel(), nullptr, step.channel.c_str(), nullptr);
      const LRESULT result =
          child == nullptr ? 0
                           : SendMessageW(child, step.message, static_cast<WPARAM>(step.wparam),
                                          static_cast<LPARAM>(step.lparam));
      Record(Format("result %s %lld%s", line.c_str(), static_cast<long long>(result),
                    child == nullptr ? " (no such child)" : ""));
      break;
    }
    case ScenarioStep::Kind::kOffered: {
      int count = 0;
      for (UINT offered : Stats().offered_messages) {
        count += offered == step.message;
      }
      Record(Format("offered 0x%04x %d", step.message, count));
      break;
    }
    case ScenarioStep::Kind::kSleep:
    case ScenarioStep::Kind::kGate:
      break;
    case ScenarioStep::Kind::kZOrder:
      Record(ZOrderLine(TopLevel(), zorder_probe_));
      break;
    case ScenarioStep::Kind::kExecState:
      Record(ExecutionStateLine("execstate"));
      execstate_at_end_ = true;
      break;
    case ScenarioStep::Kind::kWindow:
      RecordWindow();
      break;
    case ScenarioStep::Kind::kChildren:
      RecordChildren();
      break;
    case ScenarioStep::Kind::kMonitor:
      RecordMonitor();
      break;
    case ScenarioStep::Kind::kEngine:
      RecordEngine();
      break;
    case ScenarioStep::Kind::kFrame:
      Record(engine_->first_frame_produced ? "frame" : "first-frame");
      ProduceFrame(engine_);
      break;
    case ScenarioStep::Kind::kCrash: {
      Record("step " + line + " crash");
      // Jumping to an unmapped page faults with that very address as the
      // exception address.
      using Function = void (*)();
      volatile uintptr_t target = 0x1000;
      reinterpret_cast<Function>(target)();
      break;
    }
    case ScenarioStep::Kind::kClose:
      Record("step " + line + " close");
      PostMessageW(TopLevel(), WM_CLOSE, 0, 0);
      break;
    case ScenarioStep::Kind::kResources:
    case ScenarioStep::Kind::kRefuseSends:
    case ScenarioStep::Kind::kNextTextureId:
    case ScenarioStep::Kind::kFrames:
      RunProbeStep(step);
      break;
  }
}

void AppSide::RunProbeStep(const ScenarioStep& step) {
  const std::string line = std::to_string(step.line);
  switch (step.kind) {
    case ScenarioStep::Kind::kResources:
      Record(ResourcesLine());
      break;
    case ScenarioStep::Kind::kRefuseSends:
      Record("step " + line + " " + step.text);
      SetRefuseSends(engine_->messenger, step.number != 0);
      break;
    case ScenarioStep::Kind::kNextTextureId:
      Record("step " + line + " " + step.text);
      SetNextTextureId(engine_->texture_registrar, step.number);
      break;
    case ScenarioStep::Kind::kFrames:
      Record("step " + line + " " + step.text);
      Record(MarkFramesFromRendererThread(step.number, step.count) ? "frames-done " + line
                                                                   : "frames-no-export " + line);
      break;
    default:
      break;
  }
}

void AppSide::RecordWindow() {
  const HWND top = TopLevel();
  RECT outer = {0, 0, 0, 0};
  RECT client = {0, 0, 0, 0};
  GetWindowRect(top, &outer);
  GetClientRect(top, &client);
  wchar_t title[256] = {};
  GetWindowTextW(top, title, 256);
  char class_name[128] = {};
  GetClassNameA(top, class_name, sizeof class_name);
  Record(Format("window class=%s visible=%d style=0x%08lx exstyle=0x%08lx rect=%ld,%ld,%ld,%ld "
                "client=%ldx%ld "
                "title=",
                class_name, IsWindowVisible(top) ? 1 : 0,
                static_cast<unsigned long>(GetWindowLongW(top, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(top, GWL_EXSTYLE)), outer.left, outer.top,
                outer.right, outer.bottom, client.right - client.left, client.bottom - client.top) +
         HexOf(Utf8(title)));
}

void AppSide::RecordChildren() {
  const HWND top = TopLevel();
  int index = 0;
  for (HWND child = GetWindow(top, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT), ++index) {
    char class_name[128] = {};
    GetClassNameA(child, class_name, sizeof class_name);
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rect), 2);
    Record(Format("child %d class=%s visible=%d rect=%ld,%ld %ldx%ld", index, class_name,
                  IsWindowVisible(child) ? 1 : 0, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top));
  }
  Record(Format("children %d", index));
}

// What the host's geometry rests on, read inside the host's process (its
// DPI awareness, not the test's): the monitor's rectangle and work area, the
// DPI the host is given for it, and the largest window the platform allows.
void AppSide::RecordMonitor() {
  const HMONITOR monitor = MonitorFromWindow(TopLevel(), MONITOR_DEFAULTTONEAREST);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  GetMonitorInfoW(monitor, &info);
  const RECT& rect = info.rcMonitor;
  const RECT& work = info.rcWork;
  Record(Format("monitor rect=%ld,%ld,%ld,%ld work=%ld,%ld,%ld,%ld dpi=%u maxtrack=%dx%d",
                rect.left, rect.top, rect.right, rect.bottom, work.left, work.top, work.right,
                work.bottom, FlutterDesktopGetDpiForMonitor(monitor),
                GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)));
}

void AppSide::RecordEngine() {
  std::string args;
  for (const std::string& argument : engine_->arguments) {
    args += (args.empty() ? "" : ",") + HexOf(argument);
  }
  Record("engine assets=" + HexOf(Utf8(engine_->assets_path)) + " icu=" +
         HexOf(Utf8(engine_->icu_data_path)) + " aot=" + HexOf(Utf8(engine_->aot_library_path)) +
         Format(" entrypoint_null=%d entrypoint=", engine_->entrypoint_null ? 1 : 0) +
         HexOf(engine_->dart_entrypoint) +
         Format(" argc=%d argv_null=%d options=%d,%d args=", engine_->argc,
                engine_->argv_null ? 1 : 0, engine_->gpu_preference, engine_->ui_thread_policy) +
         args);
  const int redraws = engine_->controller != nullptr ? engine_->controller->force_redraws : 0;
  Record(Format("counts force_redraws=%d font_reloads=%d", redraws, engine_->font_reloads));
  for (const auto& registrar : engine_->registrars) {
    Record(Format("registrar %s handler_installs=%d", registrar->plugin_name.c_str(),
                  registrar->destruction_handler_installs));
  }
}

void AppSide::OnViewInput(UINT message, int x, int y) {
  Record(Format("view-input 0x%04x %d,%d", message, x, y));
  if (message == WM_LBUTTONUP && demo_.active()) {
    demo_.OnClick(x, y);
  }
}

void AppSide::OnViewResized() {
  if (demo_.active()) {
    demo_.OnViewResized();
  }
}

void AppSide::Paint(HDC dc, const RECT& client) {
  if (demo_.active()) {
    demo_.Paint(dc, client);
    return;
  }
  const HBRUSH background = CreateSolidBrush(RGB(0x12, 0x14, 0x1a));
  FillRect(dc, &client, background);
  DeleteObject(background);
}

}  // namespace velora::standin
