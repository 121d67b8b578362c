// The capsule's environment block from any parent block (the input as UTF-16):
// well formed, with the capsule entry once and last, and unchanged when built
// again from itself.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "capsule/capsule_environment.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char16_t> parent(size / 2);
  if (!parent.empty()) {
    std::memcpy(parent.data(), data, parent.size() * 2);
  }
  const std::vector<char16_t> block =
      BuildCapsuleEnvironment(std::u16string_view(parent.data(), parent.size()));

  const std::u16string_view view(block.data(), block.size());
  FUZZ_CHECK(view.size() >= kCapsuleEnvironmentEntry.size() + 2);
  FUZZ_CHECK(view.ends_with(std::u16string(kCapsuleEnvironmentEntry) + u'\0' + u'\0'));
  // Entries before the capsule's: none empty, none setting the role.
  std::u16string_view rest = view.substr(0, view.size() - kCapsuleEnvironmentEntry.size() - 2);
  while (!rest.empty()) {
    const size_t end = rest.find(u'\0');
    FUZZ_CHECK(end != std::u16string_view::npos && end > 0);
    FUZZ_CHECK(!rest.starts_with(u"KESTRUNE_CAPSULE="));
    rest.remove_prefix(end + 1);
  }
  FUZZ_CHECK(BuildCapsuleEnvironment(view) == block);
  return 0;
}
