#include "embedder/standard_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

// Little-endian bytes of doubles used below.
const Bytes kOnePointZero = {0, 0, 0, 0, 0, 0, 0xf0, 0x3f};
const Bytes kOnePointFive = {0, 0, 0, 0, 0, 0, 0xf8, 0x3f};
const Bytes kTwoPointZero = {0, 0, 0, 0, 0, 0, 0x00, 0x40};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) {
    joined.insert(joined.end(), part.begin(), part.end());
  }
  return joined;
}

Bytes Encode(const EncodableValue& value) {
  auto bytes = StandardMessageCodec::GetInstance().EncodeMessage(value);
  EXPECT_NE(bytes, nullptr);
  return bytes ? *bytes : Bytes();
}

// Decodes from an allocation of exactly |bytes.size()| so that any read past
// the end is caught by the address sanitizer.
std::unique_ptr<EncodableValue> Decode(const Bytes& bytes, std::string* error = nullptr) {
  Bytes exact(bytes.begin(), bytes.end());
  return StandardMessageCodec::GetInstance().DecodeMessage(exact.data(), exact.size(), error);
}

// Returns the failure reason, or "decoded" if the bytes unexpectedly decode.
std::string DecodeError(const Bytes& bytes) {
  std::string error;
  if (Decode(bytes, &error)) {
    return "decoded";
  }
  EXPECT_FALSE(error.empty());
  return error;
}

void ExpectEncodesTo(const EncodableValue& value, const Bytes& expected) {
  EXPECT_EQ(Encode(value), expected);
  std::unique_ptr<EncodableValue> decoded = Decode(expected);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->index(), value.index());
  EXPECT_EQ(*decoded, value);
}

// |count| lists, each holding the next one; the innermost is empty.
Bytes NestedLists(size_t count) {
  Bytes bytes;
  for (size_t i = 1; i < count; ++i) {
    bytes.insert(bytes.end(), {12, 1});
  }
  bytes.insert(bytes.end(), {12, 0});
  return bytes;
}

// |count| maps, each mapping null to the next one; the innermost is empty.
Bytes NestedMaps(size_t count) {
  Bytes bytes;
  for (size_t i = 1; i < count; ++i) {
    bytes.insert(bytes.end(), {13, 1, 0});
  }
  bytes.insert(bytes.end(), {13, 0});
  return bytes;
}

// One value of every type, with sizes that need padding and a wide prefix.
EncodableValue EveryType() {
  return EncodableList{
      EncodableValue(),
      true,
      false,
      int32_t{-5},
      int64_t{1} << 40,
      3.25,
      "h\xc3\xa9llo",
      std::vector<uint8_t>{1, 2},
      std::vector<int32_t>{7},
      std::vector<int64_t>{-8},
      std::vector<double>{0.5},
      EncodableList{1, "x"},
      EncodableMap{{EncodableValue("k"), EncodableValue(2.5)}},
      std::vector<float>{0.25f},
      std::string(300, 's'),
  };
}

// Records what a result was told, and how many times.
class RecordingResult : public MethodResult<EncodableValue> {
 public:
  int answers = 0;
  std::string kind;
  std::string code;
  std::string message;
  // The success value or the error details, when not null.
  std::optional<EncodableValue> payload;

 protected:
  void SuccessInternal(const EncodableValue* result) override { Record("success", result); }
  void ErrorInternal(const std::string& error_code,
                     const std::string& error_message,
                     const EncodableValue* details) override {
    Record("error", details);
    code = error_code;
    message = error_message;
  }
  void NotImplementedInternal() override { Record("not implemented", nullptr); }

 private:
  void Record(const char* answer_kind, const EncodableValue* value) {
    ++answers;
    kind = answer_kind;
    if (value) {
      payload = *value;
    }
  }
};

// EncodableValue

TEST(EncodableValueTest, StringLiteralBuildsStringNotBool) {
  EncodableValue value("on");
  EXPECT_EQ(std::get<std::string>(value), "on");
  value = "off";
  EXPECT_EQ(std::get<std::string>(value), "off");
  EncodableList list{"x"};
  EXPECT_TRUE(std::holds_alternative<std::string>(list[0]));
}

