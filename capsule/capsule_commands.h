#ifndef KESTRUNE_CAPSULE_CAPSULE_COMMANDS_H_
#define KESTRUNE_CAPSULE_CAPSULE_COMMANDS_H_

#include <string>
#include <string_view>

#include <flutter/encodable_value.h>

// Commands for the capsule's interface: one compact JSON object per pipe
// message, "cmd" first, members in a fixed order the interface relies on.

// Returns the capsule to its idle look (also the answer to its "ready").
inline constexpr std::string_view kCapsuleRenderIdleCommand = R"({"cmd":"render","type":"idle"})";

inline constexpr std::string_view kCapsuleHideCommand = R"({"cmd":"hide"})";

// The "type" of a "showCapsuleWindow" argument map: its string, or "" when it is
// missing or of another type.
std::string CapsuleRenderType(const flutter::EncodableMap& arguments);

// The "render" command for a "showCapsuleWindow" argument map without "json".
// Members of the wrong codec type count as missing; "progress" is written like
// printf's "%f" whatever the process locale.
std::string BuildCapsuleRenderCommand(const flutter::EncodableMap& arguments);

#endif  // KESTRUNE_CAPSULE_CAPSULE_COMMANDS_H_
