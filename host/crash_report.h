// The process's unhandled-exception filter: a short text report (code,
// address, raw stack) in the temporary directory, then the process ends
// without the system's crash dialog.
#ifndef VELORA_HOST_CRASH_REPORT_H_
#define VELORA_HOST_CRASH_REPORT_H_

#include <cstddef>
#include <cstdint>

namespace velora {

constexpr wchar_t kCrashReportFileName[] = L"velora_crash.txt";
// The platform's path buffers: 260 wide characters, terminator included.
constexpr std::size_t kCrashPathCapacity = 260;
constexpr int kMaxCrashFrames = 32;
constexpr std::size_t kCrashLineCapacity = 512;

// Receives each report line with its length (no terminator).
using CrashLineSink = void (*)(void* context, const char* line, std::size_t length);

// The report's lines, CR LF each: "EXCEPTION code=0x%08lx addr=<pointer>",
// "STACK frames=%hu", then "  #%hu <pointer>" per frame, pointers as 16
// upper-case digits. At most 32 frames are written. Uses no heap, so it is
// safe in a crashing process.
void WriteCrashReportLines(uint32_t code,
                           const void* address,
                           void* const* frames,
                           std::size_t frame_count,
                           CrashLineSink sink,
                           void* context);

// Joins the temporary directory and the file name into `out`. False, and
// nothing written past the buffer, when they do not fit.
bool BuildCrashReportPath(const wchar_t* temp_dir, wchar_t (&out)[kCrashPathCapacity]);

}  // namespace velora

#ifdef _WIN32
#include <windows.h>

namespace velora {

// Always answers EXCEPTION_EXECUTE_HANDLER, report written or not.
LONG WINAPI WriteCrashReport(EXCEPTION_POINTERS* exception);

}  // namespace velora
#endif

#endif  // VELORA_HOST_CRASH_REPORT_H_
