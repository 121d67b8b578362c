#include "feeds/calendar/calendar_json.h"

namespace {

void AppendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

}  // namespace

std::string EscapeJsonText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          // Raw control characters make the whole file unreadable as JSON.
          out += "\\u00";
          out += "0123456789ABCDEF"[(c >> 4) & 0xf];
          out += "0123456789ABCDEF"[c & 0xf];
        } else {
          out += c;
        }
    }
  }
  return out;
}

void CalendarJson::Add(int hour, int minute, std::string_view subject) {
  if (text_.size() > 1) {
    text_ += ',';
  }
  text_ += "{\"t\":\"";
  AppendTwoDigits(text_, hour);
  text_ += ':';
  AppendTwoDigits(text_, minute);
  text_ += "\",\"e\":\"";
  text_ += EscapeJsonText(subject);
  text_ += "\"}";
}

std::string CalendarJson::Finish() {
  text_ += ']';
  return std::move(text_);
}
