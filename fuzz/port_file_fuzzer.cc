// The bridge's port file: read as strtol reads the text up to its first null,
// and 0 outside the 32-bit range.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "runner/backend_plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int port = ParseBridgePort(text);

  errno = 0;
  const long long expected = std::strtoll(text.c_str(), nullptr, 10);
  const bool in_range = errno == 0 && expected >= std::numeric_limits<int32_t>::min() &&
                        expected <= std::numeric_limits<int32_t>::max();
  FUZZ_CHECK(port == (in_range ? expected : 0));
  return 0;
}
