// Starting the host executable as a child process and finding its window;
// used by the run command's launcher and by the end-to-end tests.
#ifndef VELORA_TOOLS_HOST_PROCESS_H_
#define VELORA_TOOLS_HOST_PROCESS_H_

#include <windows.h>

#include <string>
#include <vector>

namespace velora::tools {

// The folder of the running binary, where the executable and the stand-in
// DLLs are.
std::wstring BinaryDir();

// The host executable as a child process.
class HostProcess {
 public:
  // Starts velora.exe from BinaryDir() with the given extra arguments
  // (already quoted) and environment additions ("NAME=value"). With a
  // `stderr_path`, the child's standard output and error go to that file.
  // It runs in `working_directory`, or in BinaryDir() when that is empty.
  HostProcess(const std::wstring& arguments,
              const std::vector<std::wstring>& environment,
              const std::wstring& stderr_path = std::wstring(),
              const std::wstring& working_directory = std::wstring());
  ~HostProcess();

  bool started() const { return process_ != nullptr; }
  unsigned long pid() const { return pid_; }
  // The process's top-level window of the given class, waiting up to
  // `timeout_ms` for it to appear; null if it never does.
  HWND WaitForWindow(const wchar_t* class_name, DWORD timeout_ms) const;
  // Waits for the process to end; returns its exit code, or -1 on timeout.
  long WaitForExit(DWORD timeout_ms);
  // Ends it at once, as the task manager would, and waits until it is gone.
  void Terminate(unsigned exit_code);

 private:
  HANDLE process_ = nullptr;
  unsigned long pid_ = 0;
};

}  // namespace velora::tools

#endif  // VELORA_TOOLS_HOST_PROCESS_H_