TEST(EncodableValueTest, IntegerWidthFollowsConstructedType) {
  EXPECT_TRUE(std::holds_alternative<int32_t>(EncodableValue(5)));
  EXPECT_TRUE(std::holds_alternative<int64_t>(EncodableValue(int64_t{5})));
  EXPECT_EQ(EncodableValue(int32_t{-7}).LongValue(), -7);
  EXPECT_EQ(EncodableValue(int64_t{1} << 40).LongValue(), int64_t{1} << 40);
  EXPECT_THROW(EncodableValue("7").LongValue(), std::bad_variant_access);
  EXPECT_THROW(EncodableValue(7.0).LongValue(), std::bad_variant_access);
}

TEST(EncodableValueTest, IsNullOnlyForMonostate) {
  EXPECT_TRUE(EncodableValue().IsNull());
  EXPECT_FALSE(EncodableValue(false).IsNull());
  EXPECT_FALSE(EncodableValue(0).IsNull());
  EXPECT_FALSE(EncodableValue(EncodableList{}).IsNull());
}

// Assigning from a non-const value must copy it, not pick some alternative
// (such as a one-element list) that can be built from it.
TEST(EncodableValueTest, AssignmentFromMutableValueCopiesIt) {
  EncodableValue target = 1;
  EncodableValue source = "text";
  target = source;
  EXPECT_EQ(target, EncodableValue("text"));
  EncodableValue copy(source);
  EXPECT_EQ(copy, source);
}

TEST(EncodableValueTest, MapOrdersMixedKeysByTypeThenValue) {
  EncodableMap map{
      {EncodableValue("b"), EncodableValue(1)},
      {EncodableValue(int64_t{1}), EncodableValue(2)},
      {EncodableValue("a"), EncodableValue(3)},
      {EncodableValue(int32_t{9}), EncodableValue(4)},
      {EncodableValue(), EncodableValue(5)},
      {EncodableValue(EncodableList{1}), EncodableValue(6)},
  };
  std::vector<EncodableValue> keys;
  for (const auto& entry : map) {
    keys.push_back(entry.first);
  }
  EXPECT_EQ(keys, (std::vector<EncodableValue>{EncodableValue(), int32_t{9}, int64_t{1}, "a", "b",
                                               EncodableList{1}}));
  EXPECT_EQ(map.at(EncodableValue("a")), EncodableValue(3));
  EXPECT_EQ(map.count(EncodableValue(int32_t{1})), 0u);
}

// NaN keys (which a peer can send) must not break the map's ordering.
TEST(EncodableValueTest, NanMapKeysAreEquivalentAndSortLast) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EncodableMap map;
  map[EncodableValue(nan)] = 1;
  map[EncodableValue(1.0)] = 2;
  map[EncodableValue(nan)] = 3;
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map.begin()->first, EncodableValue(1.0));
  EXPECT_EQ(map.rbegin()->second, EncodableValue(3));
}

// Message encoding

TEST(StandardMessageCodecTest, EncodesNullAndBooleans) {
  ExpectEncodesTo(EncodableValue(), {0});
  ExpectEncodesTo(EncodableValue(true), {1});
  ExpectEncodesTo(EncodableValue(false), {2});
}

