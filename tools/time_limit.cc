// Runs a program under a time limit, for the test kit's runner on machines
// without CMake or PowerShell:
//   time_limit SECONDS PROGRAM [ARGUMENTS...]
// The program and every process it starts share a job. When the limit
// passes, the whole job is ended, a line on standard error says so, and the
// exit code is kTimedOut; otherwise it is the program's own. The program's
// arguments are passed on exactly as written here, quotes and all.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

// WAIT_TIMEOUT: the platform's own code for a wait that ran out.
constexpr DWORD kTimedOut = 258;
constexpr int kUsage = 2;

const wchar_t* SkipSpaces(const wchar_t* p) {
  while (*p == L' ' || *p == L'\t') {
    ++p;
  }
  return p;
}

// The command line after this program's name and the limit. The name is
// read as the platform reads it (up to the closing quote, or to a space);
// the limit is digits only, checked by the caller.
const wchar_t* AfterTwoArguments(const wchar_t* line) {
  const wchar_t* p = line;
  if (*p == L'"') {
    p = std::wcschr(p + 1, L'"');
    p = p == nullptr ? line + std::wcslen(line) : p + 1;
  }
  while (*p != L'\0' && *p != L' ' && *p != L'\t') {
    ++p;
  }
  p = SkipSpaces(p);
  while (*p != L'\0' && *p != L' ' && *p != L'\t') {
    ++p;
  }
  return SkipSpaces(p);
}

bool ParseSeconds(const wchar_t* text, DWORD* seconds) {
  if (*text == L'\0' || std::wcslen(text) > 6) {
    return false;
  }
  DWORD value = 0;
  for (const wchar_t* p = text; *p != L'\0'; ++p) {
    if (!std::iswdigit(*p)) {
      return false;
    }
    value = value * 10 + static_cast<DWORD>(*p - L'0');
  }
  *seconds = value;
  return value > 0;
}

// A job whose processes all end when its last handle closes: if this
// program is itself ended, nothing it started lives on.
HANDLE MakeJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) {
    return nullptr;
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD seconds = 0;
  if (argc < 3 || !ParseSeconds(argv[1], &seconds)) {
    std::fwprintf(stderr, L"usage: time_limit SECONDS PROGRAM [ARGUMENTS...]\n");
    return kUsage;
  }
  const wchar_t* rest = AfterTwoArguments(GetCommandLineW());
  std::vector<wchar_t> command(rest, rest + std::wcslen(rest) + 1);

  // Without a job (one the platform refuses to nest, say) only the program
  // itself can be ended; it still is.
  HANDLE job = MakeJob();
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"time_limit: cannot start %ls (error %lu)\n", argv[2], GetLastError());
    if (job != nullptr) {
      CloseHandle(job);
    }
    return kUsage;
  }
  if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);

  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, seconds * 1000) == WAIT_TIMEOUT) {
    if (job != nullptr) {
      TerminateJobObject(job, kTimedOut);
    }
    TerminateProcess(process.hProcess, kTimedOut);
    WaitForSingleObject(process.hProcess, 10000);
    std::fwprintf(stderr, L"time_limit: %ls still ran after %lu s and was ended\n", argv[2],
                  seconds);
    code = kTimedOut;
  } else if (!GetExitCodeProcess(process.hProcess, &code)) {
    code = kUsage;
  }
  CloseHandle(process.hProcess);
  if (job != nullptr) {
    CloseHandle(job);
  }
  return static_cast<int>(code);
}
