#ifndef KESTRUNE_EMBEDDER_VALUE_TEXT_H_
#define KESTRUNE_EMBEDDER_VALUE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include <flutter/encodable_value.h>

namespace flutter {

// A short, JSON-like rendering of |value| for status displays, cut with "..."
// at about |max_chars| characters.
std::string DescribeValue(const EncodableValue& value, size_t max_chars = 120);

// "method args" for an encoded method call, or a note that it is not one.
std::string DescribeMethodCall(const uint8_t* message, size_t size, size_t max_chars = 120);

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_VALUE_TEXT_H_
