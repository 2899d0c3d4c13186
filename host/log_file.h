// Append-only text logs in the temporary directory: the run log and the GPU
// plugin log share one procedure that differs only in the file name. At
// start-up a log that has grown large becomes the one old generation kept
// beside it.
#ifndef VELORA_HOST_LOG_FILE_H_
#define VELORA_HOST_LOG_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace velora {

// Both buffers the platform calls work with hold 260 characters, terminator
// included.
constexpr std::size_t kLogPathCapacity = 260;

constexpr char kRunLogFileName[] = "velora_runner.log";
constexpr char kGpuPluginLogFileName[] = "velora_gpu_texture_plugin.log";
// The previous generation of each log.
constexpr char kRunLogOldFileName[] = "velora_runner.old.log";
constexpr char kGpuPluginLogOldFileName[] = "velora_gpu_texture_plugin.old.log";

// A log larger than this at start-up is moved to its old generation.
constexpr std::uint64_t kLogRotationBytes = std::uint64_t{4} << 20;

// Paths are wide on Windows, so that a temporary directory outside the ANSI
// code page (a user name in another script) still takes the logs.
#ifdef _WIN32
using LogPathChar = wchar_t;
#else
using LogPathChar = char;
#endif

// Joins the temporary directory (as the platform gives it, ending in a
// separator) and the file name (ASCII) into `out`. Returns false, leaving
// `out` an empty string, when the joined path and its terminator do not fit.
template <typename Char>
bool BuildLogPath(const Char* temp_dir, const char* file_name, Char (&out)[kLogPathCapacity]) {
  out[0] = Char{};
  if (temp_dir == nullptr || file_name == nullptr) {
    return false;
  }
  const std::size_t dir_len = std::char_traits<Char>::length(temp_dir);
  const std::size_t name_len = std::char_traits<char>::length(file_name);
  if (dir_len >= kLogPathCapacity || name_len >= kLogPathCapacity - dir_len) {
    return false;
  }
  std::char_traits<Char>::copy(out, temp_dir, dir_len);
  for (std::size_t i = 0; i <= name_len; ++i) {
    out[dir_len + i] = static_cast<Char>(static_cast<unsigned char>(file_name[i]));
  }
  return true;
}

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
void AppendLogLine(const LogPathChar* path, unsigned long pid, unsigned long tid,
                   const char* message);

// Renames the log at `path` to `old_path`, replacing an older generation
// there, when it holds more than `limit_bytes`; true when it did. It takes
// the writers' lock (never going on without it), so two start-ups never
// rotate one log twice. A writer that opened the log just before the rename
// puts its line at the end of the old generation: no line is lost. Failures
// (a missing log, a reader that does not share deletion) leave the log as it
// is.
bool RotateLogFile(const LogPathChar* path, const LogPathChar* old_path,
                   std::uint64_t limit_bytes);

// Rotates the run log and the GPU plugin log in the temporary directory of
// the current process at kLogRotationBytes; called once at start-up, before
// the run's first line.
void RotateLogs();

// Appends one line to the run log / the GPU plugin log in the temporary
// directory of the current process, with its own process and thread ids.
void WriteRunLog(const char* message);
void WriteGpuPluginLog(const char* message);

}  // namespace velora

#endif  // VELORA_HOST_LOG_FILE_H_
