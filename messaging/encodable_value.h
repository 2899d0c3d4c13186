#ifndef MESSAGING_ENCODABLE_VALUE_H_
#define MESSAGING_ENCODABLE_VALUE_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <tuple>
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

// The map of the channel format: entries sorted by key (EncodableValueLess),
// each key once, in one contiguous block, so that a map costs one allocation
// however many entries it has. It offers std::map's interface as far as
// values need it, with two differences that come with the one block:
// - an insertion or erasure moves the entries behind it, so it invalidates
//   iterators, pointers and references into the map (std::map keeps them);
// - entries are pair<EncodableValue, EncodableValue>, not pair<const ...>:
//   a key must not be changed in place, or the order is lost.
// Building a map from entries in any order (a list of them, or a block
// decoded from a message) keeps the first of equal keys, as inserting them
// one by one does.
class EncodableValueMap {
 public:
  using key_type = EncodableValue;
  using mapped_type = EncodableValue;
  using value_type = std::pair<EncodableValue, EncodableValue>;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using key_compare = EncodableValueLess;
  using reference = value_type&;
  using const_reference = const value_type&;
  using iterator = value_type*;
  using const_iterator = const value_type*;

  // The members are defined once EncodableValue is complete, below and in
  // encodable_value.cc.
  EncodableValueMap() noexcept;
  EncodableValueMap(std::initializer_list<value_type> entries);
  // Takes over `entries` in any order, sorting them only when they are not
  // in ascending key order already.
  explicit EncodableValueMap(std::vector<value_type> entries);
  EncodableValueMap(const EncodableValueMap& other);
  EncodableValueMap(EncodableValueMap&& other) noexcept;
  EncodableValueMap& operator=(const EncodableValueMap& other);
  EncodableValueMap& operator=(EncodableValueMap&& other) noexcept;
  ~EncodableValueMap();

  iterator begin() noexcept;
  iterator end() noexcept;
  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;
  const_iterator cbegin() const noexcept;
  const_iterator cend() const noexcept;

  bool empty() const noexcept;
  size_type size() const noexcept;
  // Room for `count` entries, so that building a map of a known size
  // allocates once.
  void reserve(size_type count);
  void clear() noexcept;

  // Lookup by a value, or by text (a string key with exactly these bytes).
  iterator find(const EncodableValue& key);
  const_iterator find(const EncodableValue& key) const;
  template <typename K, typename = EncodableValueLess::IfText<K>>
  iterator find(const K& key);
  template <typename K, typename = EncodableValueLess::IfText<K>>
  const_iterator find(const K& key) const;
  size_type count(const EncodableValue& key) const;
  template <typename K, typename = EncodableValueLess::IfText<K>>
  size_type count(const K& key) const;
  // Throw std::out_of_range when there is no such key.
  EncodableValue& at(const EncodableValue& key);
  const EncodableValue& at(const EncodableValue& key) const;

  // The value of `key`, inserted as null when the key is new.
  EncodableValue& operator[](const EncodableValue& key);
  EncodableValue& operator[](EncodableValue&& key);

  // Insert unless the key is there already; the iterator names the entry
  // of that key either way.
  template <typename... Args>
  std::pair<iterator, bool> emplace(Args&&... args);
  template <typename... Args>
  std::pair<iterator, bool> try_emplace(const EncodableValue& key, Args&&... args);
  template <typename... Args>
  std::pair<iterator, bool> try_emplace(EncodableValue&& key, Args&&... args);
  std::pair<iterator, bool> insert(const value_type& entry);
  std::pair<iterator, bool> insert(value_type&& entry);

  iterator erase(const_iterator position);
  iterator erase(const_iterator first, const_iterator last);
  size_type erase(const EncodableValue& key);
  void swap(EncodableValueMap& other) noexcept;

  // Same keys with equal values, in the same order.
  friend bool operator==(const EncodableValueMap& a, const EncodableValueMap& b);
  friend bool operator!=(const EncodableValueMap& a, const EncodableValueMap& b) {
    return !(a == b);
  }

