#include "embedder/bridge_protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace bridge {
namespace {

using Bytes = std::vector<uint8_t>;

// A message payload: reply id 1, the 4 bytes of the name length field, the name.
Bytes MessagePayload(Bytes name_size, const std::string& name) {
  name_size.insert(name_size.begin(), {3, 1, 0, 0, 0});
  name_size.insert(name_size.end(), name.begin(), name.end());
  return name_size;
}

TEST(BridgeFrameTest, ExactLittleEndianBytesParseBackAndHeaderLengthIsBounded) {
  const std::pair<Frame, Bytes> cases[] = {
      {{FrameKind::kReply, 0x01020304, "", {0xaa}}, {6, 0, 0, 0, 4, 4, 3, 2, 1, 0xaa}},
      {{FrameKind::kMessage, 0x0a0b0c0d, "ch", {0}},
       {12, 0, 0, 0, 3, 0x0d, 0x0c, 0x0b, 0x0a, 2, 0, 0, 0, 'c', 'h', 0}},
      {{FrameKind::kHello, 0, "", {13, 1, 7, 5}}, {5, 0, 0, 0, 1, 13, 1, 7, 5}},
      {{FrameKind::kWelcome, 0, "", {13, 0}}, {3, 0, 0, 0, 2, 13, 0}},
  };
  for (const auto& [frame, bytes] : cases) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    EXPECT_EQ(EncodeFrame(frame), bytes);
    EXPECT_EQ(ParseHeader(bytes.data(), nullptr), bytes.size() - kHeaderSize);
    const std::optional<Frame> parsed =
        ParsePayload(bytes.data() + kHeaderSize, bytes.size() - kHeaderSize, nullptr);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_TRUE(std::tie(parsed->kind, parsed->reply_id, parsed->channel, parsed->data) ==
                std::tie(frame.kind, frame.reply_id, frame.channel, frame.data));
  }

  // The header's payload length is 1 to 64 MiB.
  const std::pair<Bytes, std::optional<uint32_t>> headers[] = {
      {{1, 0, 0, 0}, 1u},
      {{0, 0, 0, 4}, 0x04000000u},
      {{0, 0, 0, 0}, std::nullopt},
      {{1, 0, 0, 4}, std::nullopt},
  };
  for (const auto& [header, expected] : headers) {
    std::string error;
    EXPECT_EQ(ParseHeader(header.data(), &error), expected);
    EXPECT_EQ(error.empty(), expected.has_value()) << testing::PrintToString(header);
  }
}

TEST(BridgeFrameTest, RefusesMalformedPayloads) {
  std::vector<Bytes> bad = {
      {5, 0, 0, 0, 0, 1, 0, 0, 0, 'c'},  // unknown kind
      MessagePayload({0, 0, 0, 0}, ""),
      MessagePayload({1, 4, 0, 0}, std::string(1025, 'n')),
      MessagePayload({0xff, 0xff, 0xff, 0xff}, "abc"),  // must not overflow the bounds check
  };
  // Every strict prefix lacks part of the id, the name length or the name.
  for (const Bytes& whole : {MessagePayload({4, 0, 0, 0}, "name"), Bytes{4, 9, 0, 0, 0}}) {
    for (size_t size = 1; size < whole.size(); ++size) {
      bad.emplace_back(whole.begin(), whole.begin() + size);
    }
  }
  for (const Bytes& payload : bad) {
    std::string error;
    EXPECT_FALSE(ParsePayload(payload.data(), payload.size(), &error).has_value())
        << testing::PrintToString(payload);
    EXPECT_FALSE(error.empty());
  }
  EXPECT_FALSE(ParsePayload(nullptr, 0, nullptr).has_value());

  // The longest name, ending the payload.
  const Bytes longest = MessagePayload({0, 4, 0, 0}, std::string(1024, 'n'));
  const std::optional<Frame> parsed = ParsePayload(longest.data(), longest.size(), nullptr);
  EXPECT_TRUE(parsed && parsed->channel == std::string(1024, 'n') && parsed->data.empty());
}

TEST(BridgeSettingTest, PortOneTo65535ThenTokenOf8To256PrintableCharacters) {
  const std::pair<std::string, Address> good[] = {
      {"65535:abcdefgh", {65535, "abcdefgh"}},
      {"8080:ab:cd:efgh", {8080, "ab:cd:efgh"}},  // only the first colon splits
      {"1:" + std::string(256, 'k'), {1, std::string(256, 'k')}},
  };
  for (const auto& [setting, expected] : good) {
    const std::optional<Address> address = ParseSetting(setting, nullptr);
    EXPECT_TRUE(address && address->port == expected.port && address->token == expected.token)
        << setting;
  }

  const std::string bad[] = {
      "54321abcdefgh",        // no colon
      "0:abcdefgh",           // port 0
      "65536:abcdefgh",       // one past the last port
      "4294967297:abcdefgh",  // would wrap to 1 in 32 bits
      "1:abcdefg",            // 7 characters
      "1:" + std::string(257, 'k'),
      "1:abcd efgh",
  };
  for (const std::string& setting : bad) {
    std::string error;
    EXPECT_FALSE(ParseSetting(setting, &error).has_value()) << setting;
    EXPECT_FALSE(error.empty()) << setting;
  }
}

// {"token": "abcdefgh", "peer": ...} with the peer's encoded value.
Bytes WithPeer(const std::string& peer) {
  const std::string bytes = "\15\2\7\5token\7\10abcdefgh\7\4peer" + peer;
  return Bytes(bytes.begin(), bytes.end());
}

TEST(BridgeWelcomeTest, PeerIsOptionalAndAStringOf1To64BytesWithoutControlCharacters) {
  const std::pair<Bytes, std::optional<std::string>> cases[] = {
      {{13, 1, 7, 5, 't', 'o', 'k', 'e', 'n', 7, 1, 'k'}, ""},
      {WithPeer("\7\7console"), "console"},
      {WithPeer("\7@" + std::string(64, 'p')), std::string(64, 'p')},
      {WithPeer("\7A" + std::string(65, 'p')), std::nullopt},
      {WithPeer({7, 0}), std::nullopt},
      {WithPeer("\7\3a\tb"), std::nullopt},
      {WithPeer({3, 1, 0, 0, 0}), std::nullopt},
      {{13, 1, 7, 4, 'p', 'e', 'e', 'r', 7, 1, 'k'}, std::nullopt},  // no token
  };
  for (const auto& [bytes, peer] : cases) {
    const std::optional<Welcome> welcome = ParseWelcome(bytes, nullptr);
    EXPECT_EQ(welcome ? std::optional(welcome->peer) : std::nullopt, peer)
        << testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace bridge
