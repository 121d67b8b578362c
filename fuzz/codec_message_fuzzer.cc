// Standard message codec: whatever decodes encodes again, and those bytes decode
// to the same value and encode to the same bytes.
#include <cstddef>
#include <cstdint>
#include <functional>

#include <flutter/standard_message_codec.h>
#include <flutter/standard_method_codec.h>
#include "fuzz/fuzz_check.h"

using flutter::EncodableValue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& codec = flutter::StandardMessageCodec::GetInstance();
  auto value = codec.DecodeMessage(data, size);
  if (!value) {
    return 0;
  }
  // The decoder bounds every size by the input, so the encoder cannot refuse it.
  auto bytes = codec.EncodeMessage(*value);
  FUZZ_CHECK(bytes != nullptr);
  auto again = codec.DecodeMessage(*bytes);
  FUZZ_CHECK(again != nullptr);
  // std::less treats NaN as equal to NaN, where == would not.
  const std::less<EncodableValue> less;
  FUZZ_CHECK(!less(*value, *again) && !less(*again, *value));
  FUZZ_CHECK(*codec.EncodeMessage(*again) == *bytes);
  return 0;
}
