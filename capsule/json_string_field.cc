#include "capsule/json_string_field.h"

#include <string>
#include <string_view>

std::string JsonStringField(std::string_view text, std::string_view key) {
  std::string quoted_key;
  quoted_key.reserve(key.size() + 2);
  quoted_key.append(1, '"').append(key).append(1, '"');

  const size_t key_at = text.find(quoted_key);
  if (key_at == std::string_view::npos) {
    return std::string();
  }
  const size_t colon_at = text.find(':', key_at + quoted_key.size());
  if (colon_at == std::string_view::npos) {
    return std::string();
  }
  size_t value_at = colon_at + 1;
  while (value_at < text.size() && (text[value_at] == ' ' || text[value_at] == '\t')) {
    ++value_at;
  }
  if (value_at >= text.size() || text[value_at] != '"') {
    return std::string();
  }
  const size_t closing_at = text.find('"', value_at + 1);
  if (closing_at == std::string_view::npos) {
    return std::string();
  }
  return std::string(text.substr(value_at + 1, closing_at - value_at - 1));
}
