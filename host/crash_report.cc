#include "host/crash_report.h"

#include <cstdio>
#include <cwchar>

#include "host/pointer_format.h"

#ifdef _WIN32
#include <dbghelp.h>
#endif

namespace velora {

void WriteCrashReportLines(uint32_t code,
                           const void* address,
                           void* const* frames,
                           std::size_t frame_count,
                           CrashLineSink sink,
                           void* context) {
  char line[kCrashLineCapacity];
  char pointer[kPointerTextLength + 1];
  auto emit = [&](int written) {
    if (written < 0) {
      return;
    }
    const std::size_t length = static_cast<std::size_t>(written) < sizeof line
                                   ? static_cast<std::size_t>(written)
                                   : sizeof line - 1;
    sink(context, line, length);
  };

  FormatPointer(address, pointer);
  emit(std::snprintf(line, sizeof line, "EXCEPTION code=0x%08lx addr=%s\r\n",
                     static_cast<unsigned long>(code), pointer));
  const unsigned short count =
      static_cast<unsigned short>(frame_count < kMaxCrashFrames ? frame_count : kMaxCrashFrames);
  emit(std::snprintf(line, sizeof line, "STACK frames=%hu\r\n", count));
  for (unsigned short i = 0; i < count; ++i) {
    FormatPointer(frames != nullptr ? frames[i] : nullptr, pointer);
    emit(std::snprintf(line, sizeof line, "  #%hu %s\r\n", i, pointer));
  }
}

bool BuildCrashFilePath(const wchar_t* temp_dir,
                        const wchar_t* file_name,
                        wchar_t (&out)[kCrashPathCapacity]) {
  out[0] = L'\0';
  const std::size_t name_length = std::wcslen(file_name);
  const std::size_t dir_length = temp_dir != nullptr ? std::wcslen(temp_dir) : 0;
  if (dir_length + name_length + 1 > kCrashPathCapacity) {
    return false;
  }
  std::wmemcpy(out, temp_dir, dir_length);
  std::wmemcpy(out + dir_length, file_name, name_length + 1);
  return true;
}

#ifdef _WIN32

namespace {

// What the dump holds: every thread with its context, stack and times, the
// module list with each module's CodeView record, the faulting thread's
// exception, and the memory its stacks point into.
constexpr MINIDUMP_TYPE kDumpType =
    static_cast<MINIDUMP_TYPE>(MiniDumpWithIndirectlyReferencedMemory | MiniDumpWithThreadInfo);
// The dump of a stack overflow is written by a thread of its own stack.
constexpr SIZE_T kDumpThreadStack = SIZE_T{1024} * 1024;
// A dump thread that cannot run (its start waits on a lock the faulting
// thread holds) is given up on, and the process still ends.
constexpr DWORD kDumpThreadWaitMs = 30000;

// Who entered the filter first, for any later entry: a fault inside the
// filter itself (a dbghelp that fails on a module's debug information, say)
// or another thread's crash meanwhile.
volatile LONG filter_thread = 0;
volatile LONG dump_thread = 0;
volatile LONG first_code = 0;
// The dump being written, for a fault inside the writer to delete.
wchar_t dump_in_progress[kCrashPathCapacity] = {};

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE,
                                          DWORD,
                                          HANDLE,
                                          MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

struct DumpRequest {
  const wchar_t* path;
  EXCEPTION_POINTERS* exception;
  DWORD faulting_thread;
};

void WriteToFile(void* context, const char* line, std::size_t length) {
  DWORD written = 0;
  (void)WriteFile(static_cast<HANDLE>(context), line, static_cast<DWORD>(length), &written,
                  nullptr);  // a failed write still lets the remaining lines try
}

void WriteTextReport(const wchar_t* temp_dir,
                     const EXCEPTION_POINTERS* exception,
                     void* const* frames,
                     std::size_t frame_count) {
  wchar_t path[kCrashPathCapacity] = {};
  if (!BuildCrashFilePath(temp_dir, kCrashReportFileName, path)) {
    return;
  }
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  uint32_t code = 0;
  const void* address = nullptr;
  if (exception != nullptr && exception->ExceptionRecord != nullptr) {
    code = exception->ExceptionRecord->ExceptionCode;
    address = exception->ExceptionRecord->ExceptionAddress;
  }
  WriteCrashReportLines(code, address, frames, frame_count, WriteToFile, file);
  CloseHandle(file);
}

bool WriteDump(const DumpRequest& request) {
  // The system's own dbghelp, never a look-alike from the current
  // directory or PATH: it would run inside every crashing host.
  const HMODULE dbghelp = LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (dbghelp == nullptr) {
    return false;
  }
  const auto write_dump = reinterpret_cast<MiniDumpWriteDumpFn>(
      reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
  if (write_dump == nullptr) {
    return false;
  }
  // Shared for deletion, so that a dump given up on is deleted even while
  // its thread still holds it.
  const HANDLE file = CreateFileW(request.path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  (void)InterlockedExchange(&dump_thread, static_cast<LONG>(GetCurrentThreadId()));
  MINIDUMP_EXCEPTION_INFORMATION exception = {request.faulting_thread, request.exception, FALSE};
  const BOOL written =
      write_dump(GetCurrentProcess(), GetCurrentProcessId(), file, kDumpType,
                 request.exception != nullptr ? &exception : nullptr, nullptr, nullptr);
  CloseHandle(file);
  return written != FALSE;
}

DWORD WINAPI WriteDumpOnOwnStack(void* request) {
  return WriteDump(*static_cast<const DumpRequest*>(request)) ? 1 : 0;
}

void WriteCrashDump(const wchar_t* temp_dir, EXCEPTION_POINTERS* exception) {
  wchar_t path[kCrashPathCapacity] = {};
  if (!BuildCrashFilePath(temp_dir, kCrashDumpFileName, path)) {
    return;
  }
  // The last crash's dump goes first: whatever fails next, no dump of
  // another crash stays beside this report.
  (void)DeleteFileW(path);  // none there is fine
  std::wmemcpy(dump_in_progress, path, kCrashPathCapacity);
  DumpRequest request = {path, exception, GetCurrentThreadId()};
  bool written = false;
  if (exception != nullptr && exception->ExceptionRecord != nullptr &&
      exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    // The overflowed stack has the guarantee left and no more, too little
    // for dbghelp: the dump is written on a thread of its own.
    const HANDLE thread = CreateThread(nullptr, kDumpThreadStack, WriteDumpOnOwnStack, &request,
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread != nullptr) {
      DWORD result = 0;
      written = WaitForSingleObject(thread, kDumpThreadWaitMs) == WAIT_OBJECT_0 &&
                GetExitCodeThread(thread, &result) && result == 1;
      CloseHandle(thread);
    }
  } else {
    written = WriteDump(request);
  }
  if (!written) {
    (void)DeleteFileW(path);  // a cut dump would only mislead; none may be there
  }
  dump_in_progress[0] = L'\0';
}

// A second entry: a fault of the filter's own ends the process at once with
// the first crash's code, its report left as written and a half-written
// dump deleted; another thread's crash waits for the first filter, which
// ends the process.
void EndOnSecondEntry() {
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  if (self == filter_thread || self == dump_thread) {
    if (dump_in_progress[0] != L'\0') {
      (void)DeleteFileW(dump_in_progress);  // shared for deletion while the writer holds it
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(first_code));
  }
  Sleep(INFINITE);
}

}  // namespace

void InstallCrashFilter() {
  SetUnhandledExceptionFilter(WriteCrashReport);
  ULONG guarantee = kCrashStackGuarantee;
  // Without it a stack overflow may end the process before the filter has
  // written anything; there is nothing else to fall back on.
  (void)SetThreadStackGuarantee(&guarantee);
}

LONG WINAPI WriteCrashReport(EXCEPTION_POINTERS* exception) {
  if (InterlockedCompareExchange(&filter_thread, static_cast<LONG>(GetCurrentThreadId()), 0) != 0) {
    EndOnSecondEntry();
  }
  const LONG code = exception != nullptr && exception->ExceptionRecord != nullptr
                        ? static_cast<LONG>(exception->ExceptionRecord->ExceptionCode)
                        : 0;
  (void)InterlockedExchange(&first_code, code);
  void* frames[kMaxCrashFrames] = {};
  const USHORT captured = RtlCaptureStackBackTrace(0, kMaxCrashFrames, frames, nullptr);
  wchar_t temp_dir[kCrashPathCapacity] = {};
  const DWORD length = GetTempPathW(static_cast<DWORD>(kCrashPathCapacity), temp_dir);
  if (length == 0) {
    return EXCEPTION_EXECUTE_HANDLER;
  }
  if (length >= kCrashPathCapacity) {
    // The directory did not fit: both files go to their bare names in the
    // current directory.
    temp_dir[0] = L'\0';
  }
  // The report first: the dump may fail in ways the report cannot.
  WriteTextReport(temp_dir, exception, frames, captured);
  WriteCrashDump(temp_dir, exception);
  return EXCEPTION_EXECUTE_HANDLER;
}

#endif

}  // namespace velora