 private:
  // The first entry whose key is not less than `key`.
  template <typename K>
  const_iterator LowerBound(const K& key) const;
  // The entry whose key is equivalent to `key`, or end(): a binary search
  // that stops at the first equal key.
  template <typename K>
  const_iterator Search(const K& key) const;
  // Three-way order of an entry's key and a value or text.
  static int Order(const EncodableValue& key, const EncodableValue& other);
  static int Order(const EncodableValue& key, std::string_view text);
  // Where an entry with `key` is or belongs, looking at the end first: maps
  // are mostly built in key order.
  template <typename K>
  const_iterator PlaceOf(const K& key) const;
  iterator Mutable(const_iterator position);
  // Whether `key` is, or may contain, a custom value.
  static bool MayHoldCustomValues(const EncodableValue& key);
  // Insert unless the key is there already.
  std::pair<iterator, bool> InsertUnique(value_type&& entry);
  template <typename Key, typename... Args>
  std::pair<iterator, bool> TryEmplace(Key&& key, Args&&... args);
  // Sorts by key when needed, keeping the first of equal keys.
  void Normalize();

  std::vector<value_type> entries_;
};

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
// prefix first, lists and maps lexicographically, custom values by identity.
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

// --- EncodableValueMap's members that are worth inlining. ---

inline EncodableValueMap::EncodableValueMap() noexcept = default;
inline EncodableValueMap::EncodableValueMap(EncodableValueMap&& other) noexcept = default;
inline EncodableValueMap& EncodableValueMap::operator=(EncodableValueMap&& other) noexcept =
    default;
inline EncodableValueMap::~EncodableValueMap() = default;

inline EncodableValueMap::iterator EncodableValueMap::begin() noexcept {
  return entries_.data();
}
inline EncodableValueMap::iterator EncodableValueMap::end() noexcept {
  return entries_.data() + entries_.size();
}
inline EncodableValueMap::const_iterator EncodableValueMap::begin() const noexcept {
  return entries_.data();
}
inline EncodableValueMap::const_iterator EncodableValueMap::end() const noexcept {
  return entries_.data() + entries_.size();
}
inline EncodableValueMap::const_iterator EncodableValueMap::cbegin() const noexcept {
  return begin();
}
inline EncodableValueMap::const_iterator EncodableValueMap::cend() const noexcept {
  return end();
}
inline bool EncodableValueMap::empty() const noexcept {
  return entries_.empty();
}
inline EncodableValueMap::size_type EncodableValueMap::size() const noexcept {
  return entries_.size();
}

template <typename K>
EncodableValueMap::const_iterator EncodableValueMap::LowerBound(const K& key) const {
  const_iterator first = begin();
  size_type length = size();
  while (length > 0) {
    const size_type half = length / 2;
    if (EncodableValueLess()(first[half].first, key)) {
      first += half + 1;
      length -= half + 1;
    } else {
      length = half;
    }
  }
  return first;
}

template <typename K>
EncodableValueMap::const_iterator EncodableValueMap::PlaceOf(const K& key) const {
  if (entries_.empty() || EncodableValueLess()(entries_.back().first, key)) {
    return end();
  }
  return LowerBound(key);
}

inline EncodableValueMap::iterator EncodableValueMap::Mutable(const_iterator position) {
  return begin() + (position - cbegin());
}

inline bool EncodableValueMap::MayHoldCustomValues(const EncodableValue& key) {
  const std::size_t kind = key.index();
  return kind == EncodableValue::kList || kind == EncodableValue::kMap ||
         kind == EncodableValue::kCustom;
}

inline int EncodableValueMap::Order(const EncodableValue& key, const EncodableValue& other) {
  if (key.index() != other.index()) {
    return key.index() < other.index() ? -1 : 1;
  }
  if (key.index() == EncodableValue::kString) {
    return Order(key, std::string_view(*std::get_if<std::string>(&other)));
  }
  return CompareValues(key, other);
}

