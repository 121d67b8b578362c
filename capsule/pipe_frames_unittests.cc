#include "capsule/pipe_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;

std::string Header(uint32_t size) {
  const PipeFrameHeader header = EncodePipeFrameHeader(size);
  return std::string(header.data(), header.size());
}

// Feeds |stream| in pieces of |piece| bytes (all at once when 0), each piece
// from its own exact allocation so reads past a piece show up under ASan.
std::vector<std::string> Read(PipeFrameReader& reader, std::string_view stream, size_t piece = 0) {
  std::vector<std::string> messages;
  auto collect = [&messages](std::string_view message) { messages.emplace_back(message); };
  if (piece == 0) {
    piece = stream.size();
  }
  for (size_t at = 0; at < stream.size(); at += piece) {
    std::vector<char> exact(stream.begin() + at,
                            stream.begin() + std::min(stream.size(), at + piece));
    reader.Feed(std::string_view(exact.data(), exact.size()), collect);
  }
  return messages;
}

std::vector<std::string> Read(std::string_view stream, size_t piece = 0) {
  PipeFrameReader reader;
  return Read(reader, stream, piece);
}

TEST(CapsulePipeFramesTest, HeaderIsFourLittleEndianBytes) {
  EXPECT_EQ(Header(1), "\x01\x00\x00\x00"s);
  EXPECT_EQ(Header(0x01020304), "\x04\x03\x02\x01"s);
  EXPECT_EQ(Header(65536), "\x00\x00\x01\x00"s);
  EXPECT_EQ(Header(0xFFFFFFFF), "\xFF\xFF\xFF\xFF"s);
}

TEST(CapsulePipeFramesTest, FrameIsHeaderThenTheBytesAsTheyAre) {
  EXPECT_EQ(EncodePipeFrame(R"({"cmd":"hide"})"), "\x0E\x00\x00\x00{\"cmd\":\"hide\"}"s);
  EXPECT_EQ(EncodePipeFrame(""), "\x00\x00\x00\x00"s);
  EXPECT_EQ(EncodePipeFrame("a\0b\xFF"s),
            "\x04\x00\x00\x00"
            "a\0b\xFF"s);
}

TEST(CapsulePipeFramesTest, ReadsMessagesInOrderWhateverThePieces) {
  const std::vector<std::string> sent = {R"({"cmd":"ready"})", "x", "with\0null\n"s,
                                         std::string(300, 'z')};
  std::string stream;
  for (const std::string& message : sent) {
    stream += EncodePipeFrame(message);
  }
  for (size_t piece = 0; piece <= stream.size(); ++piece) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    EXPECT_EQ(Read(stream, piece), sent);
  }
}

TEST(CapsulePipeFramesTest, AcceptsSizesFromOneTo65536) {
  std::string largest(kMaxPipeMessageSize, 'a');
  largest.front() = '{';
  largest.back() = '}';
  for (size_t piece : {size_t{0}, size_t{1000}, size_t{65539}}) {
    EXPECT_EQ(Read(EncodePipeFrame(largest) + EncodePipeFrame(largest), piece),
              (std::vector<std::string>{largest, largest}));
  }
  EXPECT_EQ(Read(EncodePipeFrame("1")), std::vector<std::string>{"1"});
}

TEST(CapsulePipeFramesTest, SkipsOnlyTheHeaderOfAnUnacceptableSize) {
  for (uint32_t size :
       {uint32_t{0}, kMaxPipeMessageSize + 1, uint32_t{0x7FFFFFFF}, uint32_t{0xFFFFFFFF}}) {
    SCOPED_TRACE(size);
    PipeFrameReader reader;
    EXPECT_EQ(Read(reader, Header(size) + EncodePipeFrame("next")),
              std::vector<std::string>{"next"});
    EXPECT_EQ(reader.skipped_headers(), 1u);
    EXPECT_FALSE(reader.HasPartialFrame());
  }
}

TEST(CapsulePipeFramesTest, BytesAfterASkippedHeaderAreReadAsAHeader) {
  // The skipped header's would-be body is not consumed with it: its first four
  // bytes announce the next message.
  PipeFrameReader reader;
  EXPECT_EQ(Read(reader, Header(65537) + Header(0) + Header(2) + "ok"),
            std::vector<std::string>{"ok"});
  EXPECT_EQ(reader.skipped_headers(), 2u);
}

TEST(CapsulePipeFramesTest, HoldsPartialFramesUntilCompleteOrDropped) {
  PipeFrameReader reader;
  EXPECT_FALSE(reader.HasPartialFrame());
  const std::string frame = EncodePipeFrame("hello");

  EXPECT_TRUE(Read(reader, frame.substr(0, 2)).empty());
  EXPECT_TRUE(reader.HasPartialFrame());
  EXPECT_TRUE(Read(reader, frame.substr(2, 5)).empty());
  EXPECT_TRUE(reader.HasPartialFrame());
  EXPECT_EQ(Read(reader, frame.substr(7)), std::vector<std::string>{"hello"});
  EXPECT_FALSE(reader.HasPartialFrame());

  // A dropped half message leaves the reader at a header again.
  EXPECT_TRUE(Read(reader, frame.substr(0, 6)).empty());
  reader.DropPartialFrame();
  EXPECT_FALSE(reader.HasPartialFrame());
  EXPECT_EQ(Read(reader, EncodePipeFrame("again")), std::vector<std::string>{"again"});

  EXPECT_TRUE(Read(reader, frame.substr(0, 3)).empty());
  reader.DropPartialFrame();
  EXPECT_EQ(Read(reader, EncodePipeFrame("after header")),
            std::vector<std::string>{"after header"});
}

TEST(CapsulePipeFramesTest, ShorterMessageAfterALongerOneHasNoLeftovers) {
  EXPECT_EQ(Read(EncodePipeFrame(std::string(5000, 'L')) + EncodePipeFrame("s")),
            (std::vector<std::string>{std::string(5000, 'L'), "s"}));
}

}  // namespace
