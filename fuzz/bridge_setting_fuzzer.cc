// The KR_UI_BRIDGE setting: an accepted one, written back as PORT:TOKEN, reads
// the same; its token is printable ASCII of 8 to 256 characters.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "embedder/bridge_protocol.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view setting(reinterpret_cast<const char*>(data), size);
  const std::optional<bridge::Address> address = bridge::ParseSetting(setting, nullptr);
  if (!address) {
    return 0;
  }
  FUZZ_CHECK(address->port != 0);
  FUZZ_CHECK(address->token.size() >= 8 && address->token.size() <= 256);
  for (char c : address->token) {
    FUZZ_CHECK(c > ' ' && c <= '~');
  }
  const std::string written = std::to_string(address->port) + ":" + address->token;
  const std::optional<bridge::Address> again = bridge::ParseSetting(written, nullptr);
  FUZZ_CHECK(again && again->port == address->port && again->token == address->token);
  return 0;
}
