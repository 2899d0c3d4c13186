// The Windows side of the stand-in embedder: the Flutter view as a real
// child window, the platform thread's task queue driven from the message
// loop, settings from the environment, the bundle the engine is handed (its
// ICU data and assets must be there, and the application it runs is the
// AOT library's program).
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "standins/embedder/app_program.h"
#include "standins/embedder/bundle_paths.h"
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
// The application of the running bundle; null until one has loaded.
AppProgram* program = nullptr;

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
  if (message == WM_TIMER && program != nullptr) {
    program->OnTimer(static_cast<UINT_PTR>(wparam));
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
      if (program != nullptr) {
        program->Paint(dc, client);
      }
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_SIZE:
      if (program != nullptr) {
        program->OnViewResized();
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_MOUSEWHEEL:
      if (program != nullptr) {
        program->OnViewInput(message, static_cast<short>(LOWORD(lparam)),
                             static_cast<short>(HIWORD(lparam)));
      }
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

std::string Utf8(const std::wstring& wide) {
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? static_cast<size_t>(length - 1) : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
  }
  return utf8;
}

// A refused start says why on standard error, as an engine's log would.
bool Refuse(const char* what, const std::wstring& path) {
  std::fprintf(stderr, "stand-in engine: cannot start: %s %s\n", what, Utf8(path).c_str());
  std::fflush(stderr);
  return false;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Opens the bundle as an engine would on start: the paths count from the
// executable's folder; without ICU data or assets the engine cannot start;
// the application is the AOT library's program (loaded once a process).
bool LoadBundle(FlutterDesktopEngine* engine) {
  wchar_t module[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::wstring executable_dir = FolderOf(std::wstring(module, length));
  const std::wstring icu = ResolveBundlePath(executable_dir, engine->icu_data_path);
  const std::wstring assets = ResolveBundlePath(executable_dir, engine->assets_path);
  const std::wstring aot = ResolveBundlePath(executable_dir, engine->aot_library_path);
  if (!IsFile(icu)) {
    return Refuse("no ICU data file at", icu);
  }
  if (!IsFolder(assets)) {
    return Refuse("no assets folder at", assets);
  }
  const HMODULE library = IsFile(aot) ? LoadLibraryW(aot.c_str()) : nullptr;
  if (library == nullptr) {
    return Refuse("cannot load the AOT library", aot);
  }
  // Through void*, as elsewhere: FARPROC and the entry's type differ.
  const auto entry = reinterpret_cast<AppProgramEntry>(
      reinterpret_cast<void*>(GetProcAddress(library, kAppProgramEntry)));
  if (entry == nullptr) {
    return Refuse("no application in the AOT library", aot);
  }
  program = entry();
  return program != nullptr;
}

// Reads the environment once, when the DLL is loaded: the settings tests
// give the stand-in.
struct ShellSetup {
  ShellSetup() {
    static WindowsViewPlatform view_platform;
    EngineSettings& settings = Settings();
    settings.view_platform = &view_platform;
    settings.refuse_view_controller = EnvironmentText(kRefuseViewControllerVariable) == "1";
    settings.claimed_messages = ParseClaimedMessages(EnvironmentText(kClaimMessagesVariable));
    settings.load_bundle = LoadBundle;
    // The app side decides when the first frame comes.
    settings.auto_first_frame = false;
    settings.on_engine_running = [](FlutterDesktopEngine* engine) {
      program->Start(engine, task_window);
    };
    settings.on_engine_ending = [](FlutterDesktopEngine* engine) {
      if (program != nullptr) {
        program->Stop(engine);
      }
    };
  }
};

ShellSetup shell_setup;

}  // namespace
}  // namespace velora::standin
