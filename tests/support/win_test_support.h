// Helpers for tests that run under Windows (Wine): the logs in the temporary
// directory and message pumping.
#ifndef VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_
#define VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/host_process.h"

namespace velora::test {

// Full path of a file in the temporary directory, as the host builds it
// (wide: the directory may be outside the ANSI code page).
std::filesystem::path TempFilePath(const char* file_name);

// The whole content of a file, bytes as they are ("" if absent).
std::string ReadBinaryFile(const std::filesystem::path& path);

// Where a log in the temporary directory ended, and which file it was: a
// host that starts may move a large log to its old generation, and what it
// appends is then the rest of that generation and the new log.
struct LogMark {
  bool existed = false;
  std::uint64_t size = 0;
  std::uint64_t file_id = 0;
};
// The default mark stands for an empty log: everything is new.
LogMark MarkLog(const char* file_name);
// The bytes appended to the log since `mark`.
std::string LogSince(const char* file_name, const LogMark& mark);
// Whether the log marked has become the old generation since.
bool RotatedSince(const char* file_name, const LogMark& mark);

// Messages of the lines "[pid=P tid=T] message\r\n" of one process, in
// order; a line without CR LF is returned with a "<no CRLF>" suffix so that
// a wrong line end fails any comparison.
// Only what was appended since `mark` is read.
std::vector<std::string> LogLinesOf(const char* file_name,
                                    unsigned long pid,
                                    const LogMark& mark = LogMark());

// The messages of the lines of one process in `content` (as LogLinesOf).
std::vector<std::string> LogLinesIn(const std::string& content, unsigned long pid);

// A folder in `parent` whose name the ANSI code page cannot spell (a user
// name in another script), made if absent; returned with a separator at the
// end, as the temporary directory is given.
std::wstring ForeignScriptFolderIn(const std::filesystem::path& parent);

// Points TMP and TEMP (and so the temporary directory of this process and
// of the processes it starts) at `folder` for the object's lifetime.
class TempVariables {
 public:
  explicit TempVariables(const std::wstring& folder);
  explicit TempVariables(const std::string& folder)
      : TempVariables(std::wstring(folder.begin(), folder.end())) {}
  ~TempVariables();
  TempVariables(const TempVariables&) = delete;
  TempVariables& operator=(const TempVariables&) = delete;

 private:
  std::wstring tmp_;
  std::wstring temp_;
};

// Dispatches every pending message of this thread.
void PumpMessages();

}  // namespace velora::test

#endif  // VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_
