#include "host/crash_report.h"

#include <cstdio>
#include <cwchar>

#include "host/pointer_format.h"

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

bool BuildCrashReportPath(const wchar_t* temp_dir, wchar_t (&out)[kCrashPathCapacity]) {
  out[0] = L'\0';
  const std::size_t name_length = std::wcslen(kCrashReportFileName);
  const std::size_t dir_length = temp_dir != nullptr ? std::wcslen(temp_dir) : 0;
  if (dir_length + name_length + 1 > kCrashPathCapacity) {
    return false;
  }
  std::wmemcpy(out, temp_dir, dir_length);
  std::wmemcpy(out + dir_length, kCrashReportFileName, name_length + 1);
  return true;
}

#ifdef _WIN32

namespace {

void WriteToFile(void* context, const char* line, std::size_t length) {
  DWORD written = 0;
  (void)WriteFile(static_cast<HANDLE>(context), line, static_cast<DWORD>(length), &written,
                  nullptr);  // a failed write still lets the remaining lines try
}

}  // namespace

LONG WINAPI WriteCrashReport(EXCEPTION_POINTERS* exception) {
  wchar_t temp_dir[kCrashPathCapacity] = {};
  const DWORD length = GetTempPathW(static_cast<DWORD>(kCrashPathCapacity), temp_dir);
  if (length == 0) {
    return EXCEPTION_EXECUTE_HANDLER;
  }
  if (length >= kCrashPathCapacity) {
    // The directory did not fit: the report goes to the bare name in the
    // current directory.
    temp_dir[0] = L'\0';
  }
  wchar_t path[kCrashPathCapacity] = {};
  if (!BuildCrashReportPath(temp_dir, path)) {
    return EXCEPTION_EXECUTE_HANDLER;
  }
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return EXCEPTION_EXECUTE_HANDLER;
  }
  uint32_t code = 0;
  const void* address = nullptr;
  if (exception != nullptr && exception->ExceptionRecord != nullptr) {
    code = exception->ExceptionRecord->ExceptionCode;
    address = exception->ExceptionRecord->ExceptionAddress;
  }
  void* frames[kMaxCrashFrames] = {};
  const USHORT captured = RtlCaptureStackBackTrace(0, kMaxCrashFrames, frames, nullptr);
  WriteCrashReportLines(code, address, frames, captured, WriteToFile, file);
  CloseHandle(file);
  return EXCEPTION_EXECUTE_HANDLER;
}

#endif

}  // namespace velora
