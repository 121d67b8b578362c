#include "capsule/pipe_frames.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

PipeFrameHeader EncodePipeFrameHeader(uint32_t message_size) {
  return {static_cast<char>(message_size & 0xFF), static_cast<char>((message_size >> 8) & 0xFF),
          static_cast<char>((message_size >> 16) & 0xFF),
          static_cast<char>((message_size >> 24) & 0xFF)};
}

std::string EncodePipeFrame(std::string_view message) {
  const PipeFrameHeader header = EncodePipeFrameHeader(static_cast<uint32_t>(message.size()));
  std::string frame;
  frame.reserve(header.size() + message.size());
  frame.append(header.data(), header.size());
  frame.append(message);
  return frame;
}

PipeFrameReader::PipeFrameReader() {
  message_.reserve(kMaxPipeMessageSize);
}

void PipeFrameReader::Feed(std::string_view bytes, const MessageHandler& on_message) {
  while (!bytes.empty()) {
    if (message_size_ == 0) {
      const size_t take = std::min(bytes.size(), header_.size() - header_filled_);
      std::copy_n(bytes.begin(), take, header_.begin() + header_filled_);
      header_filled_ += take;
      bytes.remove_prefix(take);
      if (header_filled_ < header_.size()) {
        return;
      }
      header_filled_ = 0;
      const uint32_t size = static_cast<uint32_t>(static_cast<uint8_t>(header_[0])) |
                            static_cast<uint32_t>(static_cast<uint8_t>(header_[1])) << 8 |
                            static_cast<uint32_t>(static_cast<uint8_t>(header_[2])) << 16 |
                            static_cast<uint32_t>(static_cast<uint8_t>(header_[3])) << 24;
      if (size == 0 || size > kMaxPipeMessageSize) {
        ++skipped_headers_;
        continue;
      }
      message_size_ = size;
      message_.clear();
      continue;
    }
    const size_t take = std::min<size_t>(bytes.size(), message_size_ - message_.size());
    message_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (message_.size() == message_size_) {
      message_size_ = 0;
      on_message(message_);
      message_.clear();
    }
  }
}

void PipeFrameReader::DropPartialFrame() {
  header_filled_ = 0;
  message_size_ = 0;
  message_.clear();
}
