#include "messaging/encodable_value.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
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
    case EncodableValue::kCustom:
      // Identity, never content: two copies of one object are distinct keys.
      return CompareNumbers(std::get<CustomValue>(a).identity(),
                            std::get<CustomValue>(b).identity());
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
      return std::get<CustomValue>(a).identity() == std::get<CustomValue>(b).identity();
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

uint64_t CustomValue::NewIdentity() noexcept {
  // Uniqueness is all that is asked of it; 2^64 objects are never made.
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

namespace {

bool KeyLess(const EncodableValueMap::value_type& a, const EncodableValueMap::value_type& b) {
  return a.first < b.first;
}

}  // namespace

EncodableValueMap::EncodableValueMap(std::initializer_list<value_type> entries)
    : entries_(entries) {
  Normalize();
}

EncodableValueMap::EncodableValueMap(std::vector<value_type> entries)
    : entries_(std::move(entries)) {
  Normalize();
}

// Copies of custom keys are new objects whose identities increase in the
// order they are made, which is the order of the entries: the copy stays
// sorted.
EncodableValueMap::EncodableValueMap(const EncodableValueMap& other) = default;

EncodableValueMap& EncodableValueMap::operator=(const EncodableValueMap& other) {
  if (this != &other) {
    // Copied into a fresh block rather than over the old entries, so that
    // every custom key is a new copy in entry order, as in the copy above.
    EncodableValueMap copy(other);
    swap(copy);
  }
  return *this;
}

void EncodableValueMap::reserve(size_type count) {
  entries_.reserve(count);
}

void EncodableValueMap::clear() noexcept {
  entries_.clear();
}

namespace {

[[noreturn]] void ThrowNoSuchKey() {
  throw std::out_of_range("EncodableValueMap::at: no such key");
}

}  // namespace

const EncodableValue& EncodableValueMap::at(const EncodableValue& key) const {
  const_iterator place = find(key);
  if (place == end()) {
    ThrowNoSuchKey();
  }
  return place->second;
}

EncodableValue& EncodableValueMap::at(const EncodableValue& key) {
  iterator place = find(key);
  if (place == end()) {
    ThrowNoSuchKey();
  }
  return place->second;
}

std::pair<EncodableValueMap::iterator, bool> EncodableValueMap::InsertUnique(value_type&& entry) {
  const_iterator place = PlaceOf(entry.first);
  if (place != end() && !(entry.first < place->first)) {
    return {Mutable(place), false};
  }
  const difference_type offset = place - cbegin();
  entries_.insert(entries_.begin() + offset, std::move(entry));
  return {begin() + offset, true};
}

std::pair<EncodableValueMap::iterator, bool> EncodableValueMap::insert(const value_type& entry) {
  return InsertUnique(value_type(entry));
}

std::pair<EncodableValueMap::iterator, bool> EncodableValueMap::insert(value_type&& entry) {
  return InsertUnique(std::move(entry));
}

EncodableValueMap::iterator EncodableValueMap::erase(const_iterator position) {
  return erase(position, position + 1);
}

EncodableValueMap::iterator EncodableValueMap::erase(const_iterator first, const_iterator last) {
  const difference_type offset = first - cbegin();
  entries_.erase(entries_.begin() + offset, entries_.begin() + (last - cbegin()));
  return begin() + offset;
}

EncodableValueMap::size_type EncodableValueMap::erase(const EncodableValue& key) {
  const_iterator place = find(key);
  if (place == end()) {
    return 0;
  }
  erase(place);
  return 1;
}

void EncodableValueMap::swap(EncodableValueMap& other) noexcept {
  entries_.swap(other.entries_);
}

bool operator==(const EncodableValueMap& a, const EncodableValueMap& b) {
  return a.entries_ == b.entries_;
}

void EncodableValueMap::Normalize() {
  // One pass tells the usual case, keys already ascending and unique (our own
  // writer sends them so), from the rest.
  auto not_ascending = [](const value_type& a, const value_type& b) { return !KeyLess(a, b); };
  if (std::adjacent_find(entries_.begin(), entries_.end(), not_ascending) == entries_.end()) {
    return;
  }
  // Stable, so that of equal keys the first stays first, and is kept.
  std::stable_sort(entries_.begin(), entries_.end(), KeyLess);
  auto equal_keys = [](const value_type& a, const value_type& b) {
    return !KeyLess(a, b) && !KeyLess(b, a);
  };
  entries_.erase(std::unique(entries_.begin(), entries_.end(), equal_keys), entries_.end());
}

}  // namespace flutter
