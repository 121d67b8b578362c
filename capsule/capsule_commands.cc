#include "capsule/capsule_commands.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace {

// Status and notify looks always carry a duration; this one when none positive is given.
constexpr int64_t kDefaultTimedDuration = 5;

const flutter::EncodableValue* Find(const flutter::EncodableMap& arguments, const char* name) {
  auto it = arguments.find(flutter::EncodableValue(name));
  return it == arguments.end() ? nullptr : &it->second;
}

std::string StringArgument(const flutter::EncodableMap& arguments, const char* name) {
  const flutter::EncodableValue* value = Find(arguments, name);
  const std::string* text = value ? std::get_if<std::string>(value) : nullptr;
  return text ? *text : std::string();
}

double NumberArgument(const flutter::EncodableMap& arguments, const char* name) {
  const flutter::EncodableValue* value = Find(arguments, name);
  if (!value) {
    return 0.0;
  }
  if (const double* number = std::get_if<double>(value)) {
    return *number;
  }
  if (const int32_t* number = std::get_if<int32_t>(value)) {
    return *number;
  }
  return 0.0;
}

// Truncates toward zero; a double beyond the int32 range saturates and NaN
// counts as missing, since converting either directly is undefined.
int64_t IntegerArgument(const flutter::EncodableMap& arguments, const char* name) {
  const flutter::EncodableValue* value = Find(arguments, name);
  if (!value) {
    return 0;
  }
  if (const int32_t* number = std::get_if<int32_t>(value)) {
    return *number;
  }
  if (const double* number = std::get_if<double>(value)) {
    if (std::isnan(*number)) {
      return 0;
    }
    constexpr double kLowest = std::numeric_limits<int32_t>::min();
    constexpr double kHighest = std::numeric_limits<int32_t>::max();
    if (*number <= kLowest) {
      return std::numeric_limits<int32_t>::min();
    }
    if (*number >= kHighest) {
      return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int64_t>(std::trunc(*number));
  }
  return 0;
}

bool BoolArgument(const flutter::EncodableMap& arguments, const char* name) {
  const flutter::EncodableValue* value = Find(arguments, name);
  const bool* flag = value ? std::get_if<bool>(value) : nullptr;
  return flag && *flag;
}

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

// "%f" in the C locale: fixed, six decimals, '.' as the separator. NaN and
// infinities have no JSON form and are written as the missing value.
void AppendFixed(std::string& out, double number) {
  if (!std::isfinite(number)) {
    number = 0.0;
  }
  // The largest double has 309 integer digits.
  char buffer[400];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof(buffer), number, std::chars_format::fixed, 6);
  out.append(buffer, error == std::errc() ? end : buffer);
}

class CommandWriter {
 public:
  explicit CommandWriter(const flutter::EncodableMap& arguments) : arguments_(arguments) {}

  void String(const char* name) {
    Name(name);
    AppendJsonString(text_, StringArgument(arguments_, name));
  }
  void Number(const char* name) {
    Name(name);
    AppendFixed(text_, NumberArgument(arguments_, name));
  }
  void Bool(const char* name) {
    Name(name);
    text_ += BoolArgument(arguments_, name) ? "true" : "false";
  }
  void TimedDuration() {
    int64_t duration = IntegerArgument(arguments_, "duration");
    Integer("duration", duration > 0 ? duration : kDefaultTimedDuration);
  }
  void DurationIfPositive() {
    int64_t duration = IntegerArgument(arguments_, "duration");
    if (duration > 0) {
      Integer("duration", duration);
    }
  }
  void Raw(const char* name, std::string_view json) {
    Name(name);
    text_ += json;
  }
  void OpenWithType(std::string_view type) {
    text_ = R"({"cmd":"render")";
    text_ += R"(,"type":)";
    AppendJsonString(text_, type);
  }
  std::string Close() {
    text_ += '}';
    return std::move(text_);
  }

 private:
  void Name(const char* name) {
    text_ += ',';
    AppendJsonString(text_, name);
    text_ += ':';
  }
  void Integer(const char* name, int64_t value) {
    Name(name);
    text_ += std::to_string(value);
  }

  const flutter::EncodableMap& arguments_;
  std::string text_;
};

}  // namespace

std::string CapsuleRenderType(const flutter::EncodableMap& arguments) {
  return StringArgument(arguments, "type");
}

std::string BuildCapsuleRenderCommand(const flutter::EncodableMap& arguments) {
  const std::string type = CapsuleRenderType(arguments);
  CommandWriter command(arguments);
  command.OpenWithType(type);
  if (type == "music") {
    command.String("title");
    command.String("artist");
    command.Number("progress");
    command.Bool("playing");
    command.Raw("buttons", R"([{"id":"prev"},{"id":"play_pause"},{"id":"next"}])");
  } else if (type == "status" || type == "notify") {
    command.String("text");
    command.Bool("success");
    command.TimedDuration();
  } else if (type == "voice") {
    command.String("text");
  } else if (type == "progress") {
    command.String("text");
    command.Number("progress");
  } else {
    command.String("text");
    command.Bool("success");
    command.Number("progress");
    command.DurationIfPositive();
  }
  return command.Close();
}
