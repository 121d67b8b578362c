#include "embedder/value_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "embedder/encodable_value.h"

namespace flutter {
namespace {

TEST(DescribeValueTest, RendersShortJsonLikeTextCutWithEllipsis) {
  struct Case {
    EncodableValue value;
    std::string text;
    size_t max_chars = 120;
  };
  const EncodableMap map{{"b", 2}, {"a", EncodableList{1}}, {3, EncodableMap{{"x", 0.5}}}};
  const std::string utf8 = "\xC3\xA9\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80";  // 3 two-byte, 1 four-byte
  const Case cases[] = {
      // An int64 shows the width the sender chose; typed lists only their size.
      {EncodableList{EncodableValue(), true, false, -42, int64_t{-9000000000}, -0.25, "",
                     std::vector<uint8_t>{1, 2, 3}, std::vector<float>(1000), EncodableList{}},
       R"([null,true,false,-42,-9000000000L,-0.25,"",<3 numbers>,<1000 numbers>,[]])"},
      {EncodableMap{}, "{}"},
      {map, R"({3:{"x":0.5},"a":[1],"b":2})"},  // in key order
      {std::string(500, 'a'), "\"aaaaaaaaa...", 10},
      {EncodableList(100000, 123456), "[123456,123456,12345...", 20},
      // A cut never splits a UTF-8 character.
      {utf8, "\"...", 2},
      {utf8, "\"" + utf8.substr(0, 2) + "...", 3},
      {utf8, "\"" + utf8.substr(0, 6) + "...", 10},
      {utf8, "\"" + utf8 + "...", 11},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DescribeValue(c.value, c.max_chars), c.text);
  }
  EXPECT_EQ(DescribeValue(EncodableList(100000, 123456)).size(), 120u + 3);

  // Every shorter limit, including ones falling between tokens, keeps exactly
  // that many characters and marks the cut.
  const EncodableValue value = EncodableList{EncodableMap{{"key", "value"}}, 12, int64_t{3}, 2.5,
                                             EncodableList{EncodableValue(), false}};
  const std::string full = R"([{"key":"value"},12,3L,2.5,[null,false]])";
  EXPECT_EQ(DescribeValue(value, full.size()), full);
  for (size_t max = 0; max < full.size(); ++max) {
    EXPECT_EQ(DescribeValue(value, max), full.substr(0, max) + "...") << max;
  }
}

TEST(DescribeMethodCallTest, NameThenArgumentsOrNotACall) {
  const std::vector<uint8_t> set = {7, 3, 's', 'e', 't', 12, 2, 7, 1, 'K', 3, 2, 0, 0, 0};
  EXPECT_EQ(DescribeMethodCall(set.data(), set.size()), R"(set ["K",2])");
  EXPECT_EQ(DescribeMethodCall(set.data(), set.size(), 2), R"(set ["...)");
  const uint8_t ping[] = {7, 4, 'p', 'i', 'n', 'g', 0};
  EXPECT_EQ(DescribeMethodCall(ping, sizeof(ping)), "ping");
  EXPECT_EQ(DescribeMethodCall(ping, 6), "<6 bytes, not a method call>");
  EXPECT_EQ(DescribeMethodCall(nullptr, 0), "<0 bytes, not a method call>");
}

}  // namespace
}  // namespace flutter
