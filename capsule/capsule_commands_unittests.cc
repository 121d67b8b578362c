#include "capsule/capsule_commands.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr std::string_view kButtons =
    R"("buttons":[{"id":"prev"},{"id":"play_pause"},{"id":"next"}])";

std::string Build(EncodableMap arguments) {
  return BuildCapsuleRenderCommand(arguments);
}

// A strict reader of the JSON the capsule's interface will see: it accepts one
// value and nothing after it, and collects every decoded string in order (member
// names included) so escaping can be checked by decoding.
class StrictJson {
 public:
  explicit StrictJson(std::string_view text) : text_(text) {}

  bool IsOneObject() { return Peek() == '{' && Value() && at_ == text_.size(); }
  const std::vector<std::string>& strings() const { return strings_; }

 private:
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c) {
      return false;
    }
    ++at_;
    return true;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) {
      return false;
    }
    at_ += word.size();
    return true;
  }
  bool Value() {
    switch (Peek()) {
      case '{':
        return Sequence('}', [this] { return String() && Take(':') && Value(); });
      case '[':
        return Sequence(']', [this] { return Value(); });
      case '"':
        return String();
      case 't':
        return Word("true");
      case 'f':
        return Word("false");
      case 'n':
        return Word("null");
      default:
        return Number();
    }
  }
  template <typename Member>
  bool Sequence(char close, Member member) {
    ++at_;
    if (Take(close)) {
      return true;
    }
    do {
      if (!member()) {
        return false;
      }
    } while (Take(','));
    return Take(close);
  }
  bool Digits() {
    size_t start = at_;
    while (Peek() >= '0' && Peek() <= '9') {
      ++at_;
    }
    return at_ > start;
  }
  bool Number() {
    Take('-');
    if (!Take('0') && !Digits()) {
      return false;
    }
    if (Take('.') && !Digits()) {
      return false;
    }
    return true;
  }
  bool String() {
    if (!Take('"')) {
      return false;
    }
    std::string decoded;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') {
        strings_.push_back(decoded);
        return true;
      }
      if (c < 0x20) {
        return false;
      }
      if (c != '\\') {
        decoded += static_cast<char>(c);
        continue;
      }
      const char escape = Peek();
      ++at_;
      static constexpr std::string_view kSimple = "\"\\/bfnrt";
      static constexpr std::string_view kMeaning = "\"\\/\b\f\n\r\t";
      if (size_t index = kSimple.find(escape); escape != '\0' && index != kSimple.npos) {
        decoded += kMeaning[index];
      } else if (escape == 'u' && at_ + 4 <= text_.size()) {
        // Only the escapes of single bytes are expected here.
        unsigned value = std::stoul(std::string(text_.substr(at_, 4)), nullptr, 16);
        if (value > 0x7f) {
          return false;
        }
        decoded += static_cast<char>(value);
        at_ += 4;
      } else {
        return false;
      }
    }
    return false;
  }

  std::string_view text_;
  size_t at_ = 0;
  std::vector<std::string> strings_;
};

struct CommandRow {
  const char* why;
  EncodableMap arguments;
  std::string_view command;
};

void ExpectCommands(const std::vector<CommandRow>& rows) {
  for (const CommandRow& row : rows) {
    SCOPED_TRACE(row.why);
    const std::string command = Build(row.arguments);
    EXPECT_EQ(command, row.command);
    EXPECT_TRUE(StrictJson(command).IsOneObject()) << command;
  }
}

TEST(CapsuleCommandsTest, FixedCommands) {
  EXPECT_EQ(kCapsuleRenderIdleCommand, R"({"cmd":"render","type":"idle"})");
  EXPECT_EQ(kCapsuleRenderIdleCommand.size(), 30u);
  EXPECT_EQ(kCapsuleHideCommand, R"({"cmd":"hide"})");
}

TEST(CapsuleCommandsTest, MusicCarriesTrackStateAndTheFixedButtons) {
  const std::string buttons(kButtons);
  ExpectCommands({
      {"progress 0.25, playing, no title or artist",
       {{"type", "music"}, {"progress", 0.25}, {"playing", true}},
       R"({"cmd":"render","type":"music","title":"","artist":"","progress":0.250000,"playing":true,)" +
           buttons + "}"},
      {"every member set, integer progress",
       {{"type", "music"},
        {"title", "Blue"},
        {"artist", "Ada"},
        {"progress", int32_t{1}},
        {"playing", false},
        {"text", "ignored"},
        {"duration", int32_t{9}}},
       R"({"cmd":"render","type":"music","title":"Blue","artist":"Ada","progress":1.000000,"playing":false,)" +
           buttons + "}"},
  });
}

