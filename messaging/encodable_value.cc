#include "messaging/encodable_value.h"

#include <functional>

namespace flutter {

namespace {

// std::char_traits<char> compares as unsigned char, so string and string_view
// comparison is the bytewise unsigned order the format needs.
bool StringLess(std::string_view a, std::string_view b) {
  return a < b;
}

}  // namespace

namespace internal {

bool LessSameKind(const EncodableValue& a, const EncodableValue& b) {
  switch (a.index()) {
    case EncodableValue::kNull:
      return false;
    case EncodableValue::kBool:
      return std::get<bool>(a) < std::get<bool>(b);
    case EncodableValue::kInt32:
      return std::get<int32_t>(a) < std::get<int32_t>(b);
    case EncodableValue::kInt64:
      return std::get<int64_t>(a) < std::get<int64_t>(b);
    case EncodableValue::kDouble:
      return std::get<double>(a) < std::get<double>(b);
    case EncodableValue::kString:
      return StringLess(std::get<std::string>(a), std::get<std::string>(b));
    case EncodableValue::kUint8List:
      return std::get<std::vector<uint8_t>>(a) < std::get<std::vector<uint8_t>>(b);
    case EncodableValue::kInt32List:
      return std::get<std::vector<int32_t>>(a) < std::get<std::vector<int32_t>>(b);
    case EncodableValue::kInt64List:
      return std::get<std::vector<int64_t>>(a) < std::get<std::vector<int64_t>>(b);
    case EncodableValue::kDoubleList:
      return std::get<std::vector<double>>(a) < std::get<std::vector<double>>(b);
    case EncodableValue::kList:
      return std::get<EncodableValueList>(a) < std::get<EncodableValueList>(b);
    case EncodableValue::kMap:
      // Lexicographic over (key, value) pairs in key order, which is exactly
      // std::pair's and std::map's ordering.
      return std::get<EncodableValueMap>(a) < std::get<EncodableValueMap>(b);
    case EncodableValue::kCustom:
      // Identity, never content: two copies of one object are distinct keys.
      return std::less<const CustomValue*>()(&std::get<CustomValue>(a), &std::get<CustomValue>(b));
    case EncodableValue::kFloatList:
      return std::get<std::vector<float>>(a) < std::get<std::vector<float>>(b);
  }
  return false;
}

}  // namespace internal

bool operator==(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) {
    return false;
  }
  switch (a.index()) {
    case EncodableValue::kNull:
      return true;
    case EncodableValue::kBool:
      return std::get<bool>(a) == std::get<bool>(b);
    case EncodableValue::kInt32:
      return std::get<int32_t>(a) == std::get<int32_t>(b);
    case EncodableValue::kInt64:
      return std::get<int64_t>(a) == std::get<int64_t>(b);
    case EncodableValue::kDouble:
      return std::get<double>(a) == std::get<double>(b);
    case EncodableValue::kString:
      return std::get<std::string>(a) == std::get<std::string>(b);
    case EncodableValue::kUint8List:
      return std::get<std::vector<uint8_t>>(a) == std::get<std::vector<uint8_t>>(b);
    case EncodableValue::kInt32List:
      return std::get<std::vector<int32_t>>(a) == std::get<std::vector<int32_t>>(b);
    case EncodableValue::kInt64List:
      return std::get<std::vector<int64_t>>(a) == std::get<std::vector<int64_t>>(b);
    case EncodableValue::kDoubleList:
      return std::get<std::vector<double>>(a) == std::get<std::vector<double>>(b);
    case EncodableValue::kList:
      return std::get<EncodableValueList>(a) == std::get<EncodableValueList>(b);
    case EncodableValue::kMap:
      return std::get<EncodableValueMap>(a) == std::get<EncodableValueMap>(b);
    case EncodableValue::kCustom:
      return &std::get<CustomValue>(a) == &std::get<CustomValue>(b);
    case EncodableValue::kFloatList:
      return std::get<std::vector<float>>(a) == std::get<std::vector<float>>(b);
  }
  return false;
}

bool EncodableValueLess::KeyLessThanText(const EncodableValue& key, std::string_view text) {
  if (key.index() != EncodableValue::kString) {
    return key.index() < EncodableValue::kString;
  }
  return StringLess(std::get<std::string>(key), text);
}

bool EncodableValueLess::TextLessThanKey(std::string_view text, const EncodableValue& key) {
  if (key.index() != EncodableValue::kString) {
    return EncodableValue::kString < key.index();
  }
  return StringLess(text, std::get<std::string>(key));
}

const EncodableValue* FindValue(const EncodableValueMap& map, std::string_view key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace flutter
