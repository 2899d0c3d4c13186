#ifndef MESSAGING_CUSTOM_VALUE_H_
#define MESSAGING_CUSTOM_VALUE_H_

#include <any>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace flutter {

// One application object of any copyable type, owned by an EncodableValue.
// Copying copies the object; comparison is by identity (see EncodableValue).
// The standard codec cannot encode it and writes null in its place.
class CustomValue {
 public:
  template <typename T,
            typename = std::enable_if_t<!std::is_same<std::decay_t<T>, CustomValue>::value>>
  explicit CustomValue(T&& object) : object_(std::forward<T>(object)) {}

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

 private:
  std::any object_;
};

}  // namespace flutter

#endif  // MESSAGING_CUSTOM_VALUE_H_
