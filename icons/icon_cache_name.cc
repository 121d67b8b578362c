#include "icons/icon_cache_name.h"

uint64_t Fnv1a64(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (char byte : bytes) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::string IconCacheFileName(std::string_view path) {
  return std::to_string(Fnv1a64(path)) + ".png";
}
