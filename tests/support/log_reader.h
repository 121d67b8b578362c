#ifndef KESTRUNE_TESTS_SUPPORT_LOG_READER_H_
#define KESTRUNE_TESTS_SUPPORT_LOG_READER_H_

#include <windows.h>

#include <string>
#include <vector>

namespace kr_test {

// Reads what was appended to a log file after the reader was made, line by line
// (without line ends). Tests make one before they start the host.
class LogReader {
 public:
  explicit LogReader(const std::wstring& path);

  // Complete lines appended since construction.
  std::vector<std::string> NewLines() const;

  // Message texts (after "tick | ") of the new lines.
  std::vector<std::string> NewMessages() const;

  // Waits until a new message contains |text|.
  bool WaitForMessage(const std::string& text, DWORD timeout_ms = 5000) const;

  // Number of new messages containing |text|.
  size_t CountMessages(const std::string& text) const;

 private:
  std::wstring path_;
  size_t start_ = 0;
};

// The whole file as bytes (empty when missing).
std::string ReadWholeFile(const std::wstring& path);

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_LOG_READER_H_
