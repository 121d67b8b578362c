#ifndef KESTRUNE_EMBEDDER_STANDARD_MESSAGE_CODEC_H_
#define KESTRUNE_EMBEDDER_STANDARD_MESSAGE_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <flutter/encodable_value.h>

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

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_STANDARD_MESSAGE_CODEC_H_
