#include "messaging/diagnostic_line.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace flutter {

namespace {

// Lines up to this long, newline included, need no heap.
constexpr size_t kStackLineCapacity = 256;

}  // namespace

void WriteDiagnosticLine(std::string_view text) {
  // Short lines are assembled on the stack: reporting bad input should not
  // itself allocate.
  char buffer[kStackLineCapacity];
  std::string long_line;
  char* line = buffer;
  if (text.size() + 1 > sizeof(buffer)) {
    long_line.resize(text.size() + 1);
    line = &long_line[0];
  }
  if (!text.empty()) {
    std::memcpy(line, text.data(), text.size());
  }
  line[text.size()] = '\n';
  std::fwrite(line, 1, text.size() + 1, stderr);
  std::fflush(stderr);
}

}  // namespace flutter
