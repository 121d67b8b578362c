#ifndef KESTRUNE_TESTS_SUPPORT_PIPE_CLIENT_H_
#define KESTRUNE_TESTS_SUPPORT_PIPE_CLIENT_H_

#include <windows.h>

#include <deque>
#include <optional>
#include <string>

#include "capsule/pipe_frames.h"
#include "runner/unique_resource.h"

namespace kr_test {

// Plays the capsule's interface: the client end of the capsule pipe.
class PipeClient {
 public:
  // Connects to "\\.\pipe\Kestrune_Capsule"; false after |timeout_ms|.
  bool Connect(DWORD timeout_ms = 10000);
  void Close() { pipe_.reset(); }

  // Writes |message| as one frame.
  bool Send(const std::string& message) { return SendRaw(EncodePipeFrame(message)); }
  // Writes bytes as they are.
  bool SendRaw(const std::string& bytes);

  // The next whole frame from the host, or nothing after |timeout_ms|.
  std::optional<std::string> ReadFrame(DWORD timeout_ms = 5000);

 private:
  UniqueFileHandle pipe_;
  PipeFrameReader reader_;
  std::deque<std::string> frames_;
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_PIPE_CLIENT_H_
