#include "feeds/media/media_rules.h"

using flutter::EncodableMap;
using flutter::EncodableValue;

std::optional<MediaCommand> MediaCommandNamed(std::string_view method) {
  static constexpr std::pair<std::string_view, MediaCommand> kNames[] = {
      {"play_pause", MediaCommand::kPlayPause},
      {"prev", MediaCommand::kPrev},
      {"next", MediaCommand::kNext},
      {"play", MediaCommand::kPlay},
      {"pause", MediaCommand::kPause},
  };
  for (const auto& [name, command] : kNames) {
    if (method == name) {
      return command;
    }
  }
  return std::nullopt;
}

const char* PlaybackStatusText(int32_t status) {
  switch (status) {
    case 3:
      return "stopped";
    case 4:
      return "playing";
    case 5:
      return "paused";
    default:
      return "unknown";
  }
}

bool PlayPauseRequestsPause(int32_t status) {
  return status == 4;
}

double ProgressRatio(int64_t position, int64_t end_time) {
  if (end_time <= 0) {
    return 0.0;
  }
  return static_cast<double>(position) / static_cast<double>(end_time);
}

bool ProgressThrottle::Accept(const std::wstring& session, uint64_t now_ms, uint64_t interval_ms) {
  auto [entry, inserted] = last_ms_.try_emplace(session, now_ms);
  if (inserted) {
    return true;
  }
  // Unsigned: a clock that went back counts as a long time.
  if (now_ms - entry->second < interval_ms) {
    return false;
  }
  entry->second = now_ms;
  return true;
}

EncodableMap TrackChangePayload(const std::string& title, const std::string& artist) {
  return {{EncodableValue("title"), EncodableValue(title)},
          {EncodableValue("artist"), EncodableValue(artist)}};
}

EncodableMap PlaybackPayload(const std::string& title,
                             const std::string& artist,
                             const char* status,
                             double progress) {
  return {{EncodableValue("title"), EncodableValue(title)},
          {EncodableValue("artist"), EncodableValue(artist)},
          {EncodableValue("status"), EncodableValue(std::string(status))},
          {EncodableValue("progress"), EncodableValue(progress)}};
}

EncodableMap ProgressPayload(double progress) {
  return {{EncodableValue("progress"), EncodableValue(progress)}};
}
