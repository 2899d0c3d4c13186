#include "host/log_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velora {

bool BuildLogPath(const char* temp_dir, const char* file_name, char (&out)[kLogPathCapacity]) {
  out[0] = '\0';
  if (temp_dir == nullptr || file_name == nullptr) {
    return false;
  }
  const std::size_t dir_len = std::strlen(temp_dir);
  const std::size_t name_len = std::strlen(file_name);
  if (dir_len >= kLogPathCapacity || name_len >= kLogPathCapacity - dir_len) {
    return false;
  }
  std::memcpy(out, temp_dir, dir_len);
  std::memcpy(out + dir_len, file_name, name_len + 1);
  return true;
}

std::string FormatLogLine(unsigned long pid, unsigned long tid, const char* message) {
  char prefix[64];
  const int prefix_length = std::snprintf(prefix, sizeof prefix, "[pid=%lu tid=%lu] ", pid, tid);
  const char* text = message != nullptr ? message : "(null)";
  std::string line;
  line.reserve(static_cast<std::size_t>(prefix_length) + std::strlen(text) + 2);
  line.append(prefix, static_cast<std::size_t>(prefix_length));
  // Text mode: every line feed, the message's own included, reaches the file
  // as the platform's line end.
  for (const char* c = text;; ++c) {
    if (*c == '\n' || *c == '\0') {
      line.append(kLogLineEnd);
      if (*c == '\0') {
        break;
      }
    } else {
      line.push_back(*c);
    }
  }
  return line;
}

#ifdef _WIN32
namespace {

// How long a writer waits for the lock. A holder that never lets go (a
// process stopped in a debugger between lock and unlock) must not stall the
// caller, which may be the UI thread or a renderer's: after a quarter of a
// second in which no writer got a line out, the line goes out without the
// lock. While others do get theirs out the wait goes on, up to a cap, so
// that busy writers do not push each other past the lock.
constexpr ULONGLONG kStalledLockMilliseconds = 250;
constexpr ULONGLONG kLongestLockWaitMilliseconds = 2000;

bool LockForAppend(HANDLE file, OVERLAPPED* range) {
  const ULONGLONG start = GetTickCount64();
  ULONGLONG progress_at = start;
  LARGE_INTEGER seen_size = {};
  (void)GetFileSizeEx(file, &seen_size);
  for (int attempt = 0;; ++attempt) {
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, range)) {
      return true;
    }
    const ULONGLONG now = GetTickCount64();
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart != seen_size.QuadPart) {
      seen_size = size;
      progress_at = now;
    }
    if (now - progress_at >= kStalledLockMilliseconds ||
        now - start >= kLongestLockWaitMilliseconds) {
      return false;
    }
    // Lines take a fraction of a millisecond: yield first, then sleep.
    if (attempt < 16) {
      (void)SwitchToThread();
    } else {
      Sleep(1);
    }
  }
}

}  // namespace

void AppendLogLine(const char* path, unsigned long pid, unsigned long tid, const char* message) {
  const std::string line = FormatLogLine(pid, tid, message);
  // Full sharing, as the C runtime's append mode would open it: other
  // writers, readers and a deletion of the log are never blocked.
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  // Seeking to the end and writing are two steps, so concurrent writers
  // (threads, or other instances of the program) take turns on a lock of one
  // byte far past any data; it is held for the seek and the single write of
  // the whole line, and goes with the handle at the latest. Past a bounded
  // wait the line is written without it.
  OVERLAPPED lock_range = {};
  lock_range.Offset = 0xFFFFFFFFu;
  lock_range.OffsetHigh = 0x7FFFFFFFu;
  const bool locked = LockForAppend(file, &lock_range);
  LARGE_INTEGER end = {};
  if (SetFilePointerEx(file, end, nullptr, FILE_END)) {
    DWORD written = 0;
    (void)WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  if (locked) {
    (void)UnlockFileEx(file, 0, 1, 0, &lock_range);
  }
  CloseHandle(file);
}
#else
void AppendLogLine(const char* path, unsigned long pid, unsigned long tid, const char* message) {
  const std::string line = FormatLogLine(pid, tid, message);
  // O_APPEND moves to the end and writes as one step.
  const int file = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (file < 0) {
    return;
  }
  (void)!write(file, line.data(), line.size());
  close(file);
}
#endif

namespace {

void WriteLog(const char* file_name, const char* message) {
  char temp_dir[kLogPathCapacity] = {};
#ifdef _WIN32
  const DWORD length = GetTempPathA(kLogPathCapacity, temp_dir);
  if (length == 0 || length >= kLogPathCapacity) {
    return;
  }
  // Thread first, then process, as the platform calls are ordered.
  const unsigned long tid = GetCurrentThreadId();
  const unsigned long pid = GetCurrentProcessId();
#else
  const char* tmp = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe): no setenv here
  if (tmp == nullptr || *tmp == '\0') {
    tmp = "/tmp";
  }
  if (std::snprintf(temp_dir, sizeof temp_dir, "%s/", tmp) >= static_cast<int>(sizeof temp_dir)) {
    return;
  }
  const unsigned long tid = static_cast<unsigned long>(syscall(SYS_gettid));
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  char path[kLogPathCapacity];
  if (!BuildLogPath(temp_dir, file_name, path)) {
    return;
  }
  AppendLogLine(path, pid, tid, message);
}

}  // namespace

void WriteRunLog(const char* message) {
  WriteLog(kRunLogFileName, message);
}

void WriteGpuPluginLog(const char* message) {
  WriteLog(kGpuPluginLogFileName, message);
}

}  // namespace velora
