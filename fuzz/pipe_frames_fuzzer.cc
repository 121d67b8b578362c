// Capsule pipe frame assembly: the first input byte picks the piece size the
// bytes arrive in, which must not change the messages assembled; each message
// framed again reads back alone.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "capsule/pipe_frames.h"
#include "fuzz/fuzz_check.h"

namespace {

std::vector<std::string> Assemble(std::string_view bytes, size_t piece) {
  std::vector<std::string> messages;
  PipeFrameReader reader;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    reader.Feed(bytes.substr(at, piece),
                [&messages](std::string_view message) { messages.emplace_back(message); });
  }
  return messages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = data[0] % 16 + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::vector<std::string> whole = Assemble(bytes, bytes.size() + 1);
  FUZZ_CHECK(Assemble(bytes, piece) == whole);
  for (const std::string& message : whole) {
    FUZZ_CHECK(!message.empty() && message.size() <= kMaxPipeMessageSize);
    FUZZ_CHECK(Assemble(EncodePipeFrame(message), piece) == std::vector<std::string>{message});
  }
  return 0;
}
