#include "winrt/pinterface_iid.h"

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex(std::string& out, uint32_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out += kHexDigits[(value >> shift) & 0xf];
  }
}

// |iid_text| in braces with its hex digits lower-cased: the hash is over the
// exact bytes, so "{9FC2B0BB-...}" would name a different interface.
void AppendBracedGuid(std::string& out, std::string_view iid_text) {
  out += '{';
  for (char c : iid_text) {
    out += (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  out += '}';
}

}  // namespace

std::string GuidText(const Guid& guid) {
  std::string text;
  text.reserve(36);
  AppendHex(text, guid.data1, 8);
  text += '-';
  AppendHex(text, guid.data2, 4);
  text += '-';
  AppendHex(text, guid.data3, 4);
  text += '-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) {
      text += '-';
    }
    AppendHex(text, guid.data4[i], 2);
  }
  return text;
}

std::string PinterfaceSignature(std::string_view piid_text,
                                std::initializer_list<std::string_view> args) {
  std::string signature = "pinterface(";
  AppendBracedGuid(signature, piid_text);
  for (std::string_view arg : args) {
    signature += ';';
    signature += arg;
  }
  signature += ')';
  return signature;
}

std::string RuntimeClassSignature(std::string_view class_name, std::string_view default_iid_text) {
  std::string signature = "rc(";
  signature += class_name;
  signature += ';';
  if (default_iid_text.starts_with("pinterface(")) {
    signature += default_iid_text;
  } else {
    AppendBracedGuid(signature, default_iid_text);
  }
  signature += ')';
  return signature;
}

std::string InterfaceSignature(std::string_view iid_text) {
  std::string signature;
  AppendBracedGuid(signature, iid_text);
  return signature;
}

std::string EnumSignature(std::string_view enum_name, bool flags) {
  std::string signature = "enum(";
  signature += enum_name;
  signature += flags ? ";u4)" : ";i4)";
  return signature;
}
