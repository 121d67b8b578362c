#include "tests/support/log_reader.h"

#include "runner/unique_resource.h"
#include "tests/support/wait.h"

namespace kr_test {

std::string ReadWholeFile(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (file && ::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

LogReader::LogReader(const std::wstring& path) : path_(path), start_(ReadWholeFile(path).size()) {}

std::vector<std::string> LogReader::NewLines() const {
  std::string bytes = ReadWholeFile(path_);
  std::vector<std::string> lines;
  // A line still being written has no end yet.
  for (size_t pos = start_, end; (end = bytes.find('\n', pos)) != std::string::npos;
       pos = end + 1) {
    lines.push_back(bytes.substr(pos, end - pos - (end > pos && bytes[end - 1] == '\r')));
  }
  return lines;
}

std::vector<std::string> LogReader::NewMessages() const {
  std::vector<std::string> messages;
  for (const std::string& line : NewLines()) {
    size_t separator = line.find(" | ");
    messages.push_back(separator == std::string::npos ? line : line.substr(separator + 3));
  }
  return messages;
}

bool LogReader::WaitForMessage(const std::string& text, DWORD timeout_ms) const {
  return WaitUntil([&] { return CountMessages(text) > 0; }, timeout_ms);
}

size_t LogReader::CountMessages(const std::string& text) const {
  size_t count = 0;
  for (const std::string& message : NewMessages()) {
    count += message.find(text) != std::string::npos;
  }
  return count;
}

}  // namespace kr_test
