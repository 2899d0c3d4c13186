#ifndef MESSAGING_ENCODABLE_VALUE_H_
#define MESSAGING_ENCODABLE_VALUE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "messaging/custom_value.h"

namespace flutter {

class EncodableValue;

// Orders values as the channel format needs: by kind first (the alternative's
// index), then by content. Transparent, so that maps can be searched with a
// string key without building a temporary EncodableValue.
struct EncodableValueLess {
  using is_transparent = void;

  template <typename K>
  using IfText = std::enable_if_t<std::is_convertible<const K&, std::string_view>::value>;

  bool operator()(const EncodableValue& a, const EncodableValue& b) const;
  template <typename K, typename = IfText<K>>
  bool operator()(const EncodableValue& a, const K& b) const {
    return KeyLessThanText(a, std::string_view(b));
  }
  template <typename K, typename = IfText<K>>
  bool operator()(const K& a, const EncodableValue& b) const {
    return TextLessThanKey(std::string_view(a), b);
  }

  static bool KeyLessThanText(const EncodableValue& key, std::string_view text);
  static bool TextLessThanKey(std::string_view text, const EncodableValue& key);
};

using EncodableValueList = std::vector<EncodableValue>;
// The standard containers of all three major libraries accept the incomplete
// element type here; the value type is complete before any member is used.
using EncodableValueMap = std::map<EncodableValue, EncodableValue, EncodableValueLess>;

// The order of the alternatives is part of the format: it decides how values of
// different kinds compare and which kind each wire tag produces. The float list
// comes after custom on purpose.
using EncodableValueVariant = std::variant<std::monostate,
                                           bool,
                                           int32_t,
                                           int64_t,
                                           double,
                                           std::string,
                                           std::vector<uint8_t>,
                                           std::vector<int32_t>,
                                           std::vector<int64_t>,
                                           std::vector<double>,
                                           EncodableValueList,
                                           EncodableValueMap,
                                           CustomValue,
                                           std::vector<float>>;

// The value of every platform channel: a closed tagged union with value
// semantics. Conditional access is std::get_if, strict access std::get, the
// kind query index().
class EncodableValue : public EncodableValueVariant {
 public:
  // Indices of the alternatives, for code that switches on index().
  enum Kind : std::size_t {
    kNull = 0,
    kBool = 1,
    kInt32 = 2,
    kInt64 = 3,
    kDouble = 4,
    kString = 5,
    kUint8List = 6,
    kInt32List = 7,
    kInt64List = 8,
    kDoubleList = 9,
    kList = 10,
    kMap = 11,
    kCustom = 12,
    kFloatList = 13,
  };

  using EncodableValueVariant::EncodableValueVariant;
  using EncodableValueVariant::operator=;

  EncodableValue() = default;
  // A C string is text, never bool, whatever the library's converting
  // constructor would pick.
  EncodableValue(const char* text) : EncodableValueVariant(std::string(text)) {}
  EncodableValue& operator=(const char* text) {
    EncodableValueVariant::operator=(std::string(text));
    return *this;
  }

  bool IsNull() const { return index() == kNull; }
};

// Three-way comparison: negative when a is less than b, positive when b is
// less than a, zero when neither is. Kinds order by index first; within a kind
// numbers compare numerically (NaN after every number, so that maps keep a
// strict weak order), strings and byte lists bytewise unsigned with a
// prefix first, lists and maps lexicographically, custom values by address.
// Nested lists and maps are visited once per element, so comparing costs time
// linear in the values' size however deep they nest (a two-sided `<` per
// element would double the work at every level).
int CompareValues(const EncodableValue& a, const EncodableValue& b);

// Inline for the common case of map keys, which are strings.
inline bool operator<(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) {
    return a.index() < b.index();
  }
  if (const std::string* text = std::get_if<std::string>(&a)) {
    // char_traits<char> compares as unsigned char: the bytewise order.
    return *text < *std::get_if<std::string>(&b);
  }
  return CompareValues(a, b) < 0;
}
inline bool operator>(const EncodableValue& a, const EncodableValue& b) {
  return b < a;
}
inline bool operator<=(const EncodableValue& a, const EncodableValue& b) {
  return !(b < a);
}
inline bool operator>=(const EncodableValue& a, const EncodableValue& b) {
  return !(a < b);
}

// Content equality: same kind and equal contents (custom values are equal only
// to themselves, doubles by ==). Not the map's equivalence, which is !(a<b) &&
// !(b<a) and differs for NaN.
bool operator==(const EncodableValue& a, const EncodableValue& b);
inline bool operator!=(const EncodableValue& a, const EncodableValue& b) {
  return !(a == b);
}

inline bool EncodableValueLess::operator()(const EncodableValue& a, const EncodableValue& b) const {
  return a < b;
}

// The entry whose key is the string `key` (byte for byte), or nullptr. Keys of
// any other kind never match.
const EncodableValue* FindValue(const EncodableValueMap& map, std::string_view key);

}  // namespace flutter

#endif  // MESSAGING_ENCODABLE_VALUE_H_
