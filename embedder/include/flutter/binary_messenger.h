#ifndef KESTRUNE_EMBEDDER_BINARY_MESSENGER_H_
#define KESTRUNE_EMBEDDER_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Answers one message; called at most once. Empty data means "no handler".
typedef std::function<void(const uint8_t* reply, size_t reply_size)> BinaryReply;

// Handles one incoming message on a channel.
typedef std::function<void(const uint8_t* message, size_t message_size, BinaryReply reply)>
    BinaryMessageHandler;

// Moves raw messages between the host and the interface, by channel name.
class BinaryMessenger {
 public:
  virtual ~BinaryMessenger() = default;

  // Sends |message| to the interface; |reply|, if given, receives its answer.
  virtual void Send(const std::string& channel,
                    const uint8_t* message,
                    size_t message_size,
                    BinaryReply reply = nullptr) const = 0;

  // Installs (or with null, removes) the handler of |channel|.
  virtual void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) = 0;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_BINARY_MESSENGER_H_
