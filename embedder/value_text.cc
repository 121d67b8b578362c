#include "embedder/value_text.h"

#include <cstdio>
#include <type_traits>

#include <flutter/standard_method_codec.h>

namespace flutter {
namespace {

class Writer {
 public:
  explicit Writer(size_t max_chars) : max_(max_chars) {}

  bool full() const { return out_.size() >= max_; }
  void Put(const std::string& text) {
    if (full()) {
      cut_ = true;
    } else {
      out_ += text;
    }
  }

  // Text dropped at a token boundary leaves out_ exactly full, so the length
  // alone cannot tell a cut rendering from a complete one.
  std::string Finish() {
    if (out_.size() > max_) {
      // Never end inside a UTF-8 sequence: back off to where the cut character began.
      size_t end = max_;
      while (end > 0 && (static_cast<unsigned char>(out_[end]) & 0xC0) == 0x80) {
        --end;
      }
      out_.resize(end);
      cut_ = true;
    }
    if (cut_) {
      out_ += "...";
    }
    return out_;
  }

  void Value(const EncodableValue& value) {
    if (full()) {
      cut_ = true;
      return;
    }
    std::visit([this](const auto& v) { Alternative(v); },
               static_cast<const EncodableValue::Variant&>(value));
  }

 private:
  void Alternative(const std::monostate&) { Put("null"); }
  void Alternative(bool v) { Put(v ? "true" : "false"); }
  void Alternative(int32_t v) { Put(std::to_string(v)); }
  void Alternative(int64_t v) { Put(std::to_string(v) + "L"); }
  void Alternative(double v) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", v);
    Put(text);
  }
  void Alternative(const std::string& v) { Put("\"" + v + "\""); }
  template <typename T>
  void Alternative(const std::vector<T>& v) {
    if constexpr (std::is_same_v<T, EncodableValue>) {
      Put("[");
      for (size_t i = 0; i < v.size() && !full(); ++i) {
        if (i > 0) {
          Put(",");
        }
        Value(v[i]);
      }
      Put("]");
    } else {
      Put("<" + std::to_string(v.size()) + " numbers>");
    }
  }
  void Alternative(const EncodableMap& v) {
    Put("{");
    bool first = true;
    for (const auto& [key, item] : v) {
      if (full()) {
        break;
      }
      if (!first) {
        Put(",");
      }
      first = false;
      Value(key);
      Put(":");
      Value(item);
    }
    Put("}");
  }

  size_t max_;
  std::string out_;
  bool cut_ = false;
};

}  // namespace

std::string DescribeValue(const EncodableValue& value, size_t max_chars) {
  Writer writer(max_chars);
  writer.Value(value);
  return writer.Finish();
}

std::string DescribeMethodCall(const uint8_t* message, size_t size, size_t max_chars) {
  std::unique_ptr<MethodCall<EncodableValue>> call =
      StandardMethodCodec::GetInstance().DecodeMethodCall(message, size);
  if (!call) {
    return "<" + std::to_string(size) + " bytes, not a method call>";
  }
  std::string text = call->method_name();
  if (call->arguments() != nullptr && !call->arguments()->IsNull()) {
    text += " " + DescribeValue(*call->arguments(), max_chars);
  }
  return text;
}

}  // namespace flutter
