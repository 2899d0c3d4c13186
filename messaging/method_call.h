#ifndef MESSAGING_METHOD_CALL_H_
#define MESSAGING_METHOD_CALL_H_

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "messaging/encodable_value.h"

namespace flutter {

// A method name and its arguments, as one side of a method channel sends them.
// The arguments are held in the call itself, so that a decoded call costs no
// allocation beyond its contents.
template <typename T = EncodableValue>
class MethodCall {
 public:
  MethodCall(std::string method_name, std::unique_ptr<T> arguments)
      : method_name_(std::move(method_name)) {
    if (arguments) {
      arguments_.emplace(std::move(*arguments));
    }
  }
  // A call whose arguments are `arguments` themselves.
  MethodCall(std::in_place_t, std::string method_name, T arguments)
      : method_name_(std::move(method_name)), arguments_(std::move(arguments)) {}
  // Virtual so that a call can be owned through its base.
  virtual ~MethodCall() = default;

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;
  MethodCall(MethodCall&&) noexcept = default;
  MethodCall& operator=(MethodCall&&) noexcept = default;

  // Compared by handlers byte for byte.
  const std::string& MethodName() const { return method_name_; }
  // nullptr when the call has no arguments.
  const T* Arguments() const { return arguments_ ? &*arguments_ : nullptr; }

 private:
  std::string method_name_;
  std::optional<T> arguments_;
};

}  // namespace flutter

#endif  // MESSAGING_METHOD_CALL_H_