TEST(StandardMessageCodecTest, IntegersKeepTheirWidth) {
  ExpectEncodesTo(int32_t{5}, {3, 5, 0, 0, 0});
  ExpectEncodesTo(int32_t{-2}, {3, 0xfe, 0xff, 0xff, 0xff});
  ExpectEncodesTo(int64_t{5}, {4, 5, 0, 0, 0, 0, 0, 0, 0});
  ExpectEncodesTo(int64_t{0x0102030405060708}, {4, 8, 7, 6, 5, 4, 3, 2, 1});
  ExpectEncodesTo(int64_t{-1}, {4, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff});

  std::unique_ptr<EncodableValue> small = Decode({3, 5, 0, 0, 0});
  ASSERT_NE(small, nullptr);
  EXPECT_TRUE(std::holds_alternative<int32_t>(*small));
  EXPECT_EQ(small->LongValue(), 5);
  std::unique_ptr<EncodableValue> wide = Decode({4, 5, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_NE(wide, nullptr);
  EXPECT_TRUE(std::holds_alternative<int64_t>(*wide));
  EXPECT_EQ(wide->LongValue(), 5);
}

TEST(StandardMessageCodecTest, Float64IsAlignedFromMessageStart) {
  ExpectEncodesTo(1.5, Join({{6, 0, 0, 0, 0, 0, 0, 0}, kOnePointFive}));
}

// The double's tag sits at offset 5, so it is padded to offset 8 of the
// message, not to a multiple of 8 from where the element starts.
TEST(StandardMessageCodecTest, Float64AfterOddLengthStringInList) {
  const Bytes expected = Join({{12, 2, 7, 1, 'a', 6, 0, 0}, kTwoPointZero});
  ExpectEncodesTo(EncodableList{"a", 2.0}, expected);

  Bytes dirty_padding = expected;
  dirty_padding[6] = 0xaa;
  dirty_padding[7] = 0xaa;
  std::unique_ptr<EncodableValue> decoded = Decode(dirty_padding);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(*decoded, (EncodableValue(EncodableList{"a", 2.0})));
}

TEST(StandardMessageCodecTest, StringSizePrefixes) {
  ExpectEncodesTo("", {7, 0});
  ExpectEncodesTo("h\xc3\xa9", {7, 3, 'h', 0xc3, 0xa9});

  struct Case {
    size_t length;
    Bytes prefix;
  };
  const Case cases[] = {
      {253, {7, 253}},
      {254, {7, 254, 254, 0}},
      {65535, {7, 254, 0xff, 0xff}},
      {65536, {7, 255, 0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    ExpectEncodesTo(std::string(c.length, 'x'), Join({c.prefix, Bytes(c.length, 'x')}));
  }
}

TEST(StandardMessageCodecTest, TypedListsWithPadding) {
  ExpectEncodesTo(std::vector<uint8_t>{1, 2, 255}, {8, 3, 1, 2, 255});
  ExpectEncodesTo(std::vector<uint8_t>{}, {8, 0});

  ExpectEncodesTo(std::vector<int32_t>{1, -1}, {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff});
  ExpectEncodesTo(std::vector<int32_t>{}, {9, 0, 0, 0});

  ExpectEncodesTo(std::vector<int64_t>{-2},
                  {10, 1, 0, 0, 0, 0, 0, 0, 0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff});
  ExpectEncodesTo(std::vector<int64_t>{}, {10, 0, 0, 0, 0, 0, 0, 0});

  ExpectEncodesTo(std::vector<double>{1.5}, Join({{11, 1, 0, 0, 0, 0, 0, 0}, kOnePointFive}));
  ExpectEncodesTo(std::vector<double>{}, {11, 0, 0, 0, 0, 0, 0, 0});

  ExpectEncodesTo(std::vector<float>{1.5f}, {14, 1, 0, 0, 0, 0, 0xc0, 0x3f});
  ExpectEncodesTo(std::vector<float>{}, {14, 0, 0, 0});
}

// The padding is computed after the size, so a wider size prefix moves it.
TEST(StandardMessageCodecTest, TypedListPaddingFollowsWideSizePrefix) {
  std::vector<int64_t> list(300, 0);
  list[0] = 1;
  const Bytes encoded = Encode(list);
  ASSERT_EQ(encoded.size(), 8u + 300 * 8);
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 9),
            (Bytes{10, 254, 0x2c, 0x01, 0, 0, 0, 0, 1}));
  std::unique_ptr<EncodableValue> decoded = Decode(encoded);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(*decoded, EncodableValue(list));
}

TEST(StandardMessageCodecTest, NestedListsAndMaps) {
  ExpectEncodesTo(EncodableList{}, {12, 0});
  ExpectEncodesTo(EncodableMap{}, {13, 0});

  // Keys are written in map order: the int64 key sorts before the string.
  const EncodableMap map{
      {EncodableValue("a"),
       EncodableValue(EncodableList{1, EncodableMap{{EncodableValue(true), EncodableValue()}}})},
      {EncodableValue(int64_t{2}), EncodableValue("b")},
  };
  ExpectEncodesTo(map, {13, 2,                         // map of 2
                        4,  2, 0,   0, 0, 0, 0, 0, 0,  // int64 2
                        7,  1, 'b',                    // "b"
                        7,  1, 'a',                    // "a"
                        12, 2,                         // list of 2
                        3,  1, 0,   0, 0,              // int32 1
                        13, 1, 1,   0});               // {true: null}
}

// Matches how the Dart side builds a map: a repeated key keeps its last value.
TEST(StandardMessageCodecTest, RepeatedMapKeyKeepsLastValue) {
  std::unique_ptr<EncodableValue> decoded =
      Decode({13, 2, 7, 1, 'k', 3, 1, 0, 0, 0, 7, 1, 'k', 3, 2, 0, 0, 0});
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(*decoded, EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(2)}}));
}

