#ifndef MESSAGING_DIAGNOSTIC_LINE_H_
#define MESSAGING_DIAGNOSTIC_LINE_H_

#include <string_view>

namespace flutter {

// Writes `text` and a newline to standard error as one write, then flushes, so
// that lines from different threads do not interleave and none is lost when
// the process ends abruptly afterwards.
void WriteDiagnosticLine(std::string_view text);

}  // namespace flutter

#endif  // MESSAGING_DIAGNOSTIC_LINE_H_
