#include "messaging/diagnostic_line.h"

#include <cstdio>
#include <string>

namespace flutter {

void WriteDiagnosticLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text.data(), text.size());
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace flutter
