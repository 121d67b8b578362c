#ifndef KESTRUNE_EMBEDDER_METHOD_RESULT_H_
#define KESTRUNE_EMBEDDER_METHOD_RESULT_H_

#include <functional>
#include <string>
#include <utility>

namespace flutter {

// The reply side of a method call. A result answers at most once: every call
// after the first answer is ignored, so a handler that replies twice cannot
// send two responses for one request. Not thread-safe; answer on one thread.
template <typename T>
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;

  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const T& result) {
    if (TakeAnswer()) {
      SuccessInternal(&result);
    }
  }

  // Succeeds with no value (null on the wire).
  void Success() {
    if (TakeAnswer()) {
      SuccessInternal(nullptr);
    }
  }

  void Error(const std::string& code, const std::string& message = "", const T* details = nullptr) {
    if (TakeAnswer()) {
      ErrorInternal(code, message, details);
    }
  }

  void Error(const std::string& code, const std::string& message, const T& details) {
    Error(code, message, &details);
  }

  void NotImplemented() {
    if (TakeAnswer()) {
      NotImplementedInternal();
    }
  }

  // True once any answer has been given.
  bool answered() const { return answered_; }

 protected:
  // Each is called at most once per result, and only one of them is called.
  virtual void SuccessInternal(const T* result) = 0;
  virtual void ErrorInternal(const std::string& code,
                             const std::string& message,
                             const T* details) = 0;
  virtual void NotImplementedInternal() = 0;

 private:
  // Marks the result answered before forwarding, so an implementation that
  // answers again from inside its own callback is ignored too.
  bool TakeAnswer() {
    if (answered_) {
      return false;
    }
    answered_ = true;
    return true;
  }

  bool answered_ = false;
};

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

#endif  // KESTRUNE_EMBEDDER_METHOD_RESULT_H_
