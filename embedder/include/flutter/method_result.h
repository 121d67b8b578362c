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

  void Error(const std::string& code, const std::string& message, const T& details) {
    if (TakeAnswer()) {
      ErrorInternal(code, message, &details);
    }
  }

  void Error(const std::string& code, const std::string& message = "") {
    if (TakeAnswer()) {
      ErrorInternal(code, message, nullptr);
    }
  }

  void NotImplemented() {
    if (TakeAnswer()) {
      NotImplementedInternal();
    }
  }

 protected:
  // True once any answer has been given.
  bool answered() const { return answered_; }

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

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_METHOD_RESULT_H_
