#ifndef KESTRUNE_EMBEDDER_STANDARD_CODEC_H_
#define KESTRUNE_EMBEDDER_STANDARD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "embedder/encodable_value.h"
#include "embedder/method_call.h"
#include "embedder/method_result.h"

namespace flutter {

// Byte-compatible with the Dart side's StandardMessageCodec.
//
// Encoding writes the exact C++ alternative held (int32_t as a 32-bit integer,
// int64_t as a 64-bit one). Decoding treats its input as untrusted: it never
// reads out of bounds, never allocates more than the input could describe,
// refuses arbitrary-precision integers, and fails on trailing bytes.
class StandardMessageCodec {
 public:
  // Most lists and maps the decoder accepts nested inside one another. A value
  // inside N lists/maps is at depth N; a list or map is refused at depth 64,
  // so 64 nested lists decode and 65 do not. This bounds decoder recursion.
  static constexpr int kMaxNestingDepth = 64;

  static const StandardMessageCodec& GetInstance();

  StandardMessageCodec(const StandardMessageCodec&) = delete;
  StandardMessageCodec& operator=(const StandardMessageCodec&) = delete;

  // Returns null only if some string or list is too long for the 32-bit size
  // field.
  std::unique_ptr<std::vector<uint8_t>> EncodeMessage(const EncodableValue& message) const;

  // Decodes exactly one value filling all of |data|. Returns null on malformed
  // input and, if |error| is given, stores a short reason there. An empty
  // buffer is malformed; a channel that allows empty messages maps them to
  // null itself.
  std::unique_ptr<EncodableValue> DecodeMessage(const uint8_t* data,
                                                size_t size,
                                                std::string* error = nullptr) const;

  std::unique_ptr<EncodableValue> DecodeMessage(const std::vector<uint8_t>& message,
                                                std::string* error = nullptr) const {
    return DecodeMessage(message.data(), message.size(), error);
  }

 private:
  StandardMessageCodec() = default;
};

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

#endif  // KESTRUNE_EMBEDDER_STANDARD_CODEC_H_
