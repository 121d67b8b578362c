#include <flutter/standard_method_codec.h>

#include <bit>
#include <cstdio>
#include <type_traits>
#include <utility>
#include <variant>

namespace flutter {

namespace {

// Type tags on the wire.
constexpr uint8_t kNull = 0;
constexpr uint8_t kTrue = 1;
constexpr uint8_t kFalse = 2;
constexpr uint8_t kInt32 = 3;
constexpr uint8_t kInt64 = 4;
constexpr uint8_t kLargeInt = 5;
constexpr uint8_t kFloat64 = 6;
constexpr uint8_t kString = 7;
constexpr uint8_t kUint8List = 8;
constexpr uint8_t kInt32List = 9;
constexpr uint8_t kInt64List = 10;
constexpr uint8_t kFloat64List = 11;
constexpr uint8_t kList = 12;
constexpr uint8_t kMap = 13;
constexpr uint8_t kFloat32List = 14;

// Size prefixes: one byte below 254, otherwise a marker byte and a wider size.
constexpr uint8_t kSize16Marker = 254;
constexpr uint8_t kSize32Marker = 255;

// Method response envelope flags.
constexpr uint8_t kEnvelopeSuccess = 0;
constexpr uint8_t kEnvelopeError = 1;

std::string WithHexByte(const char* reason, uint8_t byte) {
  char text[64];
  std::snprintf(text, sizeof(text), "%s 0x%02x", reason, byte);
  return text;
}

// Appends to a buffer that holds the whole message, so alignment padding is
// relative to the first byte of the message.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>* bytes) : bytes_(bytes) {}

  // False if something could not be represented; the output is then unusable.
  bool ok() const { return ok_; }

  void WriteByte(uint8_t byte) { bytes_->push_back(byte); }

  void WriteLittleEndian(uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) {
      bytes_->push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
  }

  void WriteSize(size_t size) {
    if (size < kSize16Marker) {
      WriteByte(static_cast<uint8_t>(size));
    } else if (size <= 0xFFFF) {
      WriteByte(kSize16Marker);
      WriteLittleEndian(size, 2);
    } else if (static_cast<uint64_t>(size) <= 0xFFFFFFFFu) {
      WriteByte(kSize32Marker);
      WriteLittleEndian(size, 4);
    } else {
      ok_ = false;
    }
  }

  void Align(size_t alignment) {
    while (bytes_->size() % alignment != 0) {
      bytes_->push_back(0);
    }
  }

  void WriteString(const std::string& text) {
    WriteByte(kString);
    WriteSize(text.size());
    bytes_->insert(bytes_->end(), text.begin(), text.end());
  }

  void WriteValue(const EncodableValue& value) {
    std::visit([this](const auto& held) { WriteHeld(held); },
               static_cast<const EncodableValue::Variant&>(value));
  }

 private:
  void WriteHeld(std::monostate) { WriteByte(kNull); }
  void WriteHeld(bool held) { WriteByte(held ? kTrue : kFalse); }
  void WriteHeld(int32_t held) {
    WriteByte(kInt32);
    WriteLittleEndian(static_cast<uint32_t>(held), 4);
  }
  void WriteHeld(int64_t held) {
    WriteByte(kInt64);
    WriteLittleEndian(static_cast<uint64_t>(held), 8);
  }
  void WriteHeld(double held) {
    WriteByte(kFloat64);
    Align(8);
    WriteLittleEndian(std::bit_cast<uint64_t>(held), 8);
  }
  void WriteHeld(const std::string& held) { WriteString(held); }
  void WriteHeld(const std::vector<uint8_t>& held) {
    WriteByte(kUint8List);
    WriteSize(held.size());
    bytes_->insert(bytes_->end(), held.begin(), held.end());
  }
  void WriteHeld(const std::vector<int32_t>& held) { WriteTypedList<uint32_t>(kInt32List, held); }
  void WriteHeld(const std::vector<int64_t>& held) { WriteTypedList<uint64_t>(kInt64List, held); }
  void WriteHeld(const std::vector<double>& held) { WriteTypedList<uint64_t>(kFloat64List, held); }
  void WriteHeld(const std::vector<float>& held) { WriteTypedList<uint32_t>(kFloat32List, held); }
  void WriteHeld(const EncodableList& held) {
    WriteByte(kList);
    WriteSize(held.size());
    for (const EncodableValue& element : held) {
      WriteValue(element);
    }
  }
  void WriteHeld(const EncodableMap& held) {
    WriteByte(kMap);
    WriteSize(held.size());
    for (const auto& [key, element] : held) {
      WriteValue(key);
      WriteValue(element);
    }
  }

