#include "tests/support/log_reader.h"

#include "runner/unique_resource.h"
#include "tests/support/wait.h"

namespace kr_test {

unsigned long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    return 0;
  }
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ReadWholeFile(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    return std::string();
  }
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

LogReader::LogReader(const std::wstring& path) : path_(path), start_(FileSize(path)) {}

std::vector<std::string> LogReader::NewLines() const {
  std::string bytes = ReadWholeFile(path_);
  std::vector<std::string> lines;
  if (bytes.size() <= start_) {
    return lines;
  }
  size_t pos = static_cast<size_t>(start_);
  while (true) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) {
      break;  // a line still being written
    }
    std::string line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(std::move(line));
    pos = end + 1;
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
    if (message.find(text) != std::string::npos) {
      ++count;
    }
  }
  return count;
}

}  // namespace kr_test
