// The process's unhandled-exception filter: a short text report (code,
// address, raw stack) in the temporary directory, then a minidump beside it
// for a debugger (with the module list that turns the report's addresses
// into functions), and the process ends without the system's crash dialog.
#ifndef VELORA_HOST_CRASH_REPORT_H_
#define VELORA_HOST_CRASH_REPORT_H_

#include <cstddef>
#include <cstdint>

namespace velora {

constexpr wchar_t kCrashReportFileName[] = L"velora_crash.txt";
constexpr wchar_t kCrashDumpFileName[] = L"velora_crash.dmp";
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

// Joins the temporary directory and a crash file's name into `out`. False,
// and nothing written past the buffer, when they do not fit.
bool BuildCrashFilePath(const wchar_t* temp_dir,
                        const wchar_t* file_name,
                        wchar_t (&out)[kCrashPathCapacity]);

}  // namespace velora

#ifdef _WIN32
#include <windows.h>

namespace velora {

// The stack the filter keeps for itself on the main thread, for a stack
// overflow: enough for the text report and for starting the thread that
// writes the dump.
constexpr ULONG kCrashStackGuarantee = 64 * 1024;

// Installs WriteCrashReport as the unhandled-exception filter and keeps
// kCrashStackGuarantee of the calling thread's stack for it.
void InstallCrashFilter();

// Writes the text report, then the dump; each crash replaces both files (a
// dump that cannot be written leaves none, never a stale one). Always
// answers EXCEPTION_EXECUTE_HANDLER, whatever could be written.
LONG WINAPI WriteCrashReport(EXCEPTION_POINTERS* exception);

}  // namespace velora
#endif

#endif  // VELORA_HOST_CRASH_REPORT_H_
