#include "runner/backend_plan.h"

#include <cstdint>
#include <limits>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

wchar_t Lower(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix) {
  if (text.size() < suffix.size()) {
    return false;
  }
  text.remove_prefix(text.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    wchar_t a = IsSeparator(text[i]) ? L'\\' : Lower(text[i]);
    if (a != Lower(suffix[i])) {
      return false;
    }
  }
  return true;
}

// "C:\..." (a drive and a separator) or "\\server\share...".
bool IsAbsolute(std::wstring_view folder) {
  bool drive =
      folder.size() >= 3 &&
      ((folder[0] >= L'A' && folder[0] <= L'Z') || (folder[0] >= L'a' && folder[0] <= L'z')) &&
      folder[1] == L':' && IsSeparator(folder[2]);
  bool unc = folder.size() >= 3 && IsSeparator(folder[0]) && IsSeparator(folder[1]) &&
             !IsSeparator(folder[2]);
  return drive || unc;
}

}  // namespace

int ParseBridgePort(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at >= text.size() || text[at] < '0' || text[at] > '9') {
    return 0;
  }
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
      return 0;  // stops growing before it could overflow
    }
  }
  value = negative ? -value : value;
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) {
    return 0;
  }
  return static_cast<int>(value);
}

std::vector<std::wstring> InterpreterSearchFolders(std::wstring_view path) {
  std::vector<std::wstring> folders;
  while (!path.empty()) {
    size_t end = path.find(L';');
    std::wstring folder;
    for (wchar_t c : path.substr(0, end)) {
      if (c != L'"') {
        folder += c;
      }
    }
    path.remove_prefix(end == std::wstring_view::npos ? path.size() : end + 1);
    // "C:\" keeps its separator: without it, it would name C:'s current folder.
    while (folder.size() > 3 && IsSeparator(folder.back())) {
      folder.pop_back();
    }
    if (IsAbsolute(folder) && !EndsWithNoCase(folder, L"\\Microsoft\\WindowsApps")) {
      folders.push_back(std::move(folder));
    }
  }
  return folders;
}

std::wstring BackendCommandLine(std::wstring_view interpreter, std::wstring_view arguments) {
  std::wstring line = L"\"";
  line += interpreter;
  line += L"\" ";
  line += arguments;
  return line;
}

std::wstring_view ParentFolder(std::wstring_view path) {
  size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring_view::npos ? path : path.substr(0, cut);
}

std::vector<std::wstring_view> BackendsToStart(bool bridge_running, bool runner_running) {
  std::vector<std::wstring_view> start;
  if (!bridge_running) {
    start.push_back(kBridgeArguments);
  }
  if (!runner_running) {
    start.push_back(kSenseRunnerArguments);
  }
  return start;
}
