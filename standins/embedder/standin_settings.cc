#include "standins/embedder/standin_settings.h"

#include <cstdlib>

namespace velora::standin {

std::optional<uint32_t> ParseDpiOverride(const char* text) {
  if (text == nullptr || *text == '\0') {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9' || value > 999) {
      return std::nullopt;
    }
    value = value * 10 + static_cast<uint32_t>(*p - '0');
  }
  if (value == 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace velora::standin

namespace velora::standin {

std::map<unsigned int, intptr_t> ParseClaimedMessages(const std::string& text) {
  std::map<unsigned int, intptr_t> claims;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string entry = text.substr(start, end - start);
    start = end + 1;
    const size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      continue;
    }
    char* message_end = nullptr;
    char* result_end = nullptr;
    const std::string message_text = entry.substr(0, equals);
    const std::string result_text = entry.substr(equals + 1);
    const unsigned long message = std::strtoul(message_text.c_str(), &message_end, 0);
    const long long result = std::strtoll(result_text.c_str(), &result_end, 0);
    if (message_text.empty() || result_text.empty() || *message_end != '\0' ||
        *result_end != '\0') {
      continue;
    }
    claims[static_cast<unsigned int>(message)] = static_cast<intptr_t>(result);
  }
  return claims;
}

}  // namespace velora::standin
