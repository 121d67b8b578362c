#ifndef KESTRUNE_CAPSULE_JSON_STRING_FIELD_H_
#define KESTRUNE_CAPSULE_JSON_STRING_FIELD_H_

#include <string>
#include <string_view>

// Reads the string value of |key| from a small flat JSON object without parsing
// it, or returns an empty string. The capsule's messages are read this way and
// callers rely on its exact reading:
// - the value belongs to the first place where the quoted key appears, even
//   inside another member's value;
// - the value starts after the next ':' and any spaces or tabs;
// - only a quoted value counts, and it ends at the next double quote, so
//   escapes are not interpreted and an escaped quote ends it;
// - a number, true, false, null, an object or an unclosed string gives "".
std::string JsonStringField(std::string_view text, std::string_view key);

#endif  // KESTRUNE_CAPSULE_JSON_STRING_FIELD_H_
