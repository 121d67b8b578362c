#ifndef KESTRUNE_EMBEDDER_BRIDGE_PROTOCOL_H_
#define KESTRUNE_EMBEDDER_BRIDGE_PROTOCOL_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The UI bridge carries channel traffic between the host and a scripted
// interface over one loopback TCP connection. Each frame is a little-endian
// uint32 payload length followed by the payload; the payload's first byte is
// its kind:
//   kHello    host -> bridge  standard-codec map {"token","role","pid","args"}
//   kWelcome  bridge -> host  standard-codec map {"token"[, "peer"]}
//   kMessage  both ways       uint32 reply id (0: no answer wanted), uint32
//                             channel name length, name (UTF-8), message bytes
//   kReply    both ways       uint32 reply id, reply bytes (empty: no handler)
namespace bridge {

enum class FrameKind : uint8_t { kHello = 1, kWelcome = 2, kMessage = 3, kReply = 4 };

// Anything larger is a broken or hostile peer, not a message.
inline constexpr uint32_t kMaxPayloadSize = 64u * 1024 * 1024;
inline constexpr size_t kHeaderSize = 4;
inline constexpr size_t kMaxChannelNameSize = 1024;

struct Frame {
  FrameKind kind = FrameKind::kMessage;
  uint32_t reply_id = 0;
  std::string channel;        // kMessage only
  std::vector<uint8_t> data;  // codec bytes: hello/welcome map, message or reply
};

// Header plus payload, ready to write.
std::vector<uint8_t> EncodeFrame(const Frame& frame);

// Reads the payload length from a 4-byte header; nothing when it is out of
// range (0 or above kMaxPayloadSize), with the reason in |error|.
std::optional<uint32_t> ParseHeader(const uint8_t header[kHeaderSize], std::string* error);

// Parses one payload (without its header); nothing when malformed.
std::optional<Frame> ParsePayload(const uint8_t* payload, size_t size, std::string* error);

// The KR_UI_BRIDGE setting: "PORT:TOKEN", a port from 1 to 65535 and a token of
// 8 to 256 printable ASCII characters without spaces.
struct Address {
  uint16_t port = 0;
  std::string token;
};
std::optional<Address> ParseSetting(std::string_view setting, std::string* error);

// The welcome's codec bytes: a map with a string "token" and an optional
// "peer", the interface's name for the view (1 to 64 bytes, no control
// characters). Nothing when malformed.
struct Welcome {
  std::string token;
  std::string peer;  // empty when not given
};
std::optional<Welcome> ParseWelcome(const std::vector<uint8_t>& data, std::string* error);

}  // namespace bridge

#endif  // KESTRUNE_EMBEDDER_BRIDGE_PROTOCOL_H_
