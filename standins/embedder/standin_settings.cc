#include "standins/embedder/standin_settings.h"

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