inline int EncodableValueMap::Order(const EncodableValue& key, std::string_view text) {
  if (key.index() != EncodableValue::kString) {
    return key.index() < EncodableValue::kString ? -1 : 1;
  }
  // char_traits<char> compares as unsigned char: the bytewise order.
  const int order = std::string_view(*std::get_if<std::string>(&key)).compare(text);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

template <typename K>
EncodableValueMap::const_iterator EncodableValueMap::Search(const K& key) const {
  const_iterator first = begin();
  size_type length = size();
  while (length > 0) {
    const size_type half = length / 2;
    const int order = Order(first[half].first, key);
    if (order == 0) {
      return first + half;
    }
    if (order < 0) {
      first += half + 1;
      length -= half + 1;
    } else {
      length = half;
    }
  }
  return end();
}

inline EncodableValueMap::const_iterator EncodableValueMap::find(const EncodableValue& key) const {
  return Search(key);
}
inline EncodableValueMap::iterator EncodableValueMap::find(const EncodableValue& key) {
  return Mutable(static_cast<const EncodableValueMap&>(*this).find(key));
}
template <typename K, typename>
EncodableValueMap::const_iterator EncodableValueMap::find(const K& key) const {
  return Search(std::string_view(key));
}
template <typename K, typename>
EncodableValueMap::iterator EncodableValueMap::find(const K& key) {
  return Mutable(static_cast<const EncodableValueMap&>(*this).find(key));
}
inline EncodableValueMap::size_type EncodableValueMap::count(const EncodableValue& key) const {
  return find(key) != end() ? 1 : 0;
}
template <typename K, typename>
EncodableValueMap::size_type EncodableValueMap::count(const K& key) const {
  return find(key) != end() ? 1 : 0;
}

template <typename... Args>
std::pair<EncodableValueMap::iterator, bool> EncodableValueMap::emplace(Args&&... args) {
  return InsertUnique(value_type(std::forward<Args>(args)...));
}

template <typename Key, typename... Args>
std::pair<EncodableValueMap::iterator, bool> EncodableValueMap::TryEmplace(Key&& key,
                                                                           Args&&... args) {
  const_iterator place = PlaceOf(key);
  if (place != end() && !(key < place->first)) {
    return {Mutable(place), false};
  }
  // A copied key that holds custom values holds new objects, so its place is
  // its own (a moved key stays the same objects).
  if constexpr (!std::is_rvalue_reference<Key&&>::value) {
    if (MayHoldCustomValues(key)) {
      return InsertUnique(value_type(std::piecewise_construct,
                                     std::forward_as_tuple(std::forward<Key>(key)),
                                     std::forward_as_tuple(std::forward<Args>(args)...)));
    }
  }
  const difference_type offset = place - cbegin();
  entries_.emplace(entries_.begin() + offset, std::piecewise_construct,
                   std::forward_as_tuple(std::forward<Key>(key)),
                   std::forward_as_tuple(std::forward<Args>(args)...));
  return {begin() + offset, true};
}

template <typename... Args>
std::pair<EncodableValueMap::iterator, bool> EncodableValueMap::try_emplace(
    const EncodableValue& key,
    Args&&... args) {
  return TryEmplace(key, std::forward<Args>(args)...);
}

template <typename... Args>
std::pair<EncodableValueMap::iterator, bool> EncodableValueMap::try_emplace(EncodableValue&& key,
                                                                            Args&&... args) {
  return TryEmplace(std::move(key), std::forward<Args>(args)...);
}

inline EncodableValue& EncodableValueMap::operator[](const EncodableValue& key) {
  return try_emplace(key).first->second;
}
inline EncodableValue& EncodableValueMap::operator[](EncodableValue&& key) {
  return try_emplace(std::move(key)).first->second;
}

}  // namespace flutter

#endif  // MESSAGING_ENCODABLE_VALUE_H_