TEST(CapsuleCommandsTest, StatusAndNotifyAlwaysCarryAPositiveDuration) {
  ExpectCommands({
      {"status with only a type",
       {{"type", "status"}},
       R"({"cmd":"render","type":"status","text":"","success":false,"duration":5})"},
      {"status with every member",
       {{"type", "status"}, {"text", "Saved"}, {"success", true}, {"duration", int32_t{8}}},
       R"({"cmd":"render","type":"status","text":"Saved","success":true,"duration":8})"},
      {"notify, duration 3",
       {{"type", "notify"}, {"text", "Hi"}, {"duration", int32_t{3}}},
       R"({"cmd":"render","type":"notify","text":"Hi","success":false,"duration":3})"},
      {"notify, duration 2.9 truncates",
       {{"type", "notify"}, {"duration", 2.9}},
       R"({"cmd":"render","type":"notify","text":"","success":false,"duration":2})"},
      {"notify, duration -1",
       {{"type", "notify"}, {"duration", int32_t{-1}}},
       R"({"cmd":"render","type":"notify","text":"","success":false,"duration":5})"},
      {"notify, duration 0",
       {{"type", "notify"}, {"duration", int32_t{0}}},
       R"({"cmd":"render","type":"notify","text":"","success":false,"duration":5})"},
      {"notify, duration 0.9 truncates to zero",
       {{"type", "notify"}, {"duration", 0.9}},
       R"({"cmd":"render","type":"notify","text":"","success":false,"duration":5})"},
      {"notify, duration -2.9 truncates toward zero",
       {{"type", "notify"}, {"duration", -2.9}},
       R"({"cmd":"render","type":"notify","text":"","success":false,"duration":5})"},
      {"notify, largest int32",
       {{"type", "notify"}, {"duration", int32_t{2147483647}}},
       R"({"cmd":"render","type":"notify","text":"","success":false,"duration":2147483647})"},
  });
}

TEST(CapsuleCommandsTest, VoiceAndProgressRows) {
  ExpectCommands({
      {"voice takes only its text",
       {{"type", "voice"}, {"text", "Listening"}, {"progress", 0.5}, {"success", true}},
       R"({"cmd":"render","type":"voice","text":"Listening"})"},
      {"voice without text", {{"type", "voice"}}, R"({"cmd":"render","type":"voice","text":""})"},
      {"progress",
       {{"type", "progress"}, {"text", "Copying"}, {"progress", 0.5}, {"duration", int32_t{4}}},
       R"({"cmd":"render","type":"progress","text":"Copying","progress":0.500000})"},
  });
}

TEST(CapsuleCommandsTest, OtherTypesWriteADurationOnlyWhenPositive) {
  ExpectCommands({
      {"idle alone differs from the fixed render-idle command",
       {{"type", "idle"}},
       R"({"cmd":"render","type":"idle","text":"","success":false,"progress":0.000000})"},
      {"missing type",
       {},
       R"({"cmd":"render","type":"","text":"","success":false,"progress":0.000000})"},
      {"type of another codec type",
       {{"type", int32_t{3}}},
       R"({"cmd":"render","type":"","text":"","success":false,"progress":0.000000})"},
      {"type names are case-sensitive",
       {{"type", "Music"}},
       R"({"cmd":"render","type":"Music","text":"","success":false,"progress":0.000000})"},
      {"unknown type with every member",
       {{"type", "weather"},
        {"text", "Rain"},
        {"success", true},
        {"progress", 0.75},
        {"duration", int32_t{4}}},
       R"({"cmd":"render","type":"weather","text":"Rain","success":true,"progress":0.750000,"duration":4})"},
      {"zero duration left out",
       {{"type", "idle"}, {"duration", int32_t{0}}},
       R"({"cmd":"render","type":"idle","text":"","success":false,"progress":0.000000})"},
      {"negative duration left out",
       {{"type", "idle"}, {"duration", int32_t{-3}}},
       R"({"cmd":"render","type":"idle","text":"","success":false,"progress":0.000000})"},
      {"double duration truncated",
       {{"type", ""}, {"duration", 7.99}},
       R"({"cmd":"render","type":"","text":"","success":false,"progress":0.000000,"duration":7})"},
  });
}

TEST(CapsuleCommandsTest, MembersOfOtherCodecTypesCountAsMissing) {
  ExpectCommands({
      {"64-bit integers are not accepted",
       {{"type", "notify"}, {"text", "x"}, {"duration", int64_t{7}}},
       R"({"cmd":"render","type":"notify","text":"x","success":false,"duration":5})"},
      {"strings are not numbers or booleans",
       {{"type", "music"},
        {"title", int32_t{1}},
        {"artist", true},
        {"progress", "0.5"},
        {"playing", "true"}},
       R"({"cmd":"render","type":"music","title":"","artist":"","progress":0.000000,"playing":false,)" +
           std::string(kButtons) + "}"},
      {"integers are not booleans, 64-bit progress is not a number",
       {{"type", "idle"}, {"success", int32_t{1}}, {"progress", int64_t{1}}},
       R"({"cmd":"render","type":"idle","text":"","success":false,"progress":0.000000})"},
      {"null values",
       {{"type", "status"}, {"text", EncodableValue()}, {"duration", EncodableValue()}},
       R"({"cmd":"render","type":"status","text":"","success":false,"duration":5})"},
      {"out-of-range double duration saturates",
       {{"type", "idle"}, {"duration", 1e300}},
       R"({"cmd":"render","type":"idle","text":"","success":false,"progress":0.000000,"duration":2147483647})"},
      {"NaN duration",
       {{"type", "status"}, {"duration", std::nan("")}},
       R"({"cmd":"render","type":"status","text":"","success":false,"duration":5})"},
  });
}

