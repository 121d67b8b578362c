#ifndef KESTRUNE_FEEDS_CHAT_CHAT_NOTIFICATION_H_
#define KESTRUNE_FEEDS_CHAT_CHAT_NOTIFICATION_H_

// What the chat-notification listener decides from plain values: whose
// notification it is, its title and content, its time, and which notifications
// it has already looked at.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Whether an application's display name (UTF-8) names WeChat: it contains
// "wechat" in any letter case, or 微信.
bool IsWechatApp(std::string_view display_name);

struct NotificationText {
  std::string title;
  std::string content;
};

// The first text element is the title, the second the content; each later one
// is appended to the content after one space.
NotificationText JoinTextElements(const std::vector<std::string>& elements);

// Milliseconds since 1601-01-01 UTC (not the Unix epoch) of a DateTime, whose
// unit is 100 ns; truncated.
constexpr int64_t NotificationTimestampMs(int64_t universal_time) {
  return universal_time / 10000;
}

// The ids of the notifications looked at, kept for as long as they stay in the
// notification centre: each poll remembers the ids it met, and the next poll
// knows exactly those. So a notification is reported once however many others
// come and go, and the set never outgrows the centre. Each id carries the
// number of the poll that last met it, so a poll over ids already known
// allocates nothing.
class SeenNotifications {
 public:
  // Whether |id| was looked at in the previous poll or earlier in this one; if
  // so it is remembered for the next poll.
  bool Seen(uint32_t id);
  // Remembers an id looked at in this poll.
  void Remember(uint32_t id);
  // A poll that met every notification forgets the ids it did not meet. One
  // cut short by an error forgets nothing, and the next poll counts as the same
  // one: the notifications it did not reach are still in the centre.
  void EndPoll(bool complete);
  std::size_t size() const { return last_met_.size(); }

 private:
  std::unordered_map<uint32_t, uint64_t> last_met_;
  uint64_t poll_ = 1;
};

#endif  // KESTRUNE_FEEDS_CHAT_CHAT_NOTIFICATION_H_
