#ifndef KESTRUNE_RUNNER_ENV_SWITCH_H_
#define KESTRUNE_RUNNER_ENV_SWITCH_H_

#include <optional>
#include <string>

// Environment switches are on when their first character is '1' or 't'; some
// switches also take 'T'. Reading the environment is left to the caller so the
// rule stays testable everywhere.
enum class SwitchCase { kLowerOnly, kAlsoUpperT };

inline bool SwitchOn(const std::optional<std::wstring>& value, SwitchCase letter_case) {
  if (!value || value->empty()) {
    return false;
  }
  wchar_t first = (*value)[0];
  return first == L'1' || first == L't' ||
         (letter_case == SwitchCase::kAlsoUpperT && first == L'T');
}

#endif  // KESTRUNE_RUNNER_ENV_SWITCH_H_
