#include "feeds/chat/chat_notification.h"

#include <gtest/gtest.h>

namespace {

TEST(ChatNotificationTest, WechatIsMatchedInAnyLetterCaseOrInChinese) {
  for (const char* name :
       {"WeChat", "wechat", "WECHAT Work", "My wEcHaT", "\xE5\xBE\xAE\xE4\xBF\xA1",
        "\xE4\xBC\x81\xE4\xB8\x9A\xE5\xBE\xAE\xE4\xBF\xA1"}) {
    EXPECT_TRUE(IsWechatApp(name)) << name;
  }
  // Close, but not the name: a missing letter, a split, one of the two characters.
  for (const char* name : {"", "Mail", "WeCha", "We Chat", "\xE5\xBE\xAE", "weixin"}) {
    EXPECT_FALSE(IsWechatApp(name)) << name;
  }
}

TEST(ChatNotificationTest, TextElementsAndTimestamp) {
  struct Case {
    std::vector<std::string> elements;
    const char* title;
    const char* content;
  } const cases[] = {
      {{}, "", ""},
      {{"Alice"}, "Alice", ""},
      {{"Alice", "hello"}, "Alice", "hello"},
      {{"Alice", "line one", "line two"}, "Alice", "line one line two"},
      {{"", "", "x"}, "", " x"},
  };
  for (const Case& c : cases) {
    NotificationText text = JoinTextElements(c.elements);
    EXPECT_EQ(text.title, c.title);
    EXPECT_EQ(text.content, c.content);
  }
  // 2024-01-01 00:00:00 UTC, in 100 ns ticks since 1601; the sub-millisecond rest is cut.
  EXPECT_EQ(NotificationTimestampMs(133485408000000000 + 9999), 13348540800000);
}

TEST(ChatNotificationTest, RemembersTheIdsOfTheLatestPollOnly) {
  SeenNotifications seen;
  int fresh = 0;
  for (uint32_t id : {1u, 2u, 3u, 2u}) {  // 2 twice in one poll
    if (!seen.Seen(id)) {
      seen.Remember(id);
      ++fresh;
    }
  }
  EXPECT_EQ(fresh, 3);
  seen.EndPoll(true);
  // 1 has left the centre; 4 came but was not looked at.
  EXPECT_TRUE(seen.Seen(2) && seen.Seen(3) && !seen.Seen(4));
  seen.EndPoll(true);
  EXPECT_FALSE(seen.Seen(1));
  // A poll cut short before it met 3 still knows it next time.
  seen.Remember(5);
  seen.EndPoll(false);
  EXPECT_TRUE(seen.Seen(2) && seen.Seen(3) && seen.Seen(5));
}

}  // namespace
