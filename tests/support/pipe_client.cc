#include "tests/support/pipe_client.h"

namespace kr_test {

bool PipeClient::Connect(DWORD timeout_ms) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  do {
    pipe_.reset(::CreateFileW(L"\\\\.\\pipe\\Kestrune_Capsule", GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  } while (!pipe_ && ::GetTickCount64() < deadline && (::Sleep(20), true));
  return pipe_.is_valid();
}

bool PipeClient::SendRaw(const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(pipe_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}

std::optional<std::string> PipeClient::ReadFrame(DWORD timeout_ms) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  // Yield for the first moments, then sleep: replies are usually immediate, and
  // a plain Sleep would add its whole granularity to every read.
  ULONGLONG spin_until = ::GetTickCount64() + 3;
  while (frames_.empty()) {
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr)) {
      return std::nullopt;
    }
    if (available > 0) {
      std::string bytes(available, '\0');
      if (!::ReadFile(pipe_.get(), bytes.data(), available, &available, nullptr)) {
        return std::nullopt;
      }
      reader_.Feed(std::string_view(bytes).substr(0, available),
                   [this](std::string_view message) { frames_.emplace_back(message); });
    } else if (::GetTickCount64() >= deadline) {
      return std::nullopt;
    } else {
      ::Sleep(::GetTickCount64() < spin_until ? 0 : 1);
    }
  }
  std::string frame = std::move(frames_.front());
  frames_.pop_front();
  return frame;
}

}  // namespace kr_test
