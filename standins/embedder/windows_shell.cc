// The Windows side of the stand-in embedder: the Flutter view as a real
// child window, the platform thread's task queue driven from the message
// loop, settings from the environment, and the app side (a scenario run).
#include <windows.h>

#include <memory>
#include <string>

#include "standins/embedder/app_side.h"
#include "standins/embedder/core/fake_engine.h"
#include "standins/embedder/core/platform_queue.h"
#include "standins/embedder/standin_settings.h"

namespace velora::standin {
namespace {

constexpr wchar_t kTaskWindowClass[] = L"VeloraStandinTasks";
constexpr wchar_t kParkingWindowClass[] = L"VeloraStandinParking";
constexpr wchar_t kViewWindowClass[] = L"FLUTTERVIEW";
constexpr UINT kRunTasksMessage = WM_APP + 1;

HWND task_window = nullptr;
HWND parking_window = nullptr;

std::string EnvironmentText(const char* name) {
  char buffer[512] = {};
  const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string();
}

LRESULT CALLBACK TaskWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunTasksMessage) {
    PlatformQueue::Get().RunPending();
    return 0;
  }
  if (message == WM_TIMER) {
    AppSide::Get().OnTimer(static_cast<UINT_PTR>(wparam));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK ViewWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(hwnd, &paint);
      RECT client;
      GetClientRect(hwnd, &client);
      AppSide::Get().Paint(dc, client);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_SIZE:
      AppSide::Get().OnViewResized();
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_MOUSEWHEEL:
      AppSide::Get().OnViewInput(message, static_cast<short>(LOWORD(lparam)),
                                 static_cast<short>(HIWORD(lparam)));
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void RegisterClasses() {
  static bool registered = false;
  if (registered) {
    return;
  }
  registered = true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW tasks = {};
  tasks.lpfnWndProc = TaskWindowProc;
  tasks.hInstance = instance;
  tasks.lpszClassName = kTaskWindowClass;
  RegisterClassW(&tasks);
  WNDCLASSW parking = {};
  parking.lpfnWndProc = DefWindowProcW;
  parking.hInstance = instance;
  parking.lpszClassName = kParkingWindowClass;
  RegisterClassW(&parking);
  WNDCLASSW view = {};
  view.style = CS_HREDRAW | CS_VREDRAW;
  view.lpfnWndProc = ViewWindowProc;
  view.hInstance = instance;
  view.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  view.lpszClassName = kViewWindowClass;
  RegisterClassW(&view);
}

// Created on the platform thread the first time a view is needed; from then
// on every Post wakes the message loop.
void EnsureTaskWindow() {
  if (task_window != nullptr) {
    return;
  }
  RegisterClasses();
  task_window = CreateWindowExW(0, kTaskWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  parking_window = CreateWindowExW(0, kParkingWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
  const HWND target = task_window;
  PlatformQueue::Get().SetWakeHook([target]() { PostMessageW(target, kRunTasksMessage, 0, 0); });
  PostMessageW(target, kRunTasksMessage, 0, 0);
}

class WindowsViewPlatform : public ViewPlatform {
 public:
  HWND CreateViewWindow(int width, int height) override {
    EnsureTaskWindow();
    return CreateWindowExW(0, kViewWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                           width, height, parking_window, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  }
  void DestroyViewWindow(HWND hwnd) override { DestroyWindow(hwnd); }
};

// Reads the environment once, when the DLL is loaded: the settings tests
// give the stand-in.
struct ShellSetup {
  ShellSetup() {
    static WindowsViewPlatform view_platform;
    EngineSettings& settings = Settings();
    settings.view_platform = &view_platform;
    settings.refuse_view_controller = EnvironmentText(kRefuseViewControllerVariable) == "1";
    settings.claimed_messages = ParseClaimedMessages(EnvironmentText(kClaimMessagesVariable));
    // The app side decides when the first frame comes.
    settings.auto_first_frame = false;
    settings.on_engine_running = [](FlutterDesktopEngine* engine) {
      AppSide::Get().Start(engine, task_window);
    };
    settings.on_engine_ending = [](FlutterDesktopEngine* engine) { AppSide::Get().Stop(engine); };
  }
};

ShellSetup shell_setup;

}  // namespace
}  // namespace velora::standin
