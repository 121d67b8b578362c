#include "embedder/bridge_protocol.h"

#include <charconv>

#include <flutter/standard_method_codec.h>

namespace bridge {
namespace {

void PutUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

uint32_t GetUint32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) {
    *error = text;
  }
}

}  // namespace

std::vector<uint8_t> EncodeFrame(const Frame& frame) {
  std::vector<uint8_t> payload;
  payload.push_back(static_cast<uint8_t>(frame.kind));
  if (frame.kind == FrameKind::kMessage || frame.kind == FrameKind::kReply) {
    PutUint32(payload, frame.reply_id);
  }
  if (frame.kind == FrameKind::kMessage) {
    PutUint32(payload, static_cast<uint32_t>(frame.channel.size()));
    payload.insert(payload.end(), frame.channel.begin(), frame.channel.end());
  }
  payload.insert(payload.end(), frame.data.begin(), frame.data.end());

  std::vector<uint8_t> out;
  out.reserve(kHeaderSize + payload.size());
  PutUint32(out, static_cast<uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

std::optional<uint32_t> ParseHeader(const uint8_t header[kHeaderSize], std::string* error) {
  uint32_t size = GetUint32(header);
  if (size == 0) {
    SetError(error, "empty frame");
    return std::nullopt;
  }
  if (size > kMaxPayloadSize) {
    SetError(error, "frame of " + std::to_string(size) + " bytes exceeds the limit");
    return std::nullopt;
  }
  return size;
}

std::optional<Frame> ParsePayload(const uint8_t* payload, size_t size, std::string* error) {
  if (size == 0) {
    SetError(error, "empty frame");
    return std::nullopt;
  }
  Frame frame;
  uint8_t kind = payload[0];
  size_t pos = 1;
  switch (kind) {
    case static_cast<uint8_t>(FrameKind::kHello):
    case static_cast<uint8_t>(FrameKind::kWelcome):
      frame.kind = static_cast<FrameKind>(kind);
      break;
    case static_cast<uint8_t>(FrameKind::kMessage):
    case static_cast<uint8_t>(FrameKind::kReply):
      frame.kind = static_cast<FrameKind>(kind);
      if (size - pos < 4) {
        SetError(error, "truncated frame");
        return std::nullopt;
      }
      frame.reply_id = GetUint32(payload + pos);
      pos += 4;
      break;
    default:
      SetError(error, "unknown frame kind " + std::to_string(kind));
      return std::nullopt;
  }
  if (frame.kind == FrameKind::kMessage) {
    if (size - pos < 4) {
      SetError(error, "truncated frame");
      return std::nullopt;
    }
    uint32_t name_size = GetUint32(payload + pos);
    pos += 4;
    if (name_size == 0 || name_size > kMaxChannelNameSize) {
      SetError(error, "bad channel name length " + std::to_string(name_size));
      return std::nullopt;
    }
    if (size - pos < name_size) {
      SetError(error, "channel name past the end of the frame");
      return std::nullopt;
    }
    frame.channel.assign(reinterpret_cast<const char*>(payload + pos), name_size);
    pos += name_size;
  }
  frame.data.assign(payload + pos, payload + size);
  return frame;
}

std::optional<Address> ParseSetting(std::string_view setting, std::string* error) {
  size_t colon = setting.find(':');
  if (colon == std::string_view::npos) {
    SetError(error, "expected PORT:TOKEN");
    return std::nullopt;
  }
  std::string_view port_text = setting.substr(0, colon);
  std::string_view token = setting.substr(colon + 1);
  unsigned port = 0;
  auto [end, ec] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (port_text.empty() || ec != std::errc() || end != port_text.data() + port_text.size() ||
      port == 0 || port > 65535) {
    SetError(error, "bad port");
    return std::nullopt;
  }
  if (token.size() < 8 || token.size() > 256) {
    SetError(error, "token must have 8 to 256 characters");
    return std::nullopt;
  }
  for (char c : token) {
    if (c <= ' ' || c > '~') {
      SetError(error, "token must be printable ASCII without spaces");
      return std::nullopt;
    }
  }
  Address address;
  address.port = static_cast<uint16_t>(port);
  address.token = std::string(token);
  return address;
}

std::optional<Welcome> ParseWelcome(const std::vector<uint8_t>& data, std::string* error) {
  std::string codec_error;
  std::unique_ptr<flutter::EncodableValue> value =
      flutter::StandardMessageCodec::GetInstance().DecodeMessage(data, &codec_error);
  const auto* map = value ? std::get_if<flutter::EncodableMap>(value.get()) : nullptr;
  if (map == nullptr) {
    SetError(error, value ? "welcome is not a map" : "welcome: " + codec_error);
    return std::nullopt;
  }
  auto find = [map](const char* key) -> const flutter::EncodableValue* {
    auto found = map->find(flutter::EncodableValue(key));
    return found == map->end() ? nullptr : &found->second;
  };
  const flutter::EncodableValue* token = find("token");
  const std::string* token_text = token ? std::get_if<std::string>(token) : nullptr;
  if (token_text == nullptr) {
    SetError(error, "welcome without a token");
    return std::nullopt;
  }
  Welcome welcome{*token_text, {}};
  if (const flutter::EncodableValue* peer = find("peer")) {
    const std::string* peer_text = std::get_if<std::string>(peer);
    bool valid = peer_text != nullptr && !peer_text->empty() && peer_text->size() <= 64;
    for (size_t i = 0; valid && i < peer_text->size(); ++i) {
      const unsigned char c = static_cast<unsigned char>((*peer_text)[i]);
      valid = c >= ' ' && c != 0x7f;
    }
    if (!valid) {
      SetError(error, "welcome peer must be a string of 1 to 64 bytes without control characters");
      return std::nullopt;
    }
    welcome.peer = *peer_text;
  }
  return welcome;
}

}  // namespace bridge
