#ifndef MESSAGING_METHOD_CALL_H_
#define MESSAGING_METHOD_CALL_H_

#include <memory>
#include <string>
#include <utility>

#include "messaging/encodable_value.h"

namespace flutter {

// A method name and its arguments, as one side of a method channel sends them.
template <typename T = EncodableValue>
class MethodCall {
 public:
  MethodCall(std::string method_name, std::unique_ptr<T> arguments)
      : method_name_(std::move(method_name)), arguments_(std::move(arguments)) {}
  // Virtual so that a call can be owned through its base.
  virtual ~MethodCall() = default;

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  // Compared by handlers byte for byte.
  const std::string& MethodName() const { return method_name_; }
  // nullptr when the call has no arguments.
  const T* Arguments() const { return arguments_.get(); }

 private:
  std::string method_name_;
  std::unique_ptr<T> arguments_;
};

}  // namespace flutter

#endif  // MESSAGING_METHOD_CALL_H_
