#include "feeds/chat/chat_notification.h"

#include <algorithm>

namespace {

// U+5FAE U+4FE1 in UTF-8.
constexpr std::string_view kWechatChinese = "\xE5\xBE\xAE\xE4\xBF\xA1";

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

// Lower-casing only ASCII letters is enough: no other character lower-cases to
// a letter of "wechat", and in UTF-8 the bytes of non-ASCII characters never
// look like ASCII ones.
bool IsWechatApp(std::string_view display_name) {
  constexpr std::string_view kWechat = "wechat";
  auto found = std::search(display_name.begin(), display_name.end(), kWechat.begin(), kWechat.end(),
                           [](char a, char b) { return AsciiLower(a) == b; });
  return found != display_name.end() || display_name.find(kWechatChinese) != std::string_view::npos;
}

NotificationText JoinTextElements(const std::vector<std::string>& elements) {
  NotificationText text;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i == 0) {
      text.title = elements[i];
    } else {
      if (i > 1) {
        text.content += ' ';
      }
      text.content += elements[i];
    }
  }
  return text;
}

bool SeenNotifications::Seen(uint32_t id) {
  auto known = last_met_.find(id);
  if (known == last_met_.end() || known->second + 1 < poll_) {
    return false;
  }
  known->second = poll_;
  return true;
}

void SeenNotifications::Remember(uint32_t id) {
  last_met_[id] = poll_;
}

void SeenNotifications::EndPoll(bool complete) {
  if (complete) {
    std::erase_if(last_met_, [&](const auto& entry) { return entry.second < poll_; });
    ++poll_;
  }
}
