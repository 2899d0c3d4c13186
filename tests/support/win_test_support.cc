#include "tests/support/win_test_support.h"

#include <fstream>
#include <sstream>

#include "host/log_file.h"

namespace velora::test {

std::string TempFilePath(const char* file_name) {
  char dir[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + file_name;
}

std::string ReadBinaryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> LogLinesOf(const char* file_name, unsigned long pid) {
  const std::string content = ReadBinaryFile(TempFilePath(file_name));
  const std::string prefix = "[pid=" + std::to_string(pid) + " tid=";
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) {
      end = content.size();
    }
    std::string line = content.substr(start, end - start);
    start = end + 1;
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) {
      line.pop_back();
    }
    if (line.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    const size_t text = line.find("] ");
    std::string message = text == std::string::npos ? line : line.substr(text + 2);
    lines.push_back(crlf ? message : message + "<no CRLF>");
  }
  return lines;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

std::wstring BinaryDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/"));
}

HostProcess::HostProcess(const std::wstring& arguments,
                         const std::vector<std::wstring>& environment) {
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
  PROCESS_INFORMATION info = {};
  std::vector<wchar_t> command_line(command.begin(), command.end());
  command_line.push_back(L'\0');
  if (CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                     CREATE_UNICODE_ENVIRONMENT, block.data(), BinaryDir().c_str(), &startup,
                     &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
  }
}

HostProcess::~HostProcess() {
  if (process_ != nullptr) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_, 99);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
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

}  // namespace velora::test
