#include "icons/icon_cache_name.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;

TEST(IconCacheNameTest, PublishedVectorsAndNamesOfRawBytes) {
  EXPECT_EQ(Fnv1a64(""), 0xcbf29ce484222325ULL);  // the published FNV-1a 64 vectors
  EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(Fnv1a64("foobar"), 0x85944171f73967e8ULL);
  // Bytes above 0x7f count unsigned, and a zero byte is part of the text.
  EXPECT_EQ(Fnv1a64("\xff\x00"sv), 0x0a99a607b6f60beaULL);
  // UTF-8 as received: "C:\Users\Zoë\应用\app.exe".
  EXPECT_EQ(IconCacheFileName("C:\\Users\\Zo\xc3\xab\\\xe5\xba\x94\xe7\x94\xa8\\app.exe"),
            "9516507358862104836.png");
}
