// Append-only text logs in the temporary directory: the run log and the GPU
// plugin log share one procedure that differs only in the file name.
#ifndef VELORA_HOST_LOG_FILE_H_
#define VELORA_HOST_LOG_FILE_H_

#include <cstddef>
#include <string>

namespace velora {

// Both buffers the platform calls work with hold 260 bytes, terminator included.
constexpr std::size_t kLogPathCapacity = 260;

constexpr char kRunLogFileName[] = "velora_runner.log";
constexpr char kGpuPluginLogFileName[] = "velora_gpu_texture_plugin.log";

// Joins the temporary directory (as the platform gives it, ending in a
// separator) and the file name into `out`. Returns false, leaving `out` an
// empty string, when the joined path and its terminator do not fit.
bool BuildLogPath(const char* temp_dir, const char* file_name, char (&out)[kLogPathCapacity]);

#ifdef _WIN32
constexpr char kLogLineEnd[] = "\r\n";
#else
constexpr char kLogLineEnd[] = "\n";
#endif

// "[pid=%lu tid=%lu] %s\n" as text mode writes it, every line feed as
// kLogLineEnd; a null message is written as "(null)".
std::string FormatLogLine(unsigned long pid, unsigned long tid, const char* message);

// Appends the formatted line to the file at `path` as one write, opening and
// closing it for this one line. Concurrent writers, in this process or
// another, never overwrite or tear each other's lines: on Windows the file's
// own lock is held across the seek to the end and the write. A lock that
// nobody uses for a quarter of a second (a holder that is stuck), or that
// stays taken for two seconds, is not waited for: the line is then written
// without it. Failures are silent: logging never stops or stalls the
// program.
void AppendLogLine(const char* path, unsigned long pid, unsigned long tid, const char* message);

// Appends one line to the run log / the GPU plugin log in the temporary
// directory of the current process, with its own process and thread ids.
void WriteRunLog(const char* message);
void WriteGpuPluginLog(const char* message);

}  // namespace velora

#endif  // VELORA_HOST_LOG_FILE_H_
