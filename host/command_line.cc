#include "host/command_line.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace velora {

std::string WideToUtf8(const wchar_t* text) {
  if (text == nullptr) {
    return std::string();
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  // The size counts the terminator; 0 (failure) and 1 (empty input) both
  // leave nothing to convert.
  if (size <= 1) {
    return std::string();
  }
  std::string utf8(static_cast<size_t>(size - 1), '\0');
  const int length = static_cast<int>(wcslen(text));
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, length, utf8.data(), size - 1,
                          nullptr, nullptr) == 0) {
    return std::string();
  }
  return utf8;
}

std::vector<std::string> ArgumentsFromCommandLine(const wchar_t* command_line) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(command_line, &count);
  if (argv == nullptr) {
    return arguments;
  }
  for (int i = 1; i < count; ++i) {
    arguments.push_back(WideToUtf8(argv[i]));
  }
  LocalFree(argv);
  return arguments;
}

std::vector<std::string> CollectCommandLineArguments() {
  return ArgumentsFromCommandLine(GetCommandLineW());
}

}  // namespace velora
