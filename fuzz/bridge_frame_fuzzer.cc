// UI-bridge frames as the host reads them from its socket: a header, then a
// payload; whatever parses encodes to a frame that parses back the same.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "embedder/bridge_protocol.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= bridge::kHeaderSize) {
    const std::optional<uint32_t> length = bridge::ParseHeader(data, nullptr);
    FUZZ_CHECK(!length || (*length >= 1 && *length <= bridge::kMaxPayloadSize));
  }
  std::string error;
  const std::optional<bridge::Frame> frame = bridge::ParsePayload(data, size, &error);
  FUZZ_CHECK(frame.has_value() == error.empty());
  if (!frame) {
    return 0;
  }
  const std::vector<uint8_t> bytes = bridge::EncodeFrame(*frame);
  FUZZ_CHECK(bytes.size() == bridge::kHeaderSize + size);
  FUZZ_CHECK(bridge::ParseHeader(bytes.data(), nullptr) == size);
  const std::optional<bridge::Frame> again =
      bridge::ParsePayload(bytes.data() + bridge::kHeaderSize, size, nullptr);
  FUZZ_CHECK(again && again->kind == frame->kind && again->reply_id == frame->reply_id &&
             again->channel == frame->channel && again->data == frame->data);
  return 0;
}
