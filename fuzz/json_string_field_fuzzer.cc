// JsonStringField on any text and key (split at the input's first null): the
// value is a quote-free piece of the text, and a member written as {"key":"value"}
// reads back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "capsule/json_string_field.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view key = input.substr(0, split);
  const std::string_view text = split == std::string_view::npos ? "" : input.substr(split + 1);

  const std::string value = JsonStringField(text, key);
  FUZZ_CHECK(value.find('"') == std::string::npos);
  FUZZ_CHECK(value.empty() || text.find("\"" + value + "\"") != std::string_view::npos);

  if (key.find('"') == std::string_view::npos && text.find('"') == std::string_view::npos) {
    const std::string member = "{\"" + std::string(key) + "\":\"" + std::string(text) + "\"}";
    FUZZ_CHECK(JsonStringField(member, key) == text);
  }
  return 0;
}