  // |Bits| is the unsigned integer of the element's width; elements are
  // aligned to that width after the size.
  template <typename Bits, typename Element>
  void WriteTypedList(uint8_t tag, const std::vector<Element>& list) {
    static_assert(sizeof(Bits) == sizeof(Element));
    WriteByte(tag);
    WriteSize(list.size());
    Align(sizeof(Element));
    for (Element element : list) {
      WriteLittleEndian(std::bit_cast<Bits>(element), sizeof(Element));
    }
  }

  std::vector<uint8_t>* bytes_;
  bool ok_ = true;
};

// Reads untrusted bytes. Every read is bounds-checked; the first failure's
// reason is kept and later reads keep failing.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  bool AtEnd() const { return offset_ == size_; }
  const std::string& error() const { return error_; }

  bool Fail(const std::string& reason) {
    if (error_.empty()) {
      error_ = reason;
    }
    return false;
  }

  bool ReadByte(uint8_t* byte) {
    if (Remaining() < 1) {
      return Fail("truncated");
    }
    *byte = data_[offset_++];
    return true;
  }

  // Decodes one value. |depth| is how many lists/maps enclose it.
  bool ReadValue(EncodableValue* value, int depth) {
    uint8_t tag;
    if (!ReadByte(&tag)) {
      return false;
    }
    switch (tag) {
      case kNull:
        *value = EncodableValue();
        return true;
      case kTrue:
        *value = EncodableValue(true);
        return true;
      case kFalse:
        *value = EncodableValue(false);
        return true;
      case kInt32: {
        uint64_t bits;
        if (!ReadLittleEndian(4, &bits)) {
          return false;
        }
        *value = EncodableValue(static_cast<int32_t>(bits));
        return true;
      }
      case kInt64: {
        uint64_t bits;
        if (!ReadLittleEndian(8, &bits)) {
          return false;
        }
        *value = EncodableValue(static_cast<int64_t>(bits));
        return true;
      }
      case kLargeInt:
        return Fail(WithHexByte("unsupported large integer tag", tag));
      case kFloat64: {
        uint64_t bits;
        if (!SkipPadding(8) || !ReadLittleEndian(8, &bits)) {
          return false;
        }
        *value = EncodableValue(std::bit_cast<double>(bits));
        return true;
      }
      case kString: {
        std::string text;
        if (!ReadString(&text)) {
          return false;
        }
        *value = EncodableValue(std::move(text));
        return true;
      }
      case kUint8List:
        return ReadTypedList<uint8_t, uint8_t>(value);
      case kInt32List:
        return ReadTypedList<int32_t, uint32_t>(value);
      case kInt64List:
        return ReadTypedList<int64_t, uint64_t>(value);
      case kFloat64List:
        return ReadTypedList<double, uint64_t>(value);
      case kFloat32List:
        return ReadTypedList<float, uint32_t>(value);
      case kList:
        return ReadList(value, depth);
      case kMap:
        return ReadMap(value, depth);
      default:
        return Fail(WithHexByte("unknown type tag", tag));
    }
  }

  // Reads a string value, tag included; anything else fails with
  // |not_string_reason|.
  bool ReadStringValue(std::string* text, const char* not_string_reason) {
    uint8_t tag;
    if (!ReadByte(&tag)) {
      return false;
    }
    if (tag != kString) {
      return Fail(not_string_reason);
    }
    return ReadString(text);
  }

 private:
  size_t Remaining() const { return size_ - offset_; }

  bool ReadLittleEndian(size_t width, uint64_t* value) {
    if (Remaining() < width) {
      return Fail("truncated");
    }
    uint64_t result = 0;
    for (size_t i = 0; i < width; ++i) {
      result |= static_cast<uint64_t>(data_[offset_ + i]) << (8 * i);
    }
    offset_ += width;
    *value = result;
    return true;
  }