TEST(CapsuleCommandsTest, ProgressIsWrittenLikePrintfFixed) {
  struct {
    double progress;
    std::string_view text;
  } const rows[] = {
      {0.25, "0.250000"},
      {1.0 / 3, "0.333333"},
      {2.0 / 3, "0.666667"},
      {-0.5, "-0.500000"},
      {1e20, "100000000000000000000.000000"},
      {0.0000004, "0.000000"},
      {100, "100.000000"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(
        Build({{"type", "progress"}, {"progress", row.progress}}),
        R"({"cmd":"render","type":"progress","text":"","progress":)" + std::string(row.text) + "}");
  }
  // Extremes checked against the C library itself, which uses the C locale here.
  for (double progress : {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -0.0, 0.5e-6, 1.5e-6}) {
    char expected[512];
    std::snprintf(expected, sizeof(expected), "%f", progress);
    EXPECT_EQ(
        Build({{"type", "progress"}, {"progress", progress}}),
        R"({"cmd":"render","type":"progress","text":"","progress":)" + std::string(expected) + "}");
  }
}

TEST(CapsuleCommandsTest, NonFiniteProgressKeepsTheCommandJson) {
  for (double progress :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(Build({{"type", "progress"}, {"progress", progress}}),
              R"({"cmd":"render","type":"progress","text":"","progress":0.000000})");
  }
}

TEST(CapsuleCommandsTest, ProgressIgnoresTheProcessLocale) {
  const char* const kCommaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                       "German_Germany.1252"};
  const char* chosen = nullptr;
  for (const char* name : kCommaLocales) {
    if (std::setlocale(LC_ALL, name)) {
      chosen = name;
      break;
    }
  }
  if (!chosen) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  const std::string command = Build({{"type", "progress"}, {"progress", 0.25}});
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(command, R"({"cmd":"render","type":"progress","text":"","progress":0.250000})");
}

TEST(CapsuleCommandsTest, StringsAreEscapedIntoOneJsonObject) {
  ExpectCommands({
      {"quote, backslash and control character",
       {{"type", "music"}, {"title", "say \"hi\" C:\\x\x01"}, {"artist", "a\nb\tc"}},
       R"({"cmd":"render","type":"music","title":"say \"hi\" C:\\x\u0001","artist":"a\nb\tc","progress":0.000000,"playing":false,)" +
           std::string(kButtons) + "}"},
      {"the type itself is escaped",
       {{"type", "x\"y"}},
       R"({"cmd":"render","type":"x\"y","text":"","success":false,"progress":0.000000})"},
      {"UTF-8, slash and DEL pass unchanged",
       {{"type", "voice"}, {"text", "caf\xC3\xA9 1/2 \x7F"}},
       "{\"cmd\":\"render\",\"type\":\"voice\",\"text\":\"caf\xC3\xA9 1/2 \x7F\"}"},
  });
}

TEST(CapsuleCommandsTest, EveryAsciiByteDecodesBackFromEveryStringMember) {
  for (const char* type : {"music", "status", "voice", "progress", "notify", "idle"}) {
    for (int byte = 0; byte < 0x80; ++byte) {
      const std::string odd = std::string("<") + static_cast<char>(byte) + ">";
      const std::string command =
          Build({{"type", type}, {"title", odd}, {"artist", odd}, {"text", odd}});
      StrictJson json(command);
      ASSERT_TRUE(json.IsOneObject()) << type << " byte " << byte << ": " << command;
      int decoded_values = 0;
      const std::vector<std::string>& strings = json.strings();
      for (size_t i = 0; i + 1 < strings.size(); ++i) {
        if (strings[i] == "title" || strings[i] == "artist" || strings[i] == "text") {
          EXPECT_EQ(strings[i + 1], odd) << type << " byte " << byte;
          ++decoded_values;
        }
      }
      EXPECT_GE(decoded_values, 1) << type;
    }
  }
}

TEST(CapsuleCommandsTest, RenderTypeIsTheStringOrEmpty) {
  EXPECT_EQ(CapsuleRenderType({{"type", "music"}}), "music");
  EXPECT_EQ(CapsuleRenderType({{"type", true}}), "");
  EXPECT_EQ(CapsuleRenderType({}), "");
}

}  // namespace
