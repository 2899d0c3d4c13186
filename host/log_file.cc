#include "host/log_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
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

void AppendLogLine(const char* path, unsigned long pid, unsigned long tid, const char* message) {
  std::FILE* file = nullptr;
#ifdef _WIN32
  if (fopen_s(&file, path, "a") != 0) {
    return;
  }
#else
  file = std::fopen(path, "a");
#endif
  if (file == nullptr) {
    return;
  }
  std::fprintf(file, "[pid=%lu tid=%lu] %s\n", pid, tid, message != nullptr ? message : "(null)");
  std::fclose(file);
}

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
  const char* tmp = std::getenv("TMPDIR");
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
