#include "embedder/value_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "embedder/encodable_value.h"
#include "embedder/method_call.h"
#include "embedder/standard_codec.h"

namespace flutter {
namespace {

std::vector<uint8_t> EncodeCall(const std::string& method, std::unique_ptr<EncodableValue> args) {
  MethodCall<EncodableValue> call(method, std::move(args));
  return *StandardMethodCodec::GetInstance().EncodeMethodCall(call);
}

TEST(DescribeValueTest, ScalarsAndStrings) {
  EXPECT_EQ(DescribeValue(EncodableValue()), "null");
  EXPECT_EQ(DescribeValue(EncodableValue(true)), "true");
  EXPECT_EQ(DescribeValue(EncodableValue(false)), "false");
  EXPECT_EQ(DescribeValue(EncodableValue(int32_t{-42})), "-42");
  // The width the sender chose stays visible.
  EXPECT_EQ(DescribeValue(EncodableValue(int64_t{42})), "42L");
  EXPECT_EQ(DescribeValue(EncodableValue(int64_t{-9000000000})), "-9000000000L");
  EXPECT_EQ(DescribeValue(EncodableValue(1.5)), "1.5");
  EXPECT_EQ(DescribeValue(EncodableValue(-0.25)), "-0.25");
  EXPECT_EQ(DescribeValue(EncodableValue("hi")), "\"hi\"");
  EXPECT_EQ(DescribeValue(EncodableValue("")), "\"\"");
}

TEST(DescribeValueTest, TypedListsShowOnlyTheirSize) {
  EXPECT_EQ(DescribeValue(EncodableValue(std::vector<uint8_t>{1, 2, 3})), "<3 numbers>");
  EXPECT_EQ(DescribeValue(EncodableValue(std::vector<int32_t>{7})), "<1 numbers>");
  EXPECT_EQ(DescribeValue(EncodableValue(std::vector<int64_t>{})), "<0 numbers>");
  EXPECT_EQ(DescribeValue(EncodableValue(std::vector<double>{1, 2})), "<2 numbers>");
  EXPECT_EQ(DescribeValue(EncodableValue(std::vector<float>(1000, 1.f))), "<1000 numbers>");
}

TEST(DescribeValueTest, ListsAndMapsNest) {
  EXPECT_EQ(DescribeValue(EncodableValue(EncodableList{})), "[]");
  EXPECT_EQ(DescribeValue(EncodableValue(EncodableMap{})), "{}");
  EXPECT_EQ(DescribeValue(EncodableValue(EncodableList{1, "a", EncodableValue(), true})),
            "[1,\"a\",null,true]");
  // Map entries come in key order, not insertion order.
  EncodableMap map{{EncodableValue("b"), EncodableValue(2)},
                   {EncodableValue("a"), EncodableValue(EncodableList{1, EncodableList{}})},
                   {EncodableValue(3), EncodableValue(EncodableMap{{"x", EncodableValue()}})}};
  EXPECT_EQ(DescribeValue(EncodableValue(EncodableList{map, std::vector<uint8_t>{9}})),
            "[{3:{\"x\":null},\"a\":[1,[]],\"b\":2},<1 numbers>]");
}

TEST(DescribeValueTest, CutRenderingIsPrefixWithEllipsis) {
  const EncodableValue value =
      EncodableList{EncodableMap{{EncodableValue("key"), EncodableValue("value")}}, 12, int64_t{3},
                    2.5, EncodableList{EncodableValue(), false}};
  const std::string full = DescribeValue(value, 1000);
  ASSERT_EQ(full, "[{\"key\":\"value\"},12,3L,2.5,[null,false]]");
  EXPECT_EQ(DescribeValue(value, full.size()), full);
  // Every shorter limit, including ones falling between tokens, keeps exactly
  // that many characters and marks the cut.
  for (size_t max = 0; max < full.size(); ++max) {
    SCOPED_TRACE(max);
    EXPECT_EQ(DescribeValue(value, max), full.substr(0, max) + "...");
  }
}

TEST(DescribeValueTest, LongValuesStayShort) {
  EXPECT_EQ(DescribeValue(EncodableValue(std::string(500, 'a')), 10), "\"aaaaaaaaa...");
  EncodableList many(100000, EncodableValue(123456));
  std::string text = DescribeValue(EncodableValue(many), 20);
  EXPECT_EQ(text, "[123456,123456,12345...");
  EXPECT_EQ(DescribeValue(EncodableValue(many)).size(), 120u + 3);
}

TEST(DescribeValueTest, CutKeepsUtf8CharactersWhole) {
  // "\"" then three two-byte characters and a four-byte one.
  const EncodableValue value("\xC3\xA9\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(DescribeValue(value, 2), "\"...");
  EXPECT_EQ(DescribeValue(value, 3), "\"\xC3\xA9...");
  EXPECT_EQ(DescribeValue(value, 7), "\"\xC3\xA9\xC3\xA9\xC3\xA9...");
  EXPECT_EQ(DescribeValue(value, 10), "\"\xC3\xA9\xC3\xA9\xC3\xA9...");
  EXPECT_EQ(DescribeValue(value, 11), "\"\xC3\xA9\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80...");
}

TEST(DescribeMethodCallTest, NameThenArguments) {
  std::vector<uint8_t> call =
      EncodeCall("setTitle", std::make_unique<EncodableValue>(EncodableList{"Kestrune", 2}));
  EXPECT_EQ(DescribeMethodCall(call.data(), call.size()), "setTitle [\"Kestrune\",2]");
  EXPECT_EQ(DescribeMethodCall(call.data(), call.size(), 5), "setTitle [\"Kes...");

  call = EncodeCall("ping", nullptr);
  EXPECT_EQ(DescribeMethodCall(call.data(), call.size()), "ping");
}

TEST(DescribeMethodCallTest, NotACall) {
  const std::vector<uint8_t> integer = {0x03, 0x01, 0x00, 0x00, 0x00, 0x00};
  std::string text = DescribeMethodCall(integer.data(), integer.size());
  EXPECT_NE(text.find("6 bytes"), std::string::npos) << text;
  EXPECT_NE(text.find("not a method call"), std::string::npos) << text;

  text = DescribeMethodCall(nullptr, 0);
  EXPECT_NE(text.find("0 bytes"), std::string::npos) << text;
  EXPECT_NE(text.find("not a method call"), std::string::npos) << text;
}

}  // namespace
}  // namespace flutter
