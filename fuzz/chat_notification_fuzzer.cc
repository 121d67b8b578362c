// The chat listener's rules on any input. The WeChat match survives surrounding
// text and ASCII case; text elements (split at null bytes) join into the title
// and a content of the rest; the seen-id set, driven by three-byte operations,
// answers as a plain model of "met in the previous poll or in this one" does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "feeds/chat/chat_notification.h"
#include "fuzz/fuzz_check.h"

namespace {

void CheckMatcher(std::string_view name) {
  const bool match = IsWechatApp(name);
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  FUZZ_CHECK(IsWechatApp(upper) == match);
  FUZZ_CHECK(!match || IsWechatApp("x " + std::string(name) + " y"));
}

void CheckJoin(std::string_view input) {
  std::vector<std::string> elements;
  for (size_t start = 0; start <= input.size();) {
    const size_t end = std::min(input.find('\0', start), input.size());
    elements.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  const NotificationText text = JoinTextElements(elements);
  FUZZ_CHECK(text.title == elements[0]);
  size_t content = 0;
  for (size_t i = 1; i < elements.size(); ++i) {
    content += elements[i].size() + (i > 1 ? 1 : 0);
  }
  FUZZ_CHECK(text.content.size() == content);
  FUZZ_CHECK(elements.size() < 2 || text.content.compare(0, elements[1].size(), elements[1]) == 0);
}

void CheckSeen(const uint8_t* data, size_t size) {
  SeenNotifications seen;
  std::set<uint32_t> previous;
  std::set<uint32_t> current;
  for (size_t i = 0; i + 3 <= size; i += 3) {
    const uint32_t id = data[i + 1] | (data[i + 2] & 0x0f) << 8;
    switch (data[i] % 4) {
      case 0: {
        const bool known = previous.count(id) > 0 || current.count(id) > 0;
        FUZZ_CHECK(seen.Seen(id) == known);
        if (known) {
          current.insert(id);
        }
        break;
      }
      case 1:
        seen.Remember(id);
        current.insert(id);
        break;
      case 2:
        seen.EndPoll(true);
        previous = std::move(current);
        current.clear();
        break;
      default:
        seen.EndPoll(false);
    }
    std::set<uint32_t> all = previous;
    all.insert(current.begin(), current.end());
    FUZZ_CHECK(seen.size() == all.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckMatcher(input);
  CheckJoin(input);
  CheckSeen(data, size);
  return 0;
}
