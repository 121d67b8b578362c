#include "tests/support/pipe_client.h"

namespace kr_test {

namespace {
constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\Kestrune_Capsule";
}  // namespace

bool PipeClient::Connect(DWORD timeout_ms) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  while (::GetTickCount64() < deadline) {
    pipe_.reset(::CreateFileW(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr));
    if (pipe_) {
      return true;
    }
    ::Sleep(20);
  }
  return false;
}

std::string PipeClient::Header(uint32_t size) {
  std::string header(4, '\0');
  for (int i = 0; i < 4; ++i) {
    header[i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  }
  return header;
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
  DWORD done = 0;
  // Yield for the first moments, then sleep: replies are usually immediate, and
  // a plain Sleep would add its whole granularity to every read.
  ULONGLONG spin_until = ::GetTickCount64() + 3;
  while (done < size) {
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr)) {
      return false;
    }
    if (available == 0) {
      if (::GetTickCount64() >= deadline) {
        return false;
      }
      ::Sleep(::GetTickCount64() < spin_until ? 0 : 1);
      continue;
    }
    DWORD read = 0;
    DWORD wanted = available < size - done ? available : size - done;
    if (!::ReadFile(pipe_.get(), buffer + done, wanted, &read, nullptr)) {
      return false;
    }
    done += read;
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
  if (size > 0 && !ReadExact(message.data(), size, deadline)) {
    return std::nullopt;
  }
  return message;
}

}  // namespace kr_test
