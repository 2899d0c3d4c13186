// Helpers for tests that run under Windows (Wine): the logs in the temporary
// directory and message pumping.
#ifndef VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_
#define VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/host_process.h"

namespace velora::test {

// Full path of a file in the temporary directory, as the host builds it.
std::string TempFilePath(const char* file_name);

// The whole content of a file, bytes as they are ("" if absent).
std::string ReadBinaryFile(const std::string& path);

// Messages of the lines "[pid=P tid=T] message\r\n" of one process, in
// order; a line without CR LF is returned with a "<no CRLF>" suffix so that
// a wrong line end fails any comparison.
// Only the part of the file from byte `offset` on is read.
std::vector<std::string> LogLinesOf(const char* file_name, unsigned long pid, size_t offset = 0);

// Dispatches every pending message of this thread.
void PumpMessages();

}  // namespace velora::test

#endif  // VELORA_TESTS_SUPPORT_WIN_TEST_SUPPORT_H_
