#include <flutter/method_result_functions.h>
#include <flutter/standard_method_codec.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;
using Answer = std::pair<std::string, std::optional<EncodableValue>>;

const StandardMessageCodec& kMessageCodec = StandardMessageCodec::GetInstance();
const StandardMethodCodec& kMethodCodec = StandardMethodCodec::GetInstance();

Bytes Sized(Bytes prefix, size_t count, uint8_t fill) {
  prefix.insert(prefix.end(), count, fill);
  return prefix;
}

// |count| nested lists (or maps from null to the next), the innermost empty.
Bytes Nested(size_t count, bool maps) {
  const Bytes level = maps ? Bytes{13, 1, 0} : Bytes{12, 1};
  Bytes bytes;
  for (size_t i = 1; i < count; ++i) {
    bytes.insert(bytes.end(), level.begin(), level.end());
  }
  bytes.insert(bytes.end(), {level[0], 0});
  return bytes;
}

std::optional<EncodableValue> Copy(const EncodableValue* value) {
  return value ? std::optional<EncodableValue>(*value) : std::nullopt;
}

struct Recorder : MethodResult<EncodableValue> {
  std::vector<Answer> answers;
  void SuccessInternal(const EncodableValue* v) override { answers.push_back({"ok", Copy(v)}); }
  void ErrorInternal(const std::string& c, const std::string& m, const EncodableValue* v) override {
    answers.push_back({"error " + c + " " + m, Copy(v)});
  }
  void NotImplementedInternal() override { answers.push_back({"not implemented", {}}); }
};

// Why |bytes| are refused as a message ('v'), a method call ('c') or a
// response envelope ('e'); "decoded" if they are not.
std::string Refusal(char as, const Bytes& bytes) {
  std::string error;
  Recorder result;
  bool decoded = as == 'v' ? kMessageCodec.DecodeMessage(bytes, &error) != nullptr
                 : as == 'c'
                     ? kMethodCodec.DecodeMethodCall(bytes.data(), bytes.size(), &error) != nullptr
                     : kMethodCodec.DecodeAndProcessResponseEnvelope(bytes.data(), bytes.size(),
                                                                     &result, &error);
  EXPECT_TRUE(result.answers.empty());  // no partial answer from a malformed response
  return decoded ? "decoded" : error;
}

TEST(EncodableValueTest, NanKeysFromAPeerKeepTheMapOrdered) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EncodableMap numbers{{nan, 1}, {1.0, 2}};
  numbers[nan] = 3;
  EXPECT_EQ(numbers.size(), 2u);
  EXPECT_EQ(numbers.rbegin()->second, EncodableValue(3));
}

// Exact bytes of Flutter's standard codec; each decodes back to a value of the
// same C++ type, alone and inside a list, and each cut short is refused.
TEST(StandardMessageCodecTest, EncodesExactBytesAndDecodesThemBack) {
  const std::pair<EncodableValue, Bytes> cases[] = {
      {EncodableValue(), {0}},
      {true, {1}},
      {false, {2}},
      {int32_t{-2}, {3, 0xfe, 0xff, 0xff, 0xff}},
      {int64_t{0x0102030405060708}, {4, 8, 7, 6, 5, 4, 3, 2, 1}},
      // float64 and typed lists are aligned from the start of the message.
      {EncodableList{"a", 2.0}, {12, 2, 7, 1, 'a', 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40}},
      {"", {7, 0}},
      {std::string(253, 'x'), Sized({7, 253}, 253, 'x')},
      {std::string(254, 'x'), Sized({7, 254, 254, 0}, 254, 'x')},
      {std::string(65535, 'x'), Sized({7, 254, 0xff, 0xff}, 65535, 'x')},
      {std::string(65536, 'x'), Sized({7, 255, 0, 0, 1, 0}, 65536, 'x')},
      {std::vector<uint8_t>{1, 2, 255}, {8, 3, 1, 2, 255}},
      {std::vector<int32_t>{1, -1}, {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}},
      // The padding follows the size, so a wide size moves it.
      {std::vector<int64_t>(300), Sized({10, 254, 0x2c, 0x01, 0, 0, 0, 0}, 2400, 0)},
      {std::vector<double>{1.5}, {11, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f}},
      {std::vector<float>{1.5f}, {14, 1, 0, 0, 0, 0, 0xc0, 0x3f}},
      // Keys go out in map order: the int64 key sorts before the string.
      {EncodableMap{{"a", EncodableList{1, EncodableMap{{true, EncodableValue()}}}},
                    {int64_t{2}, "b"}},
       {13, 2, 4, 2, 0, 0, 0, 0, 0, 0, 0, 7, 1, 'b', 7, 1, 'a', 12, 2, 3, 1, 0, 0, 0, 13, 1, 1, 0}},
  };
  EncodableList every;
  for (const auto& [value, bytes] : cases) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    EXPECT_EQ(*kMessageCodec.EncodeMessage(value), bytes);
    // Equal values hold the same C++ type.
    EXPECT_EQ(Copy(kMessageCodec.DecodeMessage(bytes).get()), value);
    if (bytes.size() < 1000) {
      every.push_back(value);
    }
  }
  // In one list the values sit at other offsets, so padding differs.
  const Bytes full = *kMessageCodec.EncodeMessage(every);
  EXPECT_EQ(*kMessageCodec.DecodeMessage(full), EncodableValue(every));
  for (size_t length = 0; length < full.size(); ++length) {
    const std::string error = Refusal('v', Bytes(full.begin(), full.begin() + length));
    EXPECT_TRUE(error == "truncated" || error == "size past end") << length << ": " << error;
  }
}

