#ifndef KESTRUNE_INPUT_CHANNEL_ARGS_H_
#define KESTRUNE_INPUT_CHANNEL_ARGS_H_

#include <optional>
#include <string>
#include <variant>

#include <flutter/encodable_value.h>

// Reading one argument of a channel call: a missing key (or arguments that are
// no map) is not an error, a present value of the wrong type is.
template <typename T>
struct ArgRead {
  std::optional<T> value;  // set when present with a usable type
  bool wrong_type = false;
};

// The map value under |key|, or null.
inline const flutter::EncodableValue* FindArgument(const flutter::EncodableValue* arguments,
                                                   const char* key) {
  const auto* map = arguments ? std::get_if<flutter::EncodableMap>(arguments) : nullptr;
  if (map == nullptr) {
    return nullptr;
  }
  auto found = map->find(flutter::EncodableValue(key));
  return found == map->end() ? nullptr : &found->second;
}

inline ArgRead<bool> ReadBoolArgument(const flutter::EncodableValue* arguments, const char* key) {
  ArgRead<bool> read;
  if (const flutter::EncodableValue* value = FindArgument(arguments, key)) {
    if (const bool* b = std::get_if<bool>(value)) {
      read.value = *b;
    } else {
      read.wrong_type = true;
    }
  }
  return read;
}

// An int32, or an int64 that fits in 32 bits.
inline ArgRead<int32_t> ReadInt32Argument(const flutter::EncodableValue* arguments,
                                          const char* key) {
  ArgRead<int32_t> read;
  if (const flutter::EncodableValue* value = FindArgument(arguments, key)) {
    if (const int32_t* i = std::get_if<int32_t>(value)) {
      read.value = *i;
    } else if (const int64_t* l = std::get_if<int64_t>(value);
               l != nullptr && *l >= INT32_MIN && *l <= INT32_MAX) {
      read.value = static_cast<int32_t>(*l);
    } else {
      read.wrong_type = true;
    }
  }
  return read;
}

inline ArgRead<std::string> ReadStringArgument(const flutter::EncodableValue* arguments,
                                               const char* key) {
  ArgRead<std::string> read;
  if (const flutter::EncodableValue* value = FindArgument(arguments, key)) {
    if (const std::string* s = std::get_if<std::string>(value)) {
      read.value = *s;
    } else {
      read.wrong_type = true;
    }
  }
  return read;
}

#endif  // KESTRUNE_INPUT_CHANNEL_ARGS_H_
