// Helpers for tests that run under Windows (Wine): the logs in the temporary
// directory, message pumping, and launching the host executable.
#ifndef VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_
#define VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velora::test {

// Full path of a file in the temporary directory, as the host builds it.
std::string TempFilePath(const char* file_name);

// The whole content of a file, bytes as they are ("" if absent).
std::string ReadBinaryFile(const std::string& path);

// Messages of the lines "[pid=P tid=T] message\r\n" of one process, in
// order; a line without CR LF is returned with a "<no CRLF>" suffix so that
// a wrong line end fails any comparison.
std::vector<std::string> LogLinesOf(const char* file_name, unsigned long pid);

// Dispatches every pending message of this thread.
void PumpMessages();

// A directory next to the running test binary (where the executable and the
// stand-in DLLs are).
std::wstring BinaryDir();

// The host executable as a child process.
class HostProcess {
 public:
  // Starts velora.exe from BinaryDir() with the given extra arguments
  // (already quoted) and environment additions ("NAME=value").
  HostProcess(const std::wstring& arguments, const std::vector<std::wstring>& environment);
  ~HostProcess();

  bool started() const { return process_ != nullptr; }
  unsigned long pid() const { return pid_; }
  // The process's top-level window of the given class, waiting up to
  // `timeout_ms` for it to appear; null if it never does.
  HWND WaitForWindow(const wchar_t* class_name, DWORD timeout_ms) const;
  // Waits for the process to end; returns its exit code, or -1 on timeout.
  long WaitForExit(DWORD timeout_ms);

 private:
  HANDLE process_ = nullptr;
  unsigned long pid_ = 0;
};

}  // namespace velora::test

#endif  // VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_
