#ifndef KESTRUNE_CAPSULE_CAPSULE_ENVIRONMENT_H_
#define KESTRUNE_CAPSULE_CAPSULE_ENVIRONMENT_H_

#include <string_view>
#include <vector>

// Environment blocks are UTF-16 "NAME=value" entries, each ending in a null, the
// whole ending in one more null. char16_t keeps this code portable; on Windows
// wchar_t has the same width.

// The entry that puts a started copy of the executable into the capsule role.
inline constexpr std::u16string_view kCapsuleEnvironmentEntry = u"KESTRUNE_CAPSULE=1";

// The capsule's block: |parent_block|'s entries in their order, minus any that
// begin with "KESTRUNE_CAPSULE=" (case-sensitive), then kCapsuleEnvironmentEntry
// and the final null. Reading stops at the first empty entry or at the end of
// the view, so a block with or without its closing nulls is fine; pass an empty
// view when the parent's environment cannot be read.
std::vector<char16_t> BuildCapsuleEnvironment(std::u16string_view parent_block);

#endif  // KESTRUNE_CAPSULE_CAPSULE_ENVIRONMENT_H_
