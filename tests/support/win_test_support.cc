#include "tests/support/win_test_support.h"

#include <fstream>
#include <sstream>

#include "host/log_file.h"

namespace velora::test {

std::string TempFilePath(const char* file_name) {
  char dir[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + file_name;
}

std::string ReadBinaryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> LogLinesOf(const char* file_name, unsigned long pid, size_t offset) {
  const std::string whole = ReadBinaryFile(TempFilePath(file_name));
  const std::string content = offset < whole.size() ? whole.substr(offset) : std::string();
  const std::string prefix = "[pid=" + std::to_string(pid) + " tid=";
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) {
      end = content.size();
    }
    std::string line = content.substr(start, end - start);
    start = end + 1;
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) {
      line.pop_back();
    }
    if (line.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    const size_t text = line.find("] ");
    std::string message = text == std::string::npos ? line : line.substr(text + 2);
    lines.push_back(crlf ? message : message + "<no CRLF>");
  }
  return lines;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace velora::test
