#include "capsule/capsule_environment.h"

#include <string_view>
#include <vector>

namespace {

constexpr std::u16string_view kCapsulePrefix = u"KESTRUNE_CAPSULE=";

void AppendEntry(std::vector<char16_t>& block, std::u16string_view entry) {
  block.insert(block.end(), entry.begin(), entry.end());
  block.push_back(u'\0');
}

}  // namespace

std::vector<char16_t> BuildCapsuleEnvironment(std::u16string_view parent_block) {
  std::vector<char16_t> block;
  block.reserve(parent_block.size() + kCapsuleEnvironmentEntry.size() + 2);
  while (!parent_block.empty()) {
    const size_t end = parent_block.find(u'\0');
    const std::u16string_view entry = parent_block.substr(0, end);
    if (entry.empty()) {
      break;
    }
    if (!entry.starts_with(kCapsulePrefix)) {
      AppendEntry(block, entry);
    }
    if (end == std::u16string_view::npos) {
      break;
    }
    parent_block.remove_prefix(end + 1);
  }
  AppendEntry(block, kCapsuleEnvironmentEntry);
  block.push_back(u'\0');
  return block;
}
