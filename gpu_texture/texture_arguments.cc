#include "gpu_texture/texture_arguments.h"

#include <limits>

namespace velora {
namespace {

// The C locale's white space, as the standard conversion skips it.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<uint64_t> ParseUnsignedDecimal(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at == text.size() || !IsDigit(text[at])) {
    return std::nullopt;
  }
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  uint64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    const uint64_t digit = static_cast<uint64_t>(text[at] - '0');
    if (value > (kMax - digit) / 10) {
      return std::nullopt;  // above 18446744073709551615, whatever follows
    }
    value = value * 10 + digit;
  }
  // Unsigned negation is modulo 2^64, as the conversion defines it.
  return negative ? (0 - value) : value;
}

std::optional<uint64_t> ParseHandleArgument(const flutter::EncodableValue& value) {
  if (const auto* small = std::get_if<int32_t>(&value)) {
    return static_cast<uint64_t>(static_cast<int64_t>(*small));
  }
  if (const auto* large = std::get_if<int64_t>(&value)) {
    return static_cast<uint64_t>(*large);
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return ParseUnsignedDecimal(*text);
  }
  return std::nullopt;
}

std::string FormatHandle(uint64_t value) {
  char buffer[kHandleTextCapacity];
  char* end = buffer + sizeof buffer;
  char* start = end;
  do {
    *--start = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::string(start, end);
}

std::optional<int32_t> ReadInt32Argument(const flutter::EncodableValueMap& map,
                                         std::string_view key) {
  const flutter::EncodableValue* value = flutter::FindValue(map, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (const auto* number = std::get_if<int32_t>(value)) {
    return *number;
  }
  return std::nullopt;
}

std::optional<int64_t> ReadTextureIdArgument(const flutter::EncodableValueMap& map) {
  const flutter::EncodableValue* value = flutter::FindValue(map, "textureId");
  if (value == nullptr) {
    return std::nullopt;
  }
  if (const auto* small = std::get_if<int32_t>(value)) {
    return static_cast<int64_t>(*small);
  }
  if (const auto* large = std::get_if<int64_t>(value)) {
    return *large;
  }
  return std::nullopt;
}

}  // namespace velora
