#include "tests/support/pipe_client.h"

#include <algorithm>

namespace kr_test {

bool PipeClient::Connect(DWORD timeout_ms) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  do {
    pipe_.reset(::CreateFileW(L"\\\\.\\pipe\\Kestrune_Capsule", GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  } while (!pipe_ && ::GetTickCount64() < deadline && (::Sleep(20), true));
  return pipe_.is_valid();
}

std::string PipeClient::Header(uint32_t size) {
  return {static_cast<char>(size), static_cast<char>(size >> 8), static_cast<char>(size >> 16),
          static_cast<char>(size >> 24)};
}

bool PipeClient::Send(const std::string& message) {
  return SendRaw(Header(static_cast<uint32_t>(message.size())) + message);
}

bool PipeClient::SendRaw(const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(pipe_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}

bool PipeClient::ReadExact(char* buffer, DWORD size, ULONGLONG deadline) {
  // Yield for the first moments, then sleep: replies are usually immediate, and
  // a plain Sleep would add its whole granularity to every read.
  ULONGLONG spin_until = ::GetTickCount64() + 3;
  for (DWORD done = 0, available = 0, read = 0; done < size; done += read) {
    read = 0;
    if (!::PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr)) {
      return false;
    }
    if (available > 0) {
      if (!::ReadFile(pipe_.get(), buffer + done, std::min(available, size - done), &read,
                      nullptr)) {
        return false;
      }
    } else if (::GetTickCount64() >= deadline) {
      return false;
    } else {
      ::Sleep(::GetTickCount64() < spin_until ? 0 : 1);
    }
  }
  return true;
}

std::optional<std::string> PipeClient::ReadFrame(DWORD timeout_ms) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  unsigned char header[4];
  if (!ReadExact(reinterpret_cast<char*>(header), 4, deadline)) {
    return std::nullopt;
  }
  uint32_t size =
      header[0] | header[1] << 8 | header[2] << 16 | static_cast<uint32_t>(header[3]) << 24;
  std::string message(size, '\0');
  if (!ReadExact(message.data(), size, deadline)) {
    return std::nullopt;
  }
  return message;
}

}  // namespace kr_test
