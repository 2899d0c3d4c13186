#include "host/session_instances.h"

#include <utility>
#include <vector>

#include "host/command_line.h"

namespace velora {

namespace {

// Long enough for any host to finish an election, which is a window lookup
// and at most one window creation.
constexpr DWORD kLockTimeoutMs = 2000;
// How long a launch waits for the serving host to take its arguments; a
// host that has not looked at its messages for 5 s counts as hung at once.
constexpr UINT kDeliverTimeoutMs = 5000;

HWND AsWindow(InstanceRegistry::HostId host) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(host));
}

void RegisterServingClassOnce(WNDPROC procedure) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW existing = {};
  if (GetClassInfoW(instance, kServingWindowClass, &existing) != 0) {
    return;
  }
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kServingWindowClass;
  (void)RegisterClassW(&window_class);  // a failure shows as a failed CreateWindowExW
}

}  // namespace

SessionInstances::SessionInstances()
    : session_object_(CreateMutexW(nullptr, FALSE, kSessionObjectName)) {}

SessionInstances::~SessionInstances() {
  StopServing();
  if (session_object_ != nullptr) {
    CloseHandle(session_object_);
  }
}

bool SessionInstances::Lock() {
  if (session_object_ == nullptr) {
    return false;
  }
  // An owner that died holding it leaves it abandoned, which hands it over.
  const DWORD wait = WaitForSingleObject(session_object_, kLockTimeoutMs);
  return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

void SessionInstances::Unlock() {
  (void)ReleaseMutex(session_object_);
}

InstanceRegistry::HostId SessionInstances::FindServingHost() {
  HWND found = nullptr;
  do {
    found = FindWindowExW(HWND_MESSAGE, found, kServingWindowClass, nullptr);
  } while (found != nullptr && found == serving_window_);
  return static_cast<HostId>(reinterpret_cast<uintptr_t>(found));
}

bool SessionInstances::Deliver(HostId host, const SecondLaunch& launch) {
  const HWND target = AsWindow(host);
  std::vector<uint8_t> bytes = EncodeSecondLaunch(launch);
  if (bytes.size() > kMaxSecondLaunchBytes) {
    return false;
  }
  // The launch was started by the user and may bring a window forward; it
  // lends that right to the host that shows its arguments.
  const unsigned long process = ProcessOf(host);
  if (process == 0) {
    return false;
  }
  (void)AllowSetForegroundWindow(process);
  COPYDATASTRUCT data = {};
  data.dwData = kSecondLaunchTag;
  data.cbData = static_cast<DWORD>(bytes.size());
  data.lpData = bytes.data();
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                          SMTO_NORMAL | SMTO_ABORTIFHUNG, kDeliverTimeoutMs, &answer) == 0) {
    return false;
  }
  return answer == kSecondLaunchAccepted;
}

unsigned long SessionInstances::ProcessOf(HostId host) {
  DWORD process = 0;
  if (GetWindowThreadProcessId(AsWindow(host), &process) == 0) {
    return 0;
  }
  return process;
}

void SessionInstances::StartServing() {
  if (serving_window_ != nullptr) {
    return;
  }
  RegisterServingClassOnce(ServingWindowProc);
  serving_window_ = CreateWindowExW(0, kServingWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, GetModuleHandleW(nullptr), this);
}

void SessionInstances::StopServing() {
  if (serving_window_ != nullptr) {
    DestroyWindow(serving_window_);
    serving_window_ = nullptr;
  }
}

LRESULT SessionInstances::OnCopyData(const COPYDATASTRUCT* data) {
  if (data == nullptr || data->dwData != kSecondLaunchTag || !on_launch_) {
    return 0;
  }
  const std::optional<SecondLaunch> launch =
      DecodeSecondLaunch(static_cast<const uint8_t*>(data->lpData), data->cbData);
  if (!launch) {
    return 0;
  }
  on_launch_(*launch);
  return kSecondLaunchAccepted;
}

LRESULT CALLBACK SessionInstances::ServingWindowProc(HWND hwnd,
                                                     UINT message,
                                                     WPARAM wparam,
                                                     LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  auto* self = reinterpret_cast<SessionInstances*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_COPYDATA && self != nullptr) {
    return self->OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lparam));
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

std::string CurrentDirectoryUtf8() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  if (length == 0) {
    return std::string();
  }
  std::wstring directory(length, L'\0');
  const DWORD written = GetCurrentDirectoryW(length, directory.data());
  if (written == 0 || written >= length) {
    return std::string();
  }
  directory.resize(written);
  return WideToUtf8(directory.c_str());
}

}  // namespace velora
