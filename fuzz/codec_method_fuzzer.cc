// Standard method codec, both decoders on each input: a method call and a
// response envelope each round-trip through their encoder.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <flutter/standard_message_codec.h>
#include <flutter/standard_method_codec.h>
#include "fuzz/fuzz_check.h"

namespace {

using flutter::EncodableValue;

bool Same(const EncodableValue* a, const EncodableValue* b) {
  const std::less<EncodableValue> less;
  return a && b ? !less(*a, *b) && !less(*b, *a) : a == b;
}

// One answer of a response, values copied.
struct Answer : flutter::MethodResult<EncodableValue> {
  int kind = 0;  // 1 success, 2 error, 3 not implemented
  std::string code, message;
  std::optional<EncodableValue> value;

  const EncodableValue* held() const { return value ? &*value : nullptr; }
  void SuccessInternal(const EncodableValue* v) override { Keep(1, v); }
  void ErrorInternal(const std::string& c, const std::string& m, const EncodableValue* v) override {
    code = c;
    message = m;
    Keep(2, v);
  }
  void NotImplementedInternal() override { kind = 3; }
  void Keep(int k, const EncodableValue* v) {
    kind = k;
    if (v) {
      value = *v;
    }
  }
};

void CheckCall(const flutter::StandardMethodCodec& codec, const uint8_t* data, size_t size) {
  auto call = codec.DecodeMethodCall(data, size);
  if (!call) {
    return;
  }
  FUZZ_CHECK(call->arguments() != nullptr);
  auto bytes = codec.EncodeMethodCall(*call);
  FUZZ_CHECK(bytes != nullptr);
  auto again = codec.DecodeMethodCall(bytes->data(), bytes->size());
  FUZZ_CHECK(again != nullptr);
  FUZZ_CHECK(again->method_name() == call->method_name());
  FUZZ_CHECK(Same(again->arguments(), call->arguments()));
}

void CheckEnvelope(const flutter::StandardMethodCodec& codec, const uint8_t* data, size_t size) {
  Answer first;
  if (!codec.DecodeAndProcessResponseEnvelope(data, size, &first)) {
    FUZZ_CHECK(first.kind == 0);  // a malformed response is never half reported
    return;
  }
  FUZZ_CHECK(first.kind != 0);
  std::unique_ptr<std::vector<uint8_t>> bytes;
  if (first.kind == 1) {
    bytes = codec.EncodeSuccessEnvelope(first.held());
  } else if (first.kind == 2) {
    bytes = codec.EncodeErrorEnvelope(first.code, first.message, first.held());
  } else {
    bytes = std::make_unique<std::vector<uint8_t>>();
  }
  FUZZ_CHECK(bytes != nullptr);
  Answer second;
  FUZZ_CHECK(codec.DecodeAndProcessResponseEnvelope(bytes->data(), bytes->size(), &second));
  FUZZ_CHECK(second.kind == first.kind && second.code == first.code &&
             second.message == first.message && Same(second.held(), first.held()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  CheckCall(codec, data, size);
  CheckEnvelope(codec, data, size);
  return 0;
}
