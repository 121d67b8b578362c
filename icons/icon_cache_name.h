#ifndef KESTRUNE_ICONS_ICON_CACHE_NAME_H_
#define KESTRUNE_ICONS_ICON_CACHE_NAME_H_

#include <cstdint>
#include <string>
#include <string_view>

// 64-bit FNV-1a of |bytes|.
uint64_t Fnv1a64(std::string_view bytes);

// The cache file name of an icon: the FNV-1a hash of the path's bytes exactly as
// the interface sent them, in decimal, then ".png". Names stay stable whatever
// the path's characters are, so both icon methods share one file per path.
std::string IconCacheFileName(std::string_view path);

#endif  // KESTRUNE_ICONS_ICON_CACHE_NAME_H_
