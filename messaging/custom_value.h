#ifndef MESSAGING_CUSTOM_VALUE_H_
#define MESSAGING_CUSTOM_VALUE_H_

#include <any>
#include <cstdint>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace flutter {

// One application object of any copyable type, owned by an EncodableValue.
// Copying copies the object; comparison is by identity (see EncodableValue).
// The standard codec cannot encode it and writes null in its place.
//
// Identity belongs to the object, not to where it is stored: a copy (made or
// assigned) is a new object, while a moved value stays the same object and
// what it was moved from becomes a new one. So a custom key keeps its place,
// and is found by itself, when the map that holds it grows or sorts its
// entries by moving them.
class CustomValue {
 public:
  template <typename T,
            typename = std::enable_if_t<!std::is_same<std::decay_t<T>, CustomValue>::value>>
  explicit CustomValue(T&& object) : object_(std::forward<T>(object)), identity_(NewIdentity()) {}

  CustomValue(const CustomValue& other) : object_(other.object_), identity_(NewIdentity()) {}
  CustomValue(CustomValue&& other) noexcept
      : object_(std::move(other.object_)), identity_(other.identity_) {
    other.identity_ = NewIdentity();
  }
  CustomValue& operator=(const CustomValue& other) {
    if (this != &other) {
      object_ = other.object_;
      identity_ = NewIdentity();
    }
    return *this;
  }
  CustomValue& operator=(CustomValue&& other) noexcept {
    if (this != &other) {
      object_ = std::move(other.object_);
      identity_ = other.identity_;
      other.identity_ = NewIdentity();
    }
    return *this;
  }
  ~CustomValue() = default;

  const std::type_info& type() const { return object_.type(); }

  // The object when it is a T, otherwise nullptr.
  template <typename T>
  const T* TryGet() const {
    return std::any_cast<T>(&object_);
  }
  template <typename T>
  T* TryGet() {
    return std::any_cast<T>(&object_);
  }

  // Which object this is: unique among the values alive in the process (of
  // one module), and increasing in the order in which objects were made.
  uint64_t identity() const { return identity_; }

 private:
  static uint64_t NewIdentity() noexcept;

  std::any object_;
  uint64_t identity_;
};

}  // namespace flutter

#endif  // MESSAGING_CUSTOM_VALUE_H_
