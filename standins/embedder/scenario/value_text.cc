#include "standins/embedder/scenario/value_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velora::standin {

using flutter::EncodableValue;
using flutter::EncodableValueList;
using flutter::EncodableValueMap;

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<EncodableValue> ParseAll(std::string* error) {
    std::optional<EncodableValue> value = Value(0);
    SkipSpace();
    if (value && pos_ != text_.size()) {
      Fail("unexpected text after the value");
      value.reset();
    }
    if (!value && error != nullptr) {
      *error = error_ + " at offset " + std::to_string(pos_);
    }
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void Fail(const char* why) {
    if (error_.empty()) {
      error_ = why;
    }
  }

  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
      ++pos_;
    }
  }

  bool Consume(char c) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool ConsumeWord(std::string_view word) {
    SkipSpace();
    if (text_.substr(pos_, word.size()) == word) {
      pos_ += word.size();
      return true;
    }
    return false;
  }

  std::optional<EncodableValue> Value(int depth) {
    if (depth > kMaxDepth) {
      Fail("nesting too deep");
      return std::nullopt;
    }
    SkipSpace();
    if (pos_ >= text_.size()) {
      Fail("value expected");
      return std::nullopt;
    }
    if (ConsumeWord("null"))
      return EncodableValue();
    if (ConsumeWord("true"))
      return EncodableValue(true);
    if (ConsumeWord("false"))
      return EncodableValue(false);
    if (ConsumeWord("u8["))
      return TypedList<uint8_t>();
    if (ConsumeWord("i32["))
      return TypedList<int32_t>();
    if (ConsumeWord("i64["))
      return TypedList<int64_t>();
    if (ConsumeWord("f64["))
      return TypedList<double>();
    if (ConsumeWord("f32["))
      return TypedList<float>();
    const char c = text_[pos_];
    if (c == '"') {
      std::optional<std::string> text = String();
      if (!text)
        return std::nullopt;
      return EncodableValue(std::move(*text));
    }
    if (c == '[') {
      ++pos_;
      EncodableValueList list;
      if (Consume(']'))
        return EncodableValue(std::move(list));
      do {
        std::optional<EncodableValue> item = Value(depth + 1);
        if (!item)
          return std::nullopt;
        list.push_back(std::move(*item));
      } while (Consume(','));
      if (!Consume(']')) {
        Fail("']' expected");
        return std::nullopt;
      }
      return EncodableValue(std::move(list));
    }
    if (c == '{') {
      ++pos_;
      EncodableValueMap map;
      if (Consume('}'))
        return EncodableValue(std::move(map));
      do {
        std::optional<EncodableValue> key = Value(depth + 1);
        if (!key)
          return std::nullopt;
        if (!Consume(':')) {
          Fail("':' expected");
          return std::nullopt;
        }
        std::optional<EncodableValue> value = Value(depth + 1);
        if (!value)
          return std::nullopt;
        map[std::move(*key)] = std::move(*value);
      } while (Consume(','));
      if (!Consume('}')) {
        Fail("'}' expected");
        return std::nullopt;
      }
      return EncodableValue(std::move(map));
    }
    return Number();
  }

  // A number token: digits, sign, '.', exponent, and the words nan/inf.
  std::string NumberToken() {
    SkipSpace();
    const size_t start = pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      const bool part = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' ||
                        c == 'E' || c == 'n' || c == 'a' || c == 'i' || c == 'f' || c == 'L';
      if (!part)
        break;
      ++pos_;
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  std::optional<EncodableValue> Number() {
    std::string token = NumberToken();
    if (token.empty()) {
      Fail("value expected");
      return std::nullopt;
    }
    const bool force_long = token.back() == 'L';
    if (force_long)
      token.pop_back();
    const bool is_real = token.find_first_of(".eEnaif") != std::string::npos;
    if (is_real && !force_long) {
      if (token == "nan")
        return EncodableValue(std::numeric_limits<double>::quiet_NaN());
      if (token == "inf")
        return EncodableValue(std::numeric_limits<double>::infinity());
      if (token == "-inf")
        return EncodableValue(-std::numeric_limits<double>::infinity());
      char* end = nullptr;
      const double value = std::strtod(token.c_str(), &end);
      if (end == token.c_str() || *end != '\0') {
        Fail("malformed number");
        return std::nullopt;
      }
      return EncodableValue(value);
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(token.c_str(), &end, 10);
    if (end == token.c_str() || *end != '\0' || errno == ERANGE) {
      Fail("malformed integer");
      return std::nullopt;
    }
    if (!force_long && value >= std::numeric_limits<int32_t>::min() &&
        value <= std::numeric_limits<int32_t>::max()) {
      return EncodableValue(static_cast<int32_t>(value));
    }
    return EncodableValue(static_cast<int64_t>(value));
  }

  template <typename T>
  std::optional<EncodableValue> TypedList() {
    std::vector<T> items;
    if (Consume(']'))
      return EncodableValue(std::move(items));
    do {
      std::string token = NumberToken();
      char* end = nullptr;
      if constexpr (std::is_floating_point_v<T>) {
        const double value = std::strtod(token.c_str(), &end);
        items.push_back(static_cast<T>(value));
      } else {
        const long long value = std::strtoll(token.c_str(), &end, 10);
        items.push_back(static_cast<T>(value));
      }
      if (token.empty() || *end != '\0') {
        Fail("malformed list item");
        return std::nullopt;
      }
    } while (Consume(','));
    if (!Consume(']')) {
      Fail("']' expected");
      return std::nullopt;
    }
    return EncodableValue(std::move(items));
  }

  std::optional<std::string> String() {
    ++pos_;  // opening quote
    std::string out;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (c == '\\' && pos_ < text_.size()) {
        const char escape = text_[pos_++];
        if (escape == 'n') {
          c = '\n';
        } else if (escape == 't') {
          c = '\t';
        } else if (escape == 'x' && pos_ + 2 <= text_.size()) {
          std::optional<std::vector<uint8_t>> byte = FromHex(text_.substr(pos_, 2));
          if (!byte) {
            Fail("bad \\x escape");
            return std::nullopt;
          }
          c = static_cast<char>((*byte)[0]);
          pos_ += 2;
        } else {
          c = escape;
        }
      }
      out.push_back(c);
    }
    if (pos_ >= text_.size()) {
      Fail("unterminated string");
      return std::nullopt;
    }
    ++pos_;  // closing quote
    return out;
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::string error_;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<EncodableValue> ParseValueText(std::string_view text, std::string* error) {
  return Parser(text).ParseAll(error);
}

std::string ToHex(const uint8_t* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0xF]);
  }
  return out;
}

std::optional<std::vector<uint8_t>> FromHex(std::string_view text) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ')
      continue;
    const int digit = HexDigit(c);
    if (digit < 0)
      return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0)
    return std::nullopt;
  return bytes;
}

}  // namespace velora::standin
