#include "embedder/bridge_protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bridge {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Le32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) {
    joined.insert(joined.end(), part.begin(), part.end());
  }
  return joined;
}

Bytes NameBytes(const std::string& name) {
  return Bytes(name.begin(), name.end());
}

// Parses from an allocation of exactly |payload.size()| bytes, so a read past
// the end shows up under the address sanitizer.
std::optional<Frame> Parse(const Bytes& payload, std::string* error = nullptr) {
  Bytes exact(payload.begin(), payload.end());
  return ParsePayload(exact.empty() ? nullptr : exact.data(), exact.size(), error);
}

// The reason a payload is refused, or "parsed" when it is not.
std::string ParseError(const Bytes& payload) {
  std::string error;
  if (Parse(payload, &error)) {
    return "parsed";
  }
  EXPECT_FALSE(error.empty());
  return error;
}

std::optional<uint32_t> Header(const Bytes& bytes, std::string* error = nullptr) {
  EXPECT_EQ(bytes.size(), kHeaderSize);
  return ParseHeader(bytes.data(), error);
}

// Encodes |frame|, checks the header against the payload and parses it back.
Frame RoundTrip(const Frame& frame) {
  Bytes encoded = EncodeFrame(frame);
  EXPECT_GE(encoded.size(), kHeaderSize + 1);
  std::optional<uint32_t> size = Header(Bytes(encoded.begin(), encoded.begin() + kHeaderSize));
  EXPECT_TRUE(size.has_value());
  EXPECT_EQ(size.value_or(0), encoded.size() - kHeaderSize);
  std::string error;
  std::optional<Frame> parsed = Parse(Bytes(encoded.begin() + kHeaderSize, encoded.end()), &error);
  EXPECT_TRUE(parsed.has_value()) << error;
  return parsed.value_or(Frame());
}

TEST(BridgeFrameTest, EveryKindRoundTrips) {
  Frame hello;
  hello.kind = FrameKind::kHello;
  hello.data = {0x0d, 0x01, 0x07, 0x05};
  Frame welcome;
  welcome.kind = FrameKind::kWelcome;
  welcome.data = {0x0d, 0x00};
  Frame message;
  message.kind = FrameKind::kMessage;
  message.reply_id = 0xfedcba98;
  message.channel = "kestrune/window";
  message.data = {0x07, 0x03, 'a', 'b', 'c', 0x00};
  Frame reply;
  reply.kind = FrameKind::kReply;
  reply.reply_id = 7;
  reply.data = {0x00, 0x01};

  for (const Frame& frame : {hello, welcome, message, reply}) {
    SCOPED_TRACE(static_cast<int>(frame.kind));
    Frame parsed = RoundTrip(frame);
    EXPECT_EQ(parsed.kind, frame.kind);
    EXPECT_EQ(parsed.reply_id, frame.reply_id);
    EXPECT_EQ(parsed.channel, frame.channel);
    EXPECT_EQ(parsed.data, frame.data);
  }
}

TEST(BridgeFrameTest, EmptyDataAndNoReplyIdRoundTrip) {
  Frame empty_reply;
  empty_reply.kind = FrameKind::kReply;
  empty_reply.reply_id = 3;
  Frame parsed = RoundTrip(empty_reply);
  EXPECT_EQ(parsed.kind, FrameKind::kReply);
  EXPECT_EQ(parsed.reply_id, 3u);
  EXPECT_TRUE(parsed.data.empty());

  Frame no_answer;
  no_answer.kind = FrameKind::kMessage;
  no_answer.channel = "c";
  parsed = RoundTrip(no_answer);
  EXPECT_EQ(parsed.reply_id, 0u);
  EXPECT_EQ(parsed.channel, "c");
  EXPECT_TRUE(parsed.data.empty());
}

TEST(BridgeFrameTest, ExactBytesAreLittleEndian) {
  Frame reply;
  reply.kind = FrameKind::kReply;
  reply.reply_id = 0x01020304;
  reply.data = {0xaa};
  EXPECT_EQ(EncodeFrame(reply), (Bytes{6, 0, 0, 0, 4, 0x04, 0x03, 0x02, 0x01, 0xaa}));

  Frame message;
  message.kind = FrameKind::kMessage;
  message.reply_id = 0x0a0b0c0d;
  message.channel = "ch";
  message.data = {0x00};
  EXPECT_EQ(EncodeFrame(message),
            (Bytes{12, 0, 0, 0, 3, 0x0d, 0x0c, 0x0b, 0x0a, 2, 0, 0, 0, 'c', 'h', 0x00}));

  // A payload above 255 bytes shows the byte order of the length itself.
  message.channel = std::string(300, 'x');
  message.data.clear();
  Bytes encoded = EncodeFrame(message);
  ASSERT_EQ(encoded.size(), kHeaderSize + 309);
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 4), (Bytes{0x35, 0x01, 0, 0}));
  EXPECT_EQ(Bytes(encoded.begin() + 9, encoded.begin() + 13), (Bytes{0x2c, 0x01, 0, 0}));
}

TEST(BridgeFrameTest, HeaderRangeIsOneToMaxPayloadSize) {
  EXPECT_EQ(Header({1, 0, 0, 0}), 1u);
  EXPECT_EQ(Header({0x78, 0x56, 0x34, 0x02}), 0x02345678u);
  EXPECT_EQ(Header(Le32(kMaxPayloadSize)), kMaxPayloadSize);

  for (uint32_t size : {0u, kMaxPayloadSize + 1, 0xffffffffu}) {
    SCOPED_TRACE(size);
    std::string error;
    EXPECT_FALSE(Header(Le32(size), &error).has_value());
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(Header(Le32(size), nullptr).has_value());
  }
}

