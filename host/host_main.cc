#include "host/host_main.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "flutter_windows.h"
#include "host/command_line.h"
#include "host/crash_report.h"
#include "host/debug_console.h"
#include "host/initial_geometry.h"
#include "host/log_file.h"
#include "window/flutter_window.h"
#include "window/project_bundle.h"

namespace velora {

namespace {

constexpr wchar_t kWindowTitle[] = L"Ondexa";

Rect FromRect(const RECT& rect) {
  return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

// The requested client rectangle plus the frame at the monitor's DPI, and
// the monitor's work area, turned into a logical origin and size.
InitialGeometry QueryInitialGeometry() {
  const HMONITOR monitor = MonitorFromPoint(POINT{kDefaultLogicalOrigin.x, kDefaultLogicalOrigin.y},
                                            MONITOR_DEFAULTTONEAREST);
  const UINT dpi = FlutterDesktopGetDpiForMonitor(monitor);
  const double scale = ScaleForDpi(dpi);

  RECT frame = {kRequestedClientRect.left, kRequestedClientRect.top, kRequestedClientRect.right,
                kRequestedClientRect.bottom};
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  auto adjust_for_dpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (adjust_for_dpi != nullptr) {
    (void)adjust_for_dpi(&frame, kInitialFrameStyle, FALSE, 0, dpi);
  } else {
    (void)AdjustWindowRectEx(&frame, kInitialFrameStyle, FALSE, 0);
  }

  MONITORINFO info = {};
  info.cbSize = sizeof info;  // 40
  if (GetMonitorInfoW(monitor, &info)) {
    const Rect work = FromRect(info.rcWork);
    return ComputeInitialGeometry(scale, FromRect(frame), &work);
  }
  return ComputeInitialGeometry(scale, FromRect(frame), nullptr);
}

int RunMessageLoop() {
  WriteRunLog("entering message loop");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) != 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  WriteRunLog("message loop exited");
  return 0;
}

}  // namespace

int RunHost() {
  // First of all, so that every later fault leaves a report.
  SetUnhandledExceptionFilter(WriteCrashReport);
  ApplyConsoleRule(SystemConsole());
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  auto bundle = std::make_unique<ProjectBundle>(MakeProjectBundle(L"data"));
  bundle->entrypoint_args = CollectCommandLineArguments();

  auto window = std::make_unique<FlutterWindow>(*bundle);
  const InitialGeometry geometry = QueryInitialGeometry();

  int exit_code = 1;
  if (!window->CreateTopLevel(kWindowTitle, geometry.origin, geometry.size)) {
    WriteRunLog("window.Create failed");
  } else {
    window->SetQuitWhenClosed(true);
    exit_code = RunMessageLoop();
    CoUninitialize();
  }

  window.reset();
  bundle.reset();
  return exit_code;
}

}  // namespace velora
