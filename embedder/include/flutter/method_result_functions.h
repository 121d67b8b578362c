#ifndef KESTRUNE_EMBEDDER_METHOD_RESULT_FUNCTIONS_H_
#define KESTRUNE_EMBEDDER_METHOD_RESULT_FUNCTIONS_H_

#include <functional>
#include <string>
#include <utility>

#include <flutter/method_result.h>

namespace flutter {

template <typename T>
using ResultHandlerSuccess = std::function<void(const T* result)>;
template <typename T>
using ResultHandlerError =
    std::function<void(const std::string& code, const std::string& message, const T* details)>;
template <typename T>
using ResultHandlerNotImplemented = std::function<void()>;

// A MethodResult that forwards to callbacks. Any callback may be empty, in
// which case that kind of answer is dropped.
template <typename T>
class MethodResultFunctions : public MethodResult<T> {
 public:
  MethodResultFunctions(ResultHandlerSuccess<T> on_success,
                        ResultHandlerError<T> on_error,
                        ResultHandlerNotImplemented<T> on_not_implemented)
      : on_success_(std::move(on_success)),
        on_error_(std::move(on_error)),
        on_not_implemented_(std::move(on_not_implemented)) {}

  ~MethodResultFunctions() override = default;

 protected:
  void SuccessInternal(const T* result) override {
    if (on_success_) {
      on_success_(result);
    }
  }

  void ErrorInternal(const std::string& code,
                     const std::string& message,
                     const T* details) override {
    if (on_error_) {
      on_error_(code, message, details);
    }
  }

  void NotImplementedInternal() override {
    if (on_not_implemented_) {
      on_not_implemented_();
    }
  }

 private:
  ResultHandlerSuccess<T> on_success_;
  ResultHandlerError<T> on_error_;
  ResultHandlerNotImplemented<T> on_not_implemented_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_METHOD_RESULT_FUNCTIONS_H_