TEST(BridgeFrameTest, RefusesEmptyPayloadAndUnknownKinds) {
  EXPECT_NE(ParseError({}), "parsed");
  for (uint8_t kind : {0, 5, 0x80, 0xff}) {
    SCOPED_TRACE(kind);
    EXPECT_NE(ParseError({kind, 0, 0, 0, 0, 1, 0, 0, 0, 'c'}), "parsed");
  }
  EXPECT_FALSE(ParsePayload(nullptr, 0, nullptr).has_value());
}

TEST(BridgeFrameTest, RefusesMessagesAndRepliesCutInsideFixedFields) {
  const Bytes message = Join({{3}, Le32(9), Le32(4), NameBytes("name")});
  const Bytes reply = Join({{4}, Le32(9)});
  ASSERT_TRUE(Parse(message).has_value());
  ASSERT_TRUE(Parse(reply).has_value());

  // Every strict prefix lacks part of the id, the name length or the name.
  for (size_t size = 1; size < message.size(); ++size) {
    SCOPED_TRACE(size);
    EXPECT_NE(ParseError(Bytes(message.begin(), message.begin() + size)), "parsed");
  }
  for (size_t size = 1; size < reply.size(); ++size) {
    SCOPED_TRACE(size);
    EXPECT_NE(ParseError(Bytes(reply.begin(), reply.begin() + size)), "parsed");
  }
}

TEST(BridgeFrameTest, ChannelNameLengthIsBounded) {
  EXPECT_NE(ParseError(Join({{3}, Le32(1), Le32(0), {0x00}})), "parsed");

  const std::string longest(kMaxChannelNameSize, 'n');
  std::optional<Frame> parsed =
      Parse(Join({{3}, Le32(1), Le32(kMaxChannelNameSize), NameBytes(longest)}));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->channel, longest);

  const std::string too_long(kMaxChannelNameSize + 1, 'n');
  EXPECT_NE(ParseError(Join({{3}, Le32(1), Le32(kMaxChannelNameSize + 1), NameBytes(too_long)})),
            "parsed");
  // A huge length must be refused rather than overflow the bounds check.
  EXPECT_NE(ParseError(Join({{3}, Le32(1), Le32(0xffffffff), NameBytes("abc")})), "parsed");
}

TEST(BridgeFrameTest, RefusesChannelNamePastTheEnd) {
  EXPECT_NE(ParseError(Join({{3}, Le32(1), Le32(10), NameBytes("short")})), "parsed");
  // A name ending exactly at the end leaves empty message data.
  std::optional<Frame> parsed = Parse(Join({{3}, Le32(1), Le32(5), NameBytes("exact")}));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->channel, "exact");
  EXPECT_TRUE(parsed->data.empty());
}

TEST(BridgeSettingTest, AcceptsPortAndToken) {
  std::string error;
  std::optional<Address> address = ParseSetting("54321:abcdefgh", &error);
  ASSERT_TRUE(address.has_value()) << error;
  EXPECT_EQ(address->port, 54321);
  EXPECT_EQ(address->token, "abcdefgh");

  EXPECT_EQ(ParseSetting("1:abcdefgh", nullptr).value_or(Address()).port, 1);
  EXPECT_EQ(ParseSetting("65535:abcdefgh", nullptr).value_or(Address()).port, 65535);
}

TEST(BridgeSettingTest, OnlyTheFirstColonSplits) {
  std::optional<Address> address = ParseSetting("8080:ab:cd:efgh", nullptr);
  ASSERT_TRUE(address.has_value());
  EXPECT_EQ(address->port, 8080);
  EXPECT_EQ(address->token, "ab:cd:efgh");
}

TEST(BridgeSettingTest, TokenLengthIsEightTo256) {
  EXPECT_TRUE(ParseSetting("5:" + std::string(8, 'k'), nullptr).has_value());
  EXPECT_TRUE(ParseSetting("5:" + std::string(256, 'k'), nullptr).has_value());
  EXPECT_FALSE(ParseSetting("5:" + std::string(7, 'k'), nullptr).has_value());
  EXPECT_FALSE(ParseSetting("5:" + std::string(257, 'k'), nullptr).has_value());
}

TEST(BridgeSettingTest, RefusesMalformedSettings) {
  const std::string bad[] = {
      "",
      "54321abcdefgh",        // no colon
      "0:abcdefgh",           // port 0
      "65536:abcdefgh",       // one past the last port
      "4294967297:abcdefgh",  // would wrap to 1 in 32 bits
      "-1:abcdefgh",          // negative
      "+1:abcdefgh",          // sign
      " 1:abcdefgh",          // leading space
      "1 :abcdefgh",          // trailing space
      "8o8o:abcdefgh",        // non-digits
      "0x50:abcdefgh",        // hexadecimal
      ":abcdefgh",            // empty port
      "1:",                   // empty token
      "1:abcd efgh",          // space in token
      "1:abcd\tefgh",         // control character
      "1:abcd\177efgh",       // DEL
      "1:abcd\303\251efgh",   // non-ASCII (UTF-8 e-acute)
      std::string("1:abcd\0efgh", 11),
  };
  for (const std::string& setting : bad) {
    SCOPED_TRACE(setting);
    std::string error;
    EXPECT_FALSE(ParseSetting(setting, &error).has_value());
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace bridge
