#ifndef KESTRUNE_RUNNER_UTILS_H_
#define KESTRUNE_RUNNER_UTILS_H_

#include <optional>
#include <string>
#include <vector>

// Opens a new console for the process and points standard output and error at it.
void AttachDebugConsole();

// The process's command line as UTF-8 strings, without the program name; empty
// when the line cannot be split.
std::vector<std::string> CommandLineArgumentsUtf8();

// UTF-16 to UTF-8. Reads at most 32767 units; an invalid sequence (a lone
// surrogate) or a null pointer gives an empty string.
std::string Utf16ToUtf8(const wchar_t* utf16_string);

// The same, except that an unpaired surrogate becomes U+FFFD instead of
// failing the whole text: for text cut at a fixed length, such as window
// titles, which may end inside a surrogate pair.
std::string Utf16ToUtf8Lenient(const wchar_t* utf16_string);

// The value of an environment variable, or nothing when it is not set at all
// (an empty value is a value).
std::optional<std::wstring> ReadEnvironment(const wchar_t* name);

// True in the capsule process: KESTRUNE_CAPSULE exists, whatever its value.
bool IsCapsuleProcess();

#endif  // KESTRUNE_RUNNER_UTILS_H_
