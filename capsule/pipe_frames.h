#ifndef KESTRUNE_CAPSULE_PIPE_FRAMES_H_
#define KESTRUNE_CAPSULE_PIPE_FRAMES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Each message on the capsule pipe, both ways, is a 4-byte little-endian length
// followed by exactly that many bytes of UTF-8 JSON (no newline, no null).

inline constexpr size_t kPipeFrameHeaderSize = 4;

// Incoming messages above this size are refused, as are empty ones.
inline constexpr uint32_t kMaxPipeMessageSize = 65536;

using PipeFrameHeader = std::array<char, kPipeFrameHeaderSize>;

// The header announcing |message_size| bytes. Outgoing sizes are not capped
// here; the outbox keeps them far below 4 GiB.
PipeFrameHeader EncodePipeFrameHeader(uint32_t message_size);

// Header and message in one string, for writers that send a frame at once.
// |message| must be shorter than 4 GiB.
std::string EncodePipeFrame(std::string_view message);

// Assembles incoming messages from bytes fed in whatever pieces the pipe
// delivers. A header announcing 0 or more than kMaxPipeMessageSize bytes is
// skipped: only its 4 bytes are consumed and the next 4 bytes are read as a
// header. Not thread-safe; owned by the one thread reading the pipe.
class PipeFrameReader {
 public:
  using MessageHandler = std::function<void(std::string_view message)>;

  PipeFrameReader();

  // Consumes all of |bytes| and calls |on_message| for each message completed
  // by them, in order. The view passed to |on_message| is valid only during the
  // call, and |on_message| must not call back into the reader.
  void Feed(std::string_view bytes, const MessageHandler& on_message);

  // Drops a half-read header or message, e.g. when the peer is gone.
  void DropPartialFrame();

  // True while a header or message has been started but not completed.
  bool HasPartialFrame() const { return header_filled_ > 0 || message_size_ > 0; }

  // Headers skipped for announcing an unacceptable size, since construction.
  uint64_t skipped_headers() const { return skipped_headers_; }

 private:
  PipeFrameHeader header_{};
  size_t header_filled_ = 0;
  // Size announced by the current header; 0 while reading a header.
  uint32_t message_size_ = 0;
  // Assembly buffer of the largest acceptable size, allocated once.
  std::string message_;
  uint64_t skipped_headers_ = 0;
};

#endif  // KESTRUNE_CAPSULE_PIPE_FRAMES_H_
