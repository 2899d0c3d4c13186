#include "tools/host_process.h"

#include <cwchar>

namespace velora::tools {

std::wstring BinaryDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/"));
}

HostProcess::HostProcess(const std::wstring& arguments,
                         const std::vector<std::wstring>& environment,
                         const std::wstring& stderr_path,
                         const std::wstring& working_directory) {
  const std::wstring exe = BinaryDir() + L"\\velora.exe";
  std::wstring command = L"\"" + exe + L"\"";
  if (!arguments.empty()) {
    command += L" " + arguments;
  }
  // The child's environment: ours plus the additions.
  std::wstring block;
  if (wchar_t* current = GetEnvironmentStringsW()) {
    for (const wchar_t* p = current; *p != L'\0'; p += wcslen(p) + 1) {
      block.append(p).push_back(L'\0');
    }
    FreeEnvironmentStringsW(current);
  }
  for (const std::wstring& entry : environment) {
    block.append(entry).push_back(L'\0');
  }
  block.push_back(L'\0');

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!stderr_path.empty()) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    output = CreateFileW(stderr_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output != INVALID_HANDLE_VALUE) {
      startup.dwFlags |= STARTF_USESTDHANDLES;
      startup.hStdInput = nullptr;
      startup.hStdOutput = output;
      startup.hStdError = output;
    }
  }
  PROCESS_INFORMATION info = {};
  std::vector<wchar_t> command_line(command.begin(), command.end());
  command_line.push_back(L'\0');
  const BOOL created = CreateProcessW(
      exe.c_str(), command_line.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE,
      CREATE_UNICODE_ENVIRONMENT, block.data(),
      working_directory.empty() ? BinaryDir().c_str() : working_directory.c_str(), &startup, &info);
  if (output != INVALID_HANDLE_VALUE) {
    CloseHandle(output);
  }
  if (created) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
  }
}

HostProcess::~HostProcess() {
  if (process_ != nullptr) {
    Terminate(99);
    CloseHandle(process_);
  }
}

void HostProcess::Terminate(unsigned exit_code) {
  if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, exit_code);
    WaitForSingleObject(process_, 5000);
  }
}

namespace {

struct WindowSearch {
  unsigned long pid;
  const wchar_t* class_name;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  if (pid == search->pid && wcscmp(name, search->class_name) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND HostProcess::WaitForWindow(const wchar_t* class_name, DWORD timeout_ms) const {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  do {
    WindowSearch search{pid_, class_name, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      return search.found;
    }
    if (WaitForSingleObject(process_, 20) != WAIT_TIMEOUT) {
      return nullptr;
    }
  } while (GetTickCount64() < deadline);
  return nullptr;
}

long HostProcess::WaitForExit(DWORD timeout_ms) {
  if (WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return static_cast<long>(code);
}

}  // namespace velora::tools
