// The calendar file's escaping on any subject: the output has no raw control
// byte, every backslash starts one of the escapes the file uses, and reading
// the escapes back gives the subject again. A whole entry stays one line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "feeds/calendar/calendar_json.h"
#include "fuzz/fuzz_check.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// Reads the escapes of |escaped| back; aborts on anything the writer must not produce.
std::string Unescape(std::string_view escaped) {
  std::string out;
  for (size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != '"');
    if (c != '\\') {
      out += c;
      continue;
    }
    FUZZ_CHECK(i + 1 < escaped.size());
    const char kind = escaped[++i];
    switch (kind) {
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      case 'u': {
        FUZZ_CHECK(escaped.substr(i + 1, 2) == "00" && i + 4 < escaped.size());
        const int high = HexDigit(escaped[i + 3]);
        const int low = HexDigit(escaped[i + 4]);
        FUZZ_CHECK(high >= 0 && low >= 0 && high * 16 + low < 0x20);
        out += static_cast<char>(high * 16 + low);
        i += 4;
        break;
      }
      default:
        FUZZ_CHECK(false);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view subject(reinterpret_cast<const char*>(data), size);
  const std::string escaped = EscapeJsonText(subject);
  FUZZ_CHECK(Unescape(escaped) == subject);

  CalendarJson json;
  json.Add(size % 24, size % 60, subject);
  json.Add(0, 0, "");
  const std::string text = json.Finish();
  FUZZ_CHECK(text.front() == '[' && text.back() == ']');
  FUZZ_CHECK(text.find('\n') == std::string::npos);
  return 0;
}
