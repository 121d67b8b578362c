#include "embedder/channel_router.h"

#include <memory>

#include <flutter/method_result.h>
#include <flutter/standard_method_codec.h>

namespace flutter {
namespace {

// Accepts any answer; used to check that a reply envelope is well formed.
class DiscardingResult : public MethodResult<EncodableValue> {
 protected:
  void SuccessInternal(const EncodableValue*) override {}
  void ErrorInternal(const std::string&, const std::string&, const EncodableValue*) override {}
  void NotImplementedInternal() override {}
};

}  // namespace

ChannelRouter::~ChannelRouter() {
  OnDisconnected();
}

void ChannelRouter::Send(const std::string& channel,
                         const uint8_t* message,
                         size_t message_size,
                         BinaryReply reply) const {
  if (observer_) {
    observer_(Direction::kToInterface, channel, message, message_size);
  }
  bridge::Frame frame;
  frame.kind = bridge::FrameKind::kMessage;
  frame.channel = channel;
  frame.data.assign(message, message + message_size);
  if (reply) {
    frame.reply_id = next_reply_id_++;
    if (next_reply_id_ == 0) {
      next_reply_id_ = 1;  // 0 means "no answer wanted"
    }
  }
  if (!sink_ || !sink_(frame)) {
    if (reply) {
      reply(nullptr, 0);
    }
    return;
  }
  if (reply) {
    pending_replies_[frame.reply_id] = std::move(reply);
  }
}

void ChannelRouter::SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) {
  if (handler) {
    handlers_[channel] = std::move(handler);
  } else {
    handlers_.erase(channel);
  }
}

bool ChannelRouter::HandleFrame(const bridge::Frame& frame, std::string* error) {
  switch (frame.kind) {
    case bridge::FrameKind::kMessage:
      return HandleMessage(frame, error);
    case bridge::FrameKind::kReply:
      return HandleReply(frame, error);
    default:
      if (error != nullptr) {
        *error = "unexpected handshake frame";
      }
      return false;
  }
}

bool ChannelRouter::HandleMessage(const bridge::Frame& frame, std::string* error) {
  // Every channel of the host speaks the method codec, so a message that is no
  // method call is malformed rather than merely unhandled.
  std::string reason;
  if (!StandardMethodCodec::GetInstance().DecodeMethodCall(frame.data.data(), frame.data.size(),
                                                           &reason)) {
    if (error != nullptr) {
      *error = "bad method call on " + frame.channel + ": " + reason;
    }
    return false;
  }
  if (observer_) {
    observer_(Direction::kFromInterface, frame.channel, frame.data.data(), frame.data.size());
  }
  uint32_t reply_id = frame.reply_id;
  auto handler = handlers_.find(frame.channel);
  if (handler == handlers_.end()) {
    SendReply(reply_id, nullptr, 0);
    return true;
  }
  // The answer may come later; it goes out once, and only when one is awaited.
  auto answered = std::make_shared<bool>(false);
  BinaryReply reply = [this, reply_id, answered](const uint8_t* data, size_t size) {
    if (*answered) {
      return;
    }
    *answered = true;
    SendReply(reply_id, data, size);
  };
  // Copied: the handler may replace itself while it runs.
  BinaryMessageHandler run = handler->second;
  BinaryReply unanswered = reply;
  try {
    run(frame.data.data(), frame.data.size(), std::move(reply));
  } catch (...) {
    // Contained here, so the frames after this one are still handled; the
    // call itself gets the empty answer unless it was answered already.
    unanswered(nullptr, 0);
  }
  return true;
}

bool ChannelRouter::HandleReply(const bridge::Frame& frame, std::string* error) {
  auto pending = pending_replies_.find(frame.reply_id);
  if (pending == pending_replies_.end()) {
    if (error != nullptr) {
      *error = "reply to unknown request " + std::to_string(frame.reply_id);
    }
    return false;
  }
  DiscardingResult check;
  std::string reason;
  if (!frame.data.empty() && !StandardMethodCodec::GetInstance().DecodeAndProcessResponseEnvelope(
                                 frame.data.data(), frame.data.size(), &check, &reason)) {
    if (error != nullptr) {
      *error = "bad reply envelope: " + reason;
    }
    return false;
  }
  BinaryReply reply = std::move(pending->second);
  pending_replies_.erase(pending);
  reply(frame.data.data(), frame.data.size());
  return true;
}

void ChannelRouter::SendReply(uint32_t reply_id, const uint8_t* data, size_t size) const {
  if (reply_id == 0 || !sink_) {
    return;
  }
  bridge::Frame frame;
  frame.kind = bridge::FrameKind::kReply;
  frame.reply_id = reply_id;
  if (size > 0) {
    frame.data.assign(data, data + size);
  }
  sink_(frame);
}

void ChannelRouter::OnDisconnected() {
  std::map<uint32_t, BinaryReply> pending;
  pending.swap(pending_replies_);
  for (auto& [id, reply] : pending) {
    reply(nullptr, 0);
  }
}

std::vector<std::string> ChannelRouter::HandledChannels() const {
  std::vector<std::string> names;
  for (const auto& [name, handler] : handlers_) {
    names.push_back(name);
  }
  return names;
}

}  // namespace flutter
