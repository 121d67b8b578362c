#ifndef KESTRUNE_EMBEDDER_METHOD_CHANNEL_H_
#define KESTRUNE_EMBEDDER_METHOD_CHANNEL_H_

#include <functional>
#include <memory>
#include <string>

#include <flutter/binary_messenger.h>
#include <flutter/encodable_value.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>
#include <flutter/standard_method_codec.h>

namespace flutter {

template <typename T>
using MethodCallHandler =
    std::function<void(const MethodCall<T>& call, std::unique_ptr<MethodResult<T>> result)>;

namespace internal {

// Encodes a handler's answer into the reply envelope.
class EnvelopeResult : public MethodResult<EncodableValue> {
 public:
  EnvelopeResult(const StandardMethodCodec* codec, BinaryReply reply)
      : codec_(codec), reply_(std::move(reply)) {}

  // A handler that drops its result without answering still gets the caller an
  // answer (the empty one), instead of leaving it waiting forever.
  ~EnvelopeResult() override {
    if (!answered()) {
      NotImplemented();
    }
  }

 protected:
  void SuccessInternal(const EncodableValue* result) override {
    Reply(*codec_->EncodeSuccessEnvelope(result));
  }
  void ErrorInternal(const std::string& code,
                     const std::string& message,
                     const EncodableValue* details) override {
    Reply(*codec_->EncodeErrorEnvelope(code, message, details));
  }
  void NotImplementedInternal() override {
    if (reply_) {
      reply_(nullptr, 0);
    }
  }

 private:
  void Reply(const std::vector<uint8_t>& envelope) {
    if (reply_) {
      reply_(envelope.data(), envelope.size());
    }
  }

  const StandardMethodCodec* codec_;
  BinaryReply reply_;
};

}  // namespace internal

// A named channel of method calls in both directions, encoded with the
// standard method codec. Only EncodableValue is supported.
template <typename T = EncodableValue>
class MethodChannel {
 public:
  MethodChannel(BinaryMessenger* messenger,
                const std::string& name,
                const StandardMethodCodec* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}

  // Unlike a bare messenger registration, a released channel stops handling:
  // its handler usually refers to the object that owned the channel.
  ~MethodChannel() {
    if (has_handler_) {
      messenger_->SetMessageHandler(name_, nullptr);
    }
  }

  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  // Calls |method| in the interface. Without |result| no answer is awaited.
  void InvokeMethod(const std::string& method,
                    std::unique_ptr<T> arguments,
                    std::unique_ptr<MethodResult<T>> result = nullptr) {
    MethodCall<T> call(method, std::move(arguments));
    std::unique_ptr<std::vector<uint8_t>> message = codec_->EncodeMethodCall(call);
    if (!result) {
      messenger_->Send(name_, message->data(), message->size(), nullptr);
      return;
    }
    auto shared_result = std::shared_ptr<MethodResult<T>>(std::move(result));
    const StandardMethodCodec* codec = codec_;
    messenger_->Send(name_, message->data(), message->size(),
                     [shared_result, codec](const uint8_t* reply, size_t reply_size) {
                       codec->DecodeAndProcessResponseEnvelope(reply, reply_size,
                                                               shared_result.get());
                     });
  }

  // Installs the handler of calls from the interface (null removes it).
  void SetMethodCallHandler(MethodCallHandler<T> handler) {
    if (!handler) {
      messenger_->SetMessageHandler(name_, nullptr);
      has_handler_ = false;
      return;
    }
    const StandardMethodCodec* codec = codec_;
    messenger_->SetMessageHandler(
        name_, [handler = std::move(handler), codec](const uint8_t* message, size_t message_size,
                                                     BinaryReply reply) {
          std::unique_ptr<MethodCall<T>> call = codec->DecodeMethodCall(message, message_size);
          if (!call) {
            reply(nullptr, 0);
            return;
          }
          handler(*call, std::make_unique<internal::EnvelopeResult>(codec, std::move(reply)));
        });
    has_handler_ = true;
  }

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const StandardMethodCodec* codec_;
  bool has_handler_ = false;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_METHOD_CHANNEL_H_