TEST(StandardMessageCodecTest, RoundTripsEveryType) {
  const EncodableValue value = EveryType();
  std::unique_ptr<EncodableValue> decoded = Decode(Encode(value));
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(*decoded, value);
}

// Message decoding of malformed input

TEST(StandardMessageCodecTest, FailsCleanlyWhenTruncatedAnywhere) {
  const Bytes full = Encode(EveryType());
  for (size_t length = 0; length < full.size(); ++length) {
    SCOPED_TRACE(length);
    const std::string error = DecodeError(Bytes(full.begin(), full.begin() + length));
    EXPECT_TRUE(error == "truncated" || error == "size past end") << error;
  }
}

TEST(StandardMessageCodecTest, RejectsUnknownAndUnsupportedTags) {
  EXPECT_EQ(DecodeError({15}), "unknown type tag 0x0f");
  EXPECT_EQ(DecodeError({0xff}), "unknown type tag 0xff");
  EXPECT_EQ(DecodeError({12, 1, 0x80}), "unknown type tag 0x80");
  EXPECT_EQ(DecodeError({5, 1, '1'}), "unsupported large integer tag 0x05");
}

TEST(StandardMessageCodecTest, RejectsSizesPastEnd) {
  EXPECT_EQ(DecodeError({7, 5, 'a', 'b'}), "size past end");
  EXPECT_EQ(DecodeError({8, 3, 1, 2}), "size past end");
  EXPECT_EQ(DecodeError({9, 2, 0, 0, 1, 0, 0, 0}), "size past end");
  EXPECT_EQ(DecodeError({12, 3, 0, 0}), "size past end");
  EXPECT_EQ(DecodeError({13, 2, 0, 0, 0}), "size past end");
}

// A claimed count far beyond the input must fail before anything is sized
// from it; allocating first would abort or exhaust memory here.
TEST(StandardMessageCodecTest, RejectsHugeClaimedSizesWithoutAllocating) {
  for (uint8_t tag : {7, 8, 9, 10, 11, 12, 13, 14}) {
    SCOPED_TRACE(static_cast<int>(tag));
    Bytes bytes = {tag, 255, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(DecodeError(bytes), "size past end");
  }
}

TEST(StandardMessageCodecTest, NestingDepthIsCapped) {
  const size_t limit = StandardMessageCodec::kMaxNestingDepth;
  ASSERT_EQ(limit, 64u);

  std::unique_ptr<EncodableValue> decoded = Decode(NestedLists(limit));
  ASSERT_NE(decoded, nullptr);
  size_t depth = 0;
  for (const EncodableValue* level = decoded.get();;) {
    const auto& list = std::get<EncodableList>(*level);
    ++depth;
    if (list.empty()) {
      break;
    }
    level = &list[0];
  }
  EXPECT_EQ(depth, limit);
  EXPECT_NE(Decode(NestedMaps(limit)), nullptr);

  EXPECT_EQ(DecodeError(NestedLists(limit + 1)), "nesting too deep");
  EXPECT_EQ(DecodeError(NestedMaps(limit + 1)), "nesting too deep");
  // Refused at the cap, not after descending the whole input.
  EXPECT_EQ(DecodeError(NestedLists(1000000)), "nesting too deep");
}

TEST(StandardMessageCodecTest, RejectsTrailingAndMissingBytes) {
  EXPECT_EQ(DecodeError({0, 0}), "trailing bytes");
  EXPECT_EQ(DecodeError({3, 1, 0, 0, 0, 0}), "trailing bytes");
  EXPECT_EQ(DecodeError({}), "truncated");
  std::string error;
  EXPECT_EQ(StandardMessageCodec::GetInstance().DecodeMessage(nullptr, 0, &error), nullptr);
  EXPECT_EQ(error, "truncated");
}

// Method calls

const StandardMethodCodec& MethodCodec() {
  return StandardMethodCodec::GetInstance();
}

Bytes EncodeCall(const std::string& name, std::unique_ptr<EncodableValue> arguments) {
  auto bytes =
      MethodCodec().EncodeMethodCall(MethodCall<EncodableValue>(name, std::move(arguments)));
  EXPECT_NE(bytes, nullptr);
  return bytes ? *bytes : Bytes();
}

std::unique_ptr<MethodCall<EncodableValue>> DecodeCall(const Bytes& bytes,
                                                       std::string* error = nullptr) {
  Bytes exact(bytes.begin(), bytes.end());
  return MethodCodec().DecodeMethodCall(exact.data(), exact.size(), error);
}

TEST(StandardMethodCodecTest, EncodesMethodCallAsNameThenArguments) {
  EXPECT_EQ(EncodeCall("sum", std::make_unique<EncodableValue>(EncodableList{1, 2})),
            (Bytes{7, 3, 's', 'u', 'm', 12, 2, 3, 1, 0, 0, 0, 3, 2, 0, 0, 0}));
  EXPECT_EQ(EncodeCall("sum", nullptr), (Bytes{7, 3, 's', 'u', 'm', 0}));
  // Arguments are aligned from the start of the call, not of the arguments.
  EXPECT_EQ(EncodeCall("ab", std::make_unique<EncodableValue>(1.0)),
            Join({{7, 2, 'a', 'b', 6, 0, 0, 0}, kOnePointZero}));
}

TEST(StandardMethodCodecTest, DecodesMethodCalls) {
  auto call = DecodeCall(EncodeCall("ab", std::make_unique<EncodableValue>(EncodableList{1.0})));
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "ab");
  ASSERT_NE(call->arguments(), nullptr);
  EXPECT_EQ(*call->arguments(), EncodableValue(EncodableList{1.0}));

  auto bare = DecodeCall({7, 4, 'p', 'i', 'n', 'g', 0});
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->method_name(), "ping");
  ASSERT_NE(bare->arguments(), nullptr);
  EXPECT_TRUE(bare->arguments()->IsNull());
}