TEST(StandardCodecTest, RefusesMalformedInputWithItsReason) {
  std::vector<std::tuple<char, Bytes, std::string>> cases = {
      {'v', {}, "truncated"},
      {'v', {0, 0}, "trailing bytes"},
      {'v', {15}, "unknown type tag 0x0f"},
      {'v', {5, 1, '1'}, "unsupported large integer tag 0x05"},
      {'v', Nested(65, false), "nesting too deep"},
      {'v', Nested(65, true), "nesting too deep"},
      {'v', Nested(1000000, false), "nesting too deep"},  // refused at the cap, not at the end
      {'v', Nested(64, false), "decoded"},
      {'c', {3, 1, 0, 0, 0, 0}, "method name is not a string"},
      {'e', {2, 0}, "unknown envelope flag 0x02"},
      {'e', {0, 15}, "unknown type tag 0x0f"},
      {'e', {1, 3, 1, 0, 0, 0, 0, 0}, "error code is not a string"},
      {'e', {1, 7, 1, 'c', 3, 1, 0, 0, 0, 0}, "error message is not a string"},
  };
  // A huge claimed count must fail before anything is sized from it.
  for (uint8_t tag = 7; tag <= 14; ++tag) {
    cases.push_back(
        {'v', {tag, 255, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0}, "size past end"});
  }
  for (const auto& [as, bytes, error] : cases) {
    EXPECT_EQ(Refusal(as, bytes), error) << as << " " << testing::PrintToString(bytes);
  }
  EXPECT_EQ(kMessageCodec.DecodeMessage(nullptr, 0), nullptr);
}

Bytes Success(const EncodableValue* value = nullptr) {
  return *kMethodCodec.EncodeSuccessEnvelope(value);
}
Bytes Error(const std::string& code, const std::string& message, const EncodableValue* details) {
  return *kMethodCodec.EncodeErrorEnvelope(code, message, details);
}

TEST(StandardMethodCodecTest, CallsAndEnvelopesHaveExactBytesAndDecodeBack) {
  const std::tuple<const char*, std::optional<EncodableValue>, Bytes> calls[] = {
      {"sum", std::nullopt, {7, 3, 's', 'u', 'm', 0}},
      // Aligned from the start of the call, not of the arguments.
      {"ab", 1.0, {7, 2, 'a', 'b', 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f}},
  };
  for (const auto& [name, arguments, bytes] : calls) {
    auto given = arguments ? std::make_unique<EncodableValue>(*arguments) : nullptr;
    EXPECT_EQ(*kMethodCodec.EncodeMethodCall({name, std::move(given)}), bytes) << name;
    auto call = kMethodCodec.DecodeMethodCall(bytes.data(), bytes.size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->method_name(), name);
    ASSERT_NE(call->arguments(), nullptr);  // null when the call has none
    EXPECT_EQ(*call->arguments(), arguments.value_or(EncodableValue()));
  }

  const EncodableValue half(1.5), nine(9);
  const std::tuple<Bytes, Bytes, Answer> envelopes[] = {
      {Success(), {0, 0}, {"ok", std::nullopt}},
      // Aligned from the flag byte.
      {Success(&half), {0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f}, {"ok", 1.5}},
      {Error("E", "m", nullptr), {1, 7, 1, 'E', 7, 1, 'm', 0}, {"error E m", {}}},
      {Error("E", "", &nine), {1, 7, 1, 'E', 0, 3, 9, 0, 0, 0}, {"error E ", 9}},
      {{}, {}, {"not implemented", {}}},  // the other side has no handler
  };
  for (const auto& [encoded, bytes, answer] : envelopes) {
    EXPECT_EQ(encoded, bytes);
    Recorder result;
    EXPECT_TRUE(kMethodCodec.DecodeAndProcessResponseEnvelope(bytes.data(), bytes.size(), &result));
    EXPECT_EQ(result.answers, std::vector<Answer>{answer}) << testing::PrintToString(bytes);
  }
}

TEST(MethodResultTest, AnswersAtMostOnceEvenFromInsideAnAnswer) {
  bool answered_again = false;
  std::unique_ptr<MethodResult<EncodableValue>> reentered;
  reentered = std::make_unique<MethodResultFunctions<EncodableValue>>(
      [&reentered](const EncodableValue*) { reentered->Error("again"); },
      [&](const std::string&, const std::string&, const EncodableValue*) { answered_again = true; },
      nullptr);
  reentered->Success();
  EXPECT_FALSE(answered_again);
}

}  // namespace
}  // namespace flutter
