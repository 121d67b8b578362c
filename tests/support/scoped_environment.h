#ifndef KESTRUNE_TESTS_SUPPORT_SCOPED_ENVIRONMENT_H_
#define KESTRUNE_TESTS_SUPPORT_SCOPED_ENVIRONMENT_H_

#include <windows.h>

namespace kr_test {

// Sets an environment variable of this process for a scope (null value: unset),
// and removes it again at the end.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
    ::SetEnvironmentVariableW(name, value);
  }
  ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_, nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const wchar_t* name_;
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_SCOPED_ENVIRONMENT_H_
