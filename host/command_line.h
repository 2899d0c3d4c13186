// The process command line as the Dart entry point's argument list, and
// the debug console of runs under a debugger.
#ifndef VELORA_HOST_COMMAND_LINE_H_
#define VELORA_HOST_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace velora {

// UTF-8 of a zero-terminated wide string; empty for null input, empty input
// and every conversion failure (an unpaired surrogate included).
std::string WideToUtf8(const wchar_t* text);

// Every argument after the program name, split as CommandLineToArgvW splits
// them, in UTF-8. Empty arguments keep their place.
std::vector<std::string> ArgumentsFromCommandLine(const wchar_t* command_line);
std::vector<std::string> CollectCommandLineArguments();

}  // namespace velora

#endif  // VELORA_HOST_COMMAND_LINE_H_
