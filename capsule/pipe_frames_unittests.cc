#include "capsule/pipe_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;
using Messages = std::vector<std::string>;

std::string Header(uint32_t size) {
  const PipeFrameHeader header = EncodePipeFrameHeader(size);
  return std::string(header.data(), header.size());
}

// Feeds |stream| in pieces of |piece| bytes (all at once when 0), each piece
// from its own exact allocation so reads past a piece show up under ASan.
Messages Read(std::string_view stream, size_t piece = 0, PipeFrameReader* reader = nullptr) {
  PipeFrameReader own;
  reader = reader ? reader : &own;
  Messages messages;
  piece = piece == 0 ? stream.size() : piece;
  for (size_t at = 0; at < stream.size(); at += piece) {
    std::vector<char> exact(stream.begin() + at,
                            stream.begin() + std::min(stream.size(), at + piece));
    reader->Feed(std::string_view(exact.data(), exact.size()),
                 [&messages](std::string_view message) { messages.emplace_back(message); });
  }
  return messages;
}

TEST(CapsulePipeFramesTest, FrameIsALittleEndianLengthThenTheBytesAsTheyAre) {
  EXPECT_EQ(Header(0x01020304), "\x04\x03\x02\x01"s);
  EXPECT_EQ(EncodePipeFrame("a\0b\xFF"s), "\4\0\0\0a\0b\xFF"s);
  EXPECT_EQ(EncodePipeFrame(""), "\x00\x00\x00\x00"s);
}

TEST(CapsulePipeFramesTest, ReadsMessagesInOrderWhateverThePieces) {
  const Messages sent = {R"({"cmd":"ready"})", "x", "with\0null\n"s, std::string(300, 'z')};
  std::string stream;
  for (const std::string& message : sent) {
    stream += EncodePipeFrame(message);
  }
  for (size_t piece = 0; piece <= stream.size(); ++piece) {
    SCOPED_TRACE(piece);
    EXPECT_EQ(Read(stream, piece), sent);
  }
  const std::string largest(kMaxPipeMessageSize, 'a');
  EXPECT_EQ(Read(EncodePipeFrame(largest) + EncodePipeFrame(largest), 65539),
            (Messages{largest, largest}));
}

TEST(CapsulePipeFramesTest, SkipsOnlyTheFourBytesOfAnUnacceptableHeaderAndDropsPartialFrames) {
  // What would have been a refused message's body is read as the next header.
  PipeFrameReader reader;
  EXPECT_EQ(Read(Header(0x01000000) + Header(65537) + Header(0) + Header(2) + "ok", 0, &reader),
            Messages{"ok"});
  EXPECT_EQ(reader.skipped_headers(), 3u);
  EXPECT_FALSE(reader.HasPartialFrame());
  // Dropping half a header or half a message leaves the reader at a header.
  for (size_t cut : {3, 6}) {
    EXPECT_TRUE(Read(EncodePipeFrame("hello").substr(0, cut), 0, &reader).empty());
    EXPECT_TRUE(reader.HasPartialFrame());
    reader.DropPartialFrame();
    EXPECT_FALSE(reader.HasPartialFrame());
    EXPECT_EQ(Read(EncodePipeFrame("again"), 0, &reader), Messages{"again"});
  }
}

}  // namespace
