#include "embedder/value_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <flutter/encodable_value.h>

namespace flutter {
namespace {

TEST(ValueTextTest, RendersShortJsonLikeTextCutWithEllipsis) {
  // An int64 shows the width the sender chose; typed lists only their size.
  const EncodableValue value = EncodableList{EncodableValue(),
                                             true,
                                             -42,
                                             int64_t{-9000000000},
                                             -0.25,
                                             "",
                                             std::vector<float>(1000),
                                             EncodableMap{{"b", 2}, {3, EncodableList{}}}};
  const std::string full = R"([null,true,-42,-9000000000L,-0.25,"",<1000 numbers>,{3:[],"b":2}])";
  EXPECT_EQ(DescribeValue(value, full.size()), full);
  for (size_t max = 0; max < full.size(); ++max) {
    EXPECT_EQ(DescribeValue(value, max), full.substr(0, max) + "...") << max;
  }
  EXPECT_EQ(DescribeValue(EncodableList(100000, 123456)).size(), 120u + 3);

  // A cut never splits a UTF-8 character.
  const std::string utf8 = "\xC3\xA9\xF0\x9F\x98\x80";
  EXPECT_EQ(DescribeValue(utf8, 2), "\"...");
  EXPECT_EQ(DescribeValue(utf8, 6), "\"\xC3\xA9...");

  const std::vector<uint8_t> set = {7, 3, 's', 'e', 't', 12, 2, 7, 1, 'K', 3, 2, 0, 0, 0};
  EXPECT_EQ(DescribeMethodCall(set.data(), set.size()), R"(set ["K",2])");
  EXPECT_EQ(DescribeMethodCall(set.data(), 6), "<6 bytes, not a method call>");
}

}  // namespace
}  // namespace flutter
