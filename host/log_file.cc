#include "host/log_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velora {

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

// Full sharing, as the C runtime's append mode would open it: other
// writers, readers, a rename and a deletion of the log are never blocked.
HANDLE OpenShared(const wchar_t* path, DWORD disposition) {
  return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Seeking to the end and writing are two steps, so concurrent writers
// (threads, or other instances of the program) take turns on a lock of one
// byte far past any data; it goes with the handle at the latest.
OVERLAPPED LockRange() {
  OVERLAPPED range = {};
  range.Offset = 0xFFFFFFFFu;
  range.OffsetHigh = 0x7FFFFFFFu;
  return range;
}

// Whether the open `file` is still the one named `path` (another start-up
// may have renamed it meanwhile).
bool StillNamed(HANDLE file, const wchar_t* path) {
  HANDLE named = CreateFileW(path, FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION held = {};
  BY_HANDLE_FILE_INFORMATION found = {};
  const bool same = GetFileInformationByHandle(file, &held) != 0 &&
                    GetFileInformationByHandle(named, &found) != 0 &&
                    held.dwVolumeSerialNumber == found.dwVolumeSerialNumber &&
                    held.nFileIndexHigh == found.nFileIndexHigh &&
                    held.nFileIndexLow == found.nFileIndexLow;
  CloseHandle(named);
  return same;
}

}  // namespace

void AppendLogLine(const wchar_t* path, unsigned long pid, unsigned long tid,
                   const char* message) {
  const std::string line = FormatLogLine(pid, tid, message);
  HANDLE file = OpenShared(path, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  // The lock is held for the seek and the single write of the whole line;
  // past a bounded wait the line is written without it.
  OVERLAPPED lock_range = LockRange();
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

bool RotateLogFile(const wchar_t* path, const wchar_t* old_path, std::uint64_t limit_bytes) {
  HANDLE file = OpenShared(path, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  // Under the writers' lock no line is half written, and a second start-up
  // waits here until this one has renamed the log; it then finds its handle
  // on the old generation and leaves it.
  OVERLAPPED lock_range = LockRange();
  bool rotated = false;
  if (LockForAppend(file, &lock_range)) {
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && static_cast<std::uint64_t>(size.QuadPart) > limit_bytes &&
        StillNamed(file, path)) {
      rotated = MoveFileExW(path, old_path, MOVEFILE_REPLACE_EXISTING) != 0;
    }
    (void)UnlockFileEx(file, 0, 1, 0, &lock_range);
  }
  CloseHandle(file);
  return rotated;
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

bool RotateLogFile(const char* path, const char* old_path, std::uint64_t limit_bytes) {
  const int file = open(path, O_RDONLY | O_CLOEXEC);
  if (file < 0) {
    return false;
  }
  // Appends need no lock here; the lock keeps a second start-up from
  // renaming the next log over this generation.
  bool rotated = false;
  if (flock(file, LOCK_EX) == 0) {
    struct stat held = {};
    struct stat named = {};
    if (fstat(file, &held) == 0 && stat(path, &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino && static_cast<std::uint64_t>(held.st_size) > limit_bytes) {
      rotated = std::rename(path, old_path) == 0;
    }
    (void)flock(file, LOCK_UN);
  }
  close(file);
  return rotated;
}
#endif

namespace {

// The path of a log in this process's temporary directory; false (nothing
// to write) when there is no such directory or the path does not fit.
bool TempLogPath(const char* file_name, LogPathChar (&path)[kLogPathCapacity]) {
  LogPathChar temp_dir[kLogPathCapacity] = {};
#ifdef _WIN32
  const DWORD length = GetTempPathW(kLogPathCapacity, temp_dir);
  if (length == 0 || length >= kLogPathCapacity) {
    return false;
  }
#else
  const char* tmp = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe): no setenv here
  if (tmp == nullptr || *tmp == '\0') {
    tmp = "/tmp";
  }
  if (std::snprintf(temp_dir, sizeof temp_dir, "%s/", tmp) >= static_cast<int>(sizeof temp_dir)) {
    return false;
  }
#endif
  return BuildLogPath(temp_dir, file_name, path);
}

void WriteLog(const char* file_name, const char* message) {
  LogPathChar path[kLogPathCapacity];
  if (!TempLogPath(file_name, path)) {
    return;
  }
#ifdef _WIN32
  // Thread first, then process, as the platform calls are ordered.
  const unsigned long tid = GetCurrentThreadId();
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long tid = static_cast<unsigned long>(syscall(SYS_gettid));
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  AppendLogLine(path, pid, tid, message);
}

void RotateLog(const char* file_name, const char* old_file_name) {
  LogPathChar path[kLogPathCapacity];
  LogPathChar old_path[kLogPathCapacity];
  if (TempLogPath(file_name, path) && TempLogPath(old_file_name, old_path)) {
    (void)RotateLogFile(path, old_path, kLogRotationBytes);
  }
}

}  // namespace

void RotateLogs() {
  RotateLog(kRunLogFileName, kRunLogOldFileName);
  RotateLog(kGpuPluginLogFileName, kGpuPluginLogOldFileName);
}

void WriteRunLog(const char* message) {
  WriteLog(kRunLogFileName, message);
}

void WriteGpuPluginLog(const char* message) {
  WriteLog(kGpuPluginLogFileName, message);
}

}  // namespace velora
