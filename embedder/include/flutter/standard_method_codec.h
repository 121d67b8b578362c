#ifndef KESTRUNE_EMBEDDER_STANDARD_METHOD_CODEC_H_
#define KESTRUNE_EMBEDDER_STANDARD_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <flutter/encodable_value.h>
#include <flutter/standard_message_codec.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>

namespace flutter {

// Method calls and response envelopes built from standard-codec values, laid
// out in one buffer so alignment counts from the start of that buffer.
class StandardMethodCodec {
 public:
  static const StandardMethodCodec& GetInstance();

  StandardMethodCodec(const StandardMethodCodec&) = delete;
  StandardMethodCodec& operator=(const StandardMethodCodec&) = delete;

  // The method name as a string followed by the arguments (null if absent).
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<EncodableValue>& call) const;

  // Returns null on malformed input, including a name that is not a string.
  // The decoded call always has arguments; a call without any carries null.
  std::unique_ptr<MethodCall<EncodableValue>> DecodeMethodCall(const uint8_t* data,
                                                               size_t size,
                                                               std::string* error = nullptr) const;

  // Byte 0 followed by |result|, or null if |result| is null.
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result = nullptr) const;

  // Byte 1, the code, the message (null when empty) and the details (null
  // when absent).
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& code,
      const std::string& message = "",
      const EncodableValue* details = nullptr) const;

  // Validates a whole response and only then reports it to |result|, which
  // may be null to validate alone. An empty response means the other side
  // has no handler: NotImplemented. A null success value or null error
  // details are reported as a null pointer. Returns false, without touching
  // |result|, on malformed input.
  bool DecodeAndProcessResponseEnvelope(const uint8_t* data,
                                        size_t size,
                                        MethodResult<EncodableValue>* result,
                                        std::string* error = nullptr) const;

 private:
  StandardMethodCodec() = default;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_STANDARD_METHOD_CODEC_H_
