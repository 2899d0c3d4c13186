#include "messaging/encodable_value.h"

#include <algorithm>
#include <functional>
#include <type_traits>

namespace flutter {

namespace {

// std::char_traits<char> compares as unsigned char, so string and string_view
// comparison is the bytewise unsigned order the format needs.
bool StringLess(std::string_view a, std::string_view b) {
  return a < b;
}

}  // namespace

namespace {

// Numeric order. NaN, for which `<` is no order at all, sorts after every
// number and equal to every other NaN: a map key read from the wire may be
// NaN, and std::map needs a strict weak order to stay well defined.
template <typename T>
int CompareNumbers(T a, T b) {
  if constexpr (std::is_floating_point<T>::value) {
    bool a_is_nan = a != a;
    bool b_is_nan = b != b;
    if (a_is_nan || b_is_nan) {
      return a_is_nan == b_is_nan ? 0 : (a_is_nan ? 1 : -1);
    }
  }
  return a < b ? -1 : (b < a ? 1 : 0);
}

template <typename T>
int CompareNumberLists(const std::vector<T>& a, const std::vector<T>& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (int order = CompareNumbers(a[i], b[i])) {
      return order;
    }
  }
  return CompareNumbers(a.size(), b.size());
}

int CompareBytes(std::string_view a, std::string_view b) {
  int order = a.compare(b);  // Unsigned bytes, a proper prefix first.
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int CompareLists(const EncodableValueList& a, const EncodableValueList& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (int order = CompareValues(a[i], b[i])) {
      return order;
    }
  }
  return CompareNumbers(a.size(), b.size());
}

// Entries in key order; an entry orders by its key, then by its value.
int CompareMaps(const EncodableValueMap& a, const EncodableValueMap& b) {
  auto left = a.begin();
  auto right = b.begin();
  for (; left != a.end() && right != b.end(); ++left, ++right) {
    if (int order = CompareValues(left->first, right->first)) {
      return order;
    }
    if (int order = CompareValues(left->second, right->second)) {
      return order;
    }
  }
  return CompareNumbers(a.size(), b.size());
}

}  // namespace

int CompareValues(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) {
    return CompareNumbers(a.index(), b.index());
  }
  switch (a.index()) {
    case EncodableValue::kNull:
      return 0;
    case EncodableValue::kBool:
      return CompareNumbers(std::get<bool>(a), std::get<bool>(b));
    case EncodableValue::kInt32:
      return CompareNumbers(std::get<int32_t>(a), std::get<int32_t>(b));
    case EncodableValue::kInt64:
      return CompareNumbers(std::get<int64_t>(a), std::get<int64_t>(b));
    case EncodableValue::kDouble:
      return CompareNumbers(std::get<double>(a), std::get<double>(b));
    case EncodableValue::kString:
      return CompareBytes(std::get<std::string>(a), std::get<std::string>(b));
    case EncodableValue::kUint8List: {
      const auto& left = std::get<std::vector<uint8_t>>(a);
      const auto& right = std::get<std::vector<uint8_t>>(b);
      return CompareBytes(
          std::string_view(reinterpret_cast<const char*>(left.data()), left.size()),
          std::string_view(reinterpret_cast<const char*>(right.data()), right.size()));
    }
    case EncodableValue::kInt32List:
      return CompareNumberLists(std::get<std::vector<int32_t>>(a),
                                std::get<std::vector<int32_t>>(b));
    case EncodableValue::kInt64List:
      return CompareNumberLists(std::get<std::vector<int64_t>>(a),
                                std::get<std::vector<int64_t>>(b));
    case EncodableValue::kDoubleList:
      return CompareNumberLists(std::get<std::vector<double>>(a), std::get<std::vector<double>>(b));
    case EncodableValue::kList:
      return CompareLists(std::get<EncodableValueList>(a), std::get<EncodableValueList>(b));
    case EncodableValue::kMap:
      return CompareMaps(std::get<EncodableValueMap>(a), std::get<EncodableValueMap>(b));
    case EncodableValue::kCustom: {
      // Identity, never content: two copies of one object are distinct keys.
      const CustomValue* left = &std::get<CustomValue>(a);
      const CustomValue* right = &std::get<CustomValue>(b);
      std::less<const CustomValue*> less;
      return less(left, right) ? -1 : (less(right, left) ? 1 : 0);
    }
    case EncodableValue::kFloatList:
      return CompareNumberLists(std::get<std::vector<float>>(a), std::get<std::vector<float>>(b));
  }
  return 0;
}

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
