// Launcher of the run command: starts the host executable beside it, lets it
// run (for a set time, or until the user closes it), closes its window the
// way a user would and passes its exit code on.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "tools/host_process.h"

namespace {

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";

std::wstring Quote(const wchar_t* argument) {
  std::wstring quoted = L"\"";
  for (const wchar_t* p = argument; *p != L'\0'; ++p) {
    if (*p == L'"') {
      quoted += L'\\';
    }
    quoted += *p;
  }
  return quoted + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  long seconds = -1;
  std::wstring arguments;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--seconds") == 0 && i + 1 < argc) {
      seconds = std::wcstol(argv[++i], nullptr, 10);
      continue;
    }
    arguments += (arguments.empty() ? L"" : L" ") + Quote(argv[i]);
  }

  velora::tools::HostProcess host(arguments, {});
  if (!host.started()) {
    std::fprintf(stderr, "run_host: could not start velora.exe\n");
    return 2;
  }
  const HWND window = host.WaitForWindow(kClassName, 20000);
  std::printf("run_host: host started (pid %lu)%s\n", host.pid(),
              window != nullptr ? "" : ", but no window appeared");
  std::fflush(stdout);
  if (seconds < 0) {
    const long code = host.WaitForExit(INFINITE);
    std::printf("run_host: host exited with %ld\n", code);
    return static_cast<int>(code);
  }
  long code = host.WaitForExit(static_cast<DWORD>(seconds) * 1000);
  if (code == -1 && window != nullptr) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    code = host.WaitForExit(20000);
  }
  std::printf("run_host: host exited with %ld\n", code);
  return static_cast<int>(code);
}
