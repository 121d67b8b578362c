#ifndef KESTRUNE_EMBEDDER_CHANNEL_ROUTER_H_
#define KESTRUNE_EMBEDDER_CHANNEL_ROUTER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <flutter/binary_messenger.h>
#include "embedder/bridge_protocol.h"

namespace flutter {

// The engine's messenger: routes messages from the interface to channel
// handlers, and messages to the interface into bridge frames, matching replies
// to their requests. Used on the main thread only.
class ChannelRouter : public BinaryMessenger {
 public:
  enum class Direction { kToInterface, kFromInterface };

  // Writes one frame to the interface; returns false when there is none.
  using FrameSink = std::function<bool(const bridge::Frame& frame)>;
  using TrafficObserver = std::function<void(Direction direction,
                                             const std::string& channel,
                                             const uint8_t* message,
                                             size_t message_size)>;

  ChannelRouter() = default;
  ~ChannelRouter() override;

  void SetFrameSink(FrameSink sink) { sink_ = std::move(sink); }
  void SetTrafficObserver(TrafficObserver observer) { observer_ = std::move(observer); }

  // BinaryMessenger. Without a connected interface a message is dropped and
  // its reply, if any, is answered empty at once.
  void Send(const std::string& channel,
            const uint8_t* message,
            size_t message_size,
            BinaryReply reply = nullptr) const override;
  void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) override;

  // Handles one frame from the interface. Returns false with the reason when
  // the frame is malformed; the caller then ends the connection.
  bool HandleFrame(const bridge::Frame& frame, std::string* error);

  // The interface went away: replies still awaited are answered empty.
  void OnDisconnected();

  // Names of the channels with a handler, sorted.
  std::vector<std::string> HandledChannels() const;

 private:
  bool HandleMessage(const bridge::Frame& frame, std::string* error);
  bool HandleReply(const bridge::Frame& frame, std::string* error);
  void SendReply(uint32_t reply_id, const uint8_t* data, size_t size) const;

  FrameSink sink_;
  TrafficObserver observer_;
  std::map<std::string, BinaryMessageHandler> handlers_;
  mutable uint32_t next_reply_id_ = 1;
  mutable std::map<uint32_t, BinaryReply> pending_replies_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_CHANNEL_ROUTER_H_
