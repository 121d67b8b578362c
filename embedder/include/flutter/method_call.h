#ifndef KESTRUNE_EMBEDDER_METHOD_CALL_H_
#define KESTRUNE_EMBEDDER_METHOD_CALL_H_

#include <memory>
#include <string>
#include <utility>

namespace flutter {

// A named method invocation with optional arguments, as carried on a method
// channel.
template <typename T>
class MethodCall {
 public:
  // |arguments| may be null when the call carries none.
  MethodCall(const std::string& method_name, std::unique_ptr<T> arguments)
      : method_name_(method_name), arguments_(std::move(arguments)) {}

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& method_name() const { return method_name_; }

  // Null when the call carries no arguments.
  const T* arguments() const { return arguments_.get(); }

 private:
  std::string method_name_;
  std::unique_ptr<T> arguments_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_METHOD_CALL_H_