  bool ReadSize(size_t* size) {
    uint8_t first;
    if (!ReadByte(&first)) {
      return false;
    }
    uint64_t wide = first;
    if (first == kSize16Marker && !ReadLittleEndian(2, &wide)) {
      return false;
    }
    if (first == kSize32Marker && !ReadLittleEndian(4, &wide)) {
      return false;
    }
    *size = static_cast<size_t>(wide);
    return true;
  }

  // Padding content is ignored; only its length matters.
  bool SkipPadding(size_t alignment) {
    size_t padding = (alignment - offset_ % alignment) % alignment;
    if (Remaining() < padding) {
      return Fail("truncated");
    }
    offset_ += padding;
    return true;
  }

  // Reads a size and checks that |count| items of at least |min_item_bytes|
  // each fit in what is left, before anything is allocated for them.
  bool ReadCount(size_t min_item_bytes, size_t* count) {
    if (!ReadSize(count)) {
      return false;
    }
    if (*count > Remaining() / min_item_bytes) {
      return Fail("size past end");
    }
    return true;
  }

  bool ReadString(std::string* text) {
    size_t length;
    if (!ReadCount(1, &length)) {
      return false;
    }
    text->assign(reinterpret_cast<const char*>(data_ + offset_), length);
    offset_ += length;
    return true;
  }

  template <typename Element, typename Bits>
  bool ReadTypedList(EncodableValue* value) {
    static_assert(sizeof(Bits) == sizeof(Element));
    size_t count;
    if (!ReadSize(&count) || !SkipPadding(sizeof(Element))) {
      return false;
    }
    if (count > Remaining() / sizeof(Element)) {
      return Fail("size past end");
    }
    std::vector<Element> list(count);
    for (Element& element : list) {
      uint64_t bits = 0;
      ReadLittleEndian(sizeof(Element), &bits);  // Cannot fail: size checked.
      element = std::bit_cast<Element>(static_cast<Bits>(bits));
    }
    *value = EncodableValue(std::move(list));
    return true;
  }

  bool ReadList(EncodableValue* value, int depth) {
    if (depth >= StandardMessageCodec::kMaxNestingDepth) {
      return Fail("nesting too deep");
    }
    size_t count;
    if (!ReadCount(1, &count)) {
      return false;
    }
    // Not reserved up front: |count| is only bounded by the input size, and
    // nested lists could each claim nearly all of it.
    EncodableList list;
    for (size_t i = 0; i < count; ++i) {
      EncodableValue element;
      if (!ReadValue(&element, depth + 1)) {
        return false;
      }
      list.push_back(std::move(element));
    }
    *value = EncodableValue(std::move(list));
    return true;
  }

  bool ReadMap(EncodableValue* value, int depth) {
    if (depth >= StandardMessageCodec::kMaxNestingDepth) {
      return Fail("nesting too deep");
    }
    size_t count;
    if (!ReadCount(2, &count)) {
      return false;
    }
    EncodableMap map;
    for (size_t i = 0; i < count; ++i) {
      EncodableValue key;
      EncodableValue element;
      if (!ReadValue(&key, depth + 1) || !ReadValue(&element, depth + 1)) {
        return false;
      }
      // A repeated key keeps its last value.
      map.insert_or_assign(std::move(key), std::move(element));
    }
    *value = EncodableValue(std::move(map));
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  std::string error_;
};

// Reports |reader|'s failure through |error| and returns false.
bool ReportFailure(const ByteReader& reader, std::string* error) {
  if (error) {
    *error = reader.error();
  }
  return false;
}

bool CheckFullyRead(ByteReader& reader) {
  return reader.AtEnd() || reader.Fail("trailing bytes");
}

std::unique_ptr<std::vector<uint8_t>> FinishEncoding(std::unique_ptr<std::vector<uint8_t>> bytes,
                                                     const ByteWriter& writer) {
  return writer.ok() ? std::move(bytes) : nullptr;
}

}  // namespace

const StandardMessageCodec& StandardMessageCodec::GetInstance() {
  static const StandardMessageCodec instance;
  return instance;
}

