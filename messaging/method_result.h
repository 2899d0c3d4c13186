#ifndef MESSAGING_METHOD_RESULT_H_
#define MESSAGING_METHOD_RESULT_H_

#include <string>

#include "messaging/encodable_value.h"

namespace flutter {

// The answer to one method call: exactly one of Success, Error or
// NotImplemented. Implementations decide what answering means (sending an
// envelope back, calling a callback) in the On* operations.
template <typename T = EncodableValue>
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;

  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const T& result) { OnSuccess(&result); }
  void Success() { OnSuccess(nullptr); }

  void Error(const std::string& error_code,
             const std::string& error_message,
             const T& error_details) {
    OnError(error_code, error_message, &error_details);
  }
  void Error(const std::string& error_code, const std::string& error_message = std::string()) {
    OnError(error_code, error_message, nullptr);
  }

  void NotImplemented() { OnNotImplemented(); }

 protected:
  // `result` and `error_details` are nullptr when there is no value.
  virtual void OnSuccess(const T* result) = 0;
  virtual void OnError(const std::string& error_code,
                       const std::string& error_message,
                       const T* error_details) = 0;
  virtual void OnNotImplemented() = 0;
};

}  // namespace flutter

#endif  // MESSAGING_METHOD_RESULT_H_
