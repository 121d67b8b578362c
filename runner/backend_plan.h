#ifndef KESTRUNE_RUNNER_BACKEND_PLAN_H_
#define KESTRUNE_RUNNER_BACKEND_PLAN_H_

#include <string>
#include <string_view>
#include <vector>

// Decisions of the backend launcher that need no Win32.

// The port in the bridge's port file |text| (its first bytes): trailing line
// ends and spaces dropped, then read as a decimal int the way strtol reads it
// (leading white space and a sign allowed, anything after the digits ignored).
// 0 when there are no digits or the value leaves the 32-bit range; zero and
// negative values are returned as they are.
int ParseBridgePort(std::string_view text);

// The folders of a PATH value to search for the interpreter, in order. Only
// absolute entries are kept (drive or UNC), so that neither the current folder
// nor a relative entry can supply a planted program; the per-user
// "Microsoft\WindowsApps" alias folder goes too, as its python.exe only opens
// the Store. Quotes are removed and trailing separators trimmed.
std::vector<std::wstring> InterpreterSearchFolders(std::wstring_view path);

// The command line of a backend: the interpreter in quotes, a space, the
// arguments as they are.
std::wstring BackendCommandLine(std::wstring_view interpreter, std::wstring_view arguments);

// |path| cut before its last "\" or "/"; |path| itself when it has neither.
std::wstring_view ParentFolder(std::wstring_view path);

inline constexpr wchar_t kBridgeArguments[] = L"kestrune_bridge_server.py";
inline constexpr wchar_t kSenseRunnerArguments[] = L"-m sense.runner --run";

// The argument texts of the backends to start, in start order, given which
// already answer: the bridge first, as the runner talks to it.
std::vector<std::wstring_view> BackendsToStart(bool bridge_running, bool runner_running);

#endif  // KESTRUNE_RUNNER_BACKEND_PLAN_H_