TEST(StandardMethodCodecTest, RejectsMalformedMethodCalls) {
  struct Case {
    Bytes bytes;
    std::string error;
  };
  const Case cases[] = {
      {{3, 1, 0, 0, 0, 0}, "method name is not a string"},
      {{0, 0}, "method name is not a string"},
      {{7, 2, 'a', 'b'}, "truncated"},
      {{7, 2, 'a', 'b', 0, 0}, "trailing bytes"},
      {{7, 9, 'a', 'b', 0}, "size past end"},
      {{}, "truncated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    std::string error;
    EXPECT_EQ(DecodeCall(c.bytes, &error), nullptr);
    EXPECT_EQ(error, c.error);
  }
}

// Response envelopes

TEST(StandardMethodCodecTest, EncodesSuccessEnvelopes) {
  EXPECT_EQ(*MethodCodec().EncodeSuccessEnvelope(), (Bytes{0, 0}));
  const EncodableValue seven(7);
  EXPECT_EQ(*MethodCodec().EncodeSuccessEnvelope(&seven), (Bytes{0, 3, 7, 0, 0, 0}));
  // Aligned from the flag byte at the start of the envelope.
  const EncodableValue one_and_half(1.5);
  EXPECT_EQ(*MethodCodec().EncodeSuccessEnvelope(&one_and_half),
            Join({{0, 6, 0, 0, 0, 0, 0, 0}, kOnePointFive}));
}

TEST(StandardMethodCodecTest, EncodesErrorEnvelopes) {
  EXPECT_EQ(*MethodCodec().EncodeErrorEnvelope("bad"), (Bytes{1, 7, 3, 'b', 'a', 'd', 0, 0}));
  EXPECT_EQ(*MethodCodec().EncodeErrorEnvelope("bad", "oops"),
            (Bytes{1, 7, 3, 'b', 'a', 'd', 7, 4, 'o', 'o', 'p', 's', 0}));
  const EncodableValue details(9);
  EXPECT_EQ(*MethodCodec().EncodeErrorEnvelope("bad", "", &details),
            (Bytes{1, 7, 3, 'b', 'a', 'd', 0, 3, 9, 0, 0, 0}));
}

bool ProcessResponse(const Bytes& bytes, RecordingResult* result, std::string* error = nullptr) {
  Bytes exact(bytes.begin(), bytes.end());
  return MethodCodec().DecodeAndProcessResponseEnvelope(exact.data(), exact.size(), result, error);
}

TEST(StandardMethodCodecTest, EmptyResponseMeansNotImplemented) {
  RecordingResult result;
  EXPECT_TRUE(ProcessResponse({}, &result));
  EXPECT_EQ(result.answers, 1);
  EXPECT_EQ(result.kind, "not implemented");
}

TEST(StandardMethodCodecTest, DecodesSuccessEnvelopes) {
  const EncodableValue value(EncodableList{"a", 2.0});
  RecordingResult with_value;
  EXPECT_TRUE(ProcessResponse(*MethodCodec().EncodeSuccessEnvelope(&value), &with_value));
  EXPECT_EQ(with_value.kind, "success");
  EXPECT_EQ(with_value.payload, value);

  RecordingResult with_null;
  EXPECT_TRUE(ProcessResponse({0, 0}, &with_null));
  EXPECT_EQ(with_null.kind, "success");
  EXPECT_FALSE(with_null.payload.has_value());
}

TEST(StandardMethodCodecTest, DecodesErrorEnvelopes) {
  const EncodableValue details(EncodableMap{{"why", 3.5}});
  RecordingResult full;
  EXPECT_TRUE(ProcessResponse(*MethodCodec().EncodeErrorEnvelope("E1", "failed", &details), &full));
  EXPECT_EQ(full.kind, "error");
  EXPECT_EQ(full.code, "E1");
  EXPECT_EQ(full.message, "failed");
  EXPECT_EQ(full.payload, details);

  RecordingResult bare;
  EXPECT_TRUE(ProcessResponse(*MethodCodec().EncodeErrorEnvelope("E2"), &bare));
  EXPECT_EQ(bare.kind, "error");
  EXPECT_EQ(bare.code, "E2");
  EXPECT_EQ(bare.message, "");
  EXPECT_FALSE(bare.payload.has_value());
}

// A malformed response must be refused as a whole: no partial answer.
TEST(StandardMethodCodecTest, RejectsMalformedEnvelopesWithoutAnswering) {
  struct Case {
    Bytes bytes;
    std::string error;
  };
  const Case cases[] = {
      {{2, 0}, "unknown envelope flag 0x02"},
      {{0}, "truncated"},
      {{0, 0, 0}, "trailing bytes"},
      {{0, 15}, "unknown type tag 0x0f"},
      {{1, 3, 1, 0, 0, 0, 0, 0}, "error code is not a string"},
      {{1, 7, 1, 'c', 3, 1, 0, 0, 0, 0}, "error message is not a string"},
      {{1, 7, 3, 'b', 'a'}, "size past end"},
      {{1, 7, 1, 'c', 0}, "truncated"},
      {{1, 7, 1, 'c', 0, 0, 0}, "trailing bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    RecordingResult result;
    std::string error;
    EXPECT_FALSE(ProcessResponse(c.bytes, &result, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(result.answers, 0);
    EXPECT_FALSE(result.answered());
  }
}

// MethodResult

TEST(MethodResultTest, AnswersAtMostOnce) {
  using Answer = void (*)(MethodResult<EncodableValue>*);
  const Answer answers[] = {
      [](MethodResult<EncodableValue>* r) { r->Success(EncodableValue(1)); },
      [](MethodResult<EncodableValue>* r) { r->Success(); },
      [](MethodResult<EncodableValue>* r) { r->Error("code", "message"); },
      [](MethodResult<EncodableValue>* r) { r->NotImplemented(); },
  };
  for (Answer first : answers) {
    RecordingResult result;
    EXPECT_FALSE(result.answered());
    first(&result);
    EXPECT_TRUE(result.answered());
    const std::string first_kind = result.kind;
    for (Answer later : answers) {
      later(&result);
    }
    EXPECT_EQ(result.answers, 1);
    EXPECT_EQ(result.kind, first_kind);
  }
}

TEST(MethodResultTest, AnswerFromInsideAnAnswerIsIgnored) {
  int errors = 0;
  std::unique_ptr<MethodResultFunctions<EncodableValue>> result;
  result = std::make_unique<MethodResultFunctions<EncodableValue>>(
      [&result](const EncodableValue*) { result->Error("again"); },
      [&errors](const std::string&, const std::string&, const EncodableValue*) { ++errors; },
      nullptr);
  result->Success();
  EXPECT_EQ(errors, 0);
}

TEST(MethodResultTest, FunctionsForwardArgumentsAndAllowEmptyCallbacks) {
  std::string seen;
  MethodResultFunctions<EncodableValue> result(
      nullptr,
      [&seen](const std::string& code, const std::string& message, const EncodableValue* details) {
        seen =
            code + "/" + message + "/" + (details ? std::to_string(details->LongValue()) : "none");
      },
      nullptr);
  result.Error("E", "m", EncodableValue(4));
  EXPECT_EQ(seen, "E/m/4");

  MethodResultFunctions<EncodableValue> silent(nullptr, nullptr, nullptr);
  silent.Success(EncodableValue(1));
  silent.NotImplemented();
  EXPECT_TRUE(silent.answered());
}

}  // namespace
}  // namespace flutter
