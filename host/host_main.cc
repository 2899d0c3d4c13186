#include "host/host_main.h"

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "flutter_windows.h"
#include "host/command_line.h"
#include "host/crash_report.h"
#include "host/debug_console.h"
#include "host/initial_geometry.h"
#include "host/log_file.h"
#include "host/session_instances.h"
#include "window/flutter_window.h"
#include "window/project_bundle.h"

namespace velora {

namespace {

constexpr wchar_t kWindowTitle[] = L"Ondexa";
constexpr std::size_t kHandOverLineCapacity = 256;

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

// When a host of this session serves as its single instance, the launch is
// its: it takes the arguments and this process ends without a window.
bool HandedToServingHost(SessionInstances& instances, const std::vector<std::string>& arguments) {
  const InstanceRegistry::HostId host =
      HandOverToServingHost(instances, SecondLaunch{arguments, CurrentDirectoryUtf8()});
  if (host == InstanceRegistry::kNoHost) {
    return false;
  }
  char line[kHandOverLineCapacity];
  (void)std::snprintf(line, sizeof line, "second launch: handed to the running host pid=%lu",
                      SessionInstances::ProcessOf(host));
  WriteRunLog(line);
  return true;
}

}  // namespace

int RunHost() {
  // First of all, so that every later fault leaves a report.
  SetUnhandledExceptionFilter(WriteCrashReport);
  ApplyConsoleRule(SystemConsole());
  // Held for as long as this host runs: it tells installers that one does.
  SessionInstances instances;
  std::vector<std::string> arguments = CollectCommandLineArguments();
  if (HandedToServingHost(instances, arguments)) {
    return 0;
  }
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  auto bundle = std::make_unique<ProjectBundle>(MakeProjectBundle(L"data"));
  bundle->entrypoint_args = std::move(arguments);

  auto window = std::make_unique<FlutterWindow>(*bundle, instances);
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