std::unique_ptr<std::vector<uint8_t>> StandardMessageCodec::EncodeMessage(
    const EncodableValue& message) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteWriter writer(bytes.get());
  writer.WriteValue(message);
  return FinishEncoding(std::move(bytes), writer);
}

std::unique_ptr<EncodableValue> StandardMessageCodec::DecodeMessage(const uint8_t* data,
                                                                    size_t size,
                                                                    std::string* error) const {
  ByteReader reader(data, size);
  auto value = std::make_unique<EncodableValue>();
  if (!reader.ReadValue(value.get(), 0) || !CheckFullyRead(reader)) {
    ReportFailure(reader, error);
    return nullptr;
  }
  return value;
}

const StandardMethodCodec& StandardMethodCodec::GetInstance() {
  static const StandardMethodCodec instance;
  return instance;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCall(
    const MethodCall<EncodableValue>& call) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteWriter writer(bytes.get());
  writer.WriteString(call.method_name());
  writer.WriteValue(call.arguments() ? *call.arguments() : EncodableValue());
  return FinishEncoding(std::move(bytes), writer);
}

std::unique_ptr<MethodCall<EncodableValue>>
StandardMethodCodec::DecodeMethodCall(const uint8_t* data, size_t size, std::string* error) const {
  ByteReader reader(data, size);
  std::string method_name;
  auto arguments = std::make_unique<EncodableValue>();
  if (!reader.ReadStringValue(&method_name, "method name is not a string") ||
      !reader.ReadValue(arguments.get(), 0) || !CheckFullyRead(reader)) {
    ReportFailure(reader, error);
    return nullptr;
  }
  return std::make_unique<MethodCall<EncodableValue>>(method_name, std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccessEnvelope(
    const EncodableValue* result) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteWriter writer(bytes.get());
  writer.WriteByte(kEnvelopeSuccess);
  writer.WriteValue(result ? *result : EncodableValue());
  return FinishEncoding(std::move(bytes), writer);
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelope(
    const std::string& code,
    const std::string& message,
    const EncodableValue* details) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteWriter writer(bytes.get());
  writer.WriteByte(kEnvelopeError);
  writer.WriteString(code);
  if (message.empty()) {
    writer.WriteValue(EncodableValue());
  } else {
    writer.WriteString(message);
  }
  writer.WriteValue(details ? *details : EncodableValue());
  return FinishEncoding(std::move(bytes), writer);
}

bool StandardMethodCodec::DecodeAndProcessResponseEnvelope(const uint8_t* data,
                                                           size_t size,
                                                           MethodResult<EncodableValue>* result,
                                                           std::string* error) const {
  if (size == 0) {
    if (result) {
      result->NotImplemented();
    }
    return true;
  }
  ByteReader reader(data, size);
  uint8_t flag;
  if (!reader.ReadByte(&flag)) {
    return ReportFailure(reader, error);
  }
  if (flag == kEnvelopeSuccess) {
    EncodableValue value;
    if (!reader.ReadValue(&value, 0) || !CheckFullyRead(reader)) {
      return ReportFailure(reader, error);
    }
    if (result && value.IsNull()) {
      result->Success();
    } else if (result) {
      result->Success(value);
    }
    return true;
  }
  if (flag == kEnvelopeError) {
    std::string code;
    EncodableValue message;
    EncodableValue details;
    if (!reader.ReadStringValue(&code, "error code is not a string") ||
        !reader.ReadValue(&message, 0)) {
      return ReportFailure(reader, error);
    }
    if (!message.IsNull() && !std::holds_alternative<std::string>(message)) {
      reader.Fail("error message is not a string");
      return ReportFailure(reader, error);
    }
    if (!reader.ReadValue(&details, 0) || !CheckFullyRead(reader)) {
      return ReportFailure(reader, error);
    }
    if (result) {
      const std::string* message_text = std::get_if<std::string>(&message);
      const std::string text = message_text ? *message_text : std::string();
      if (details.IsNull()) {
        result->Error(code, text);
      } else {
        result->Error(code, text, details);
      }
    }
    return true;
  }
  reader.Fail(WithHexByte("unknown envelope flag", flag));
  return ReportFailure(reader, error);
}

}  // namespace flutter
