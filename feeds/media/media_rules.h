#ifndef KESTRUNE_FEEDS_MEDIA_MEDIA_RULES_H_
#define KESTRUNE_FEEDS_MEDIA_MEDIA_RULES_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <flutter/encodable_value.h>

// Decisions of the media feed that need no system call.

// The kinds of media event, as the wParam of kSmtcEventMsg.
enum class MediaEventKind : int { kTrackChange = 1, kPlayback = 2, kProgress = 3 };

// Playback commands of the kestrune/smtc channel.
enum class MediaCommand { kPlayPause, kPrev, kNext, kPlay, kPause };

// The command a method name asks for; compared exactly, letter case included.
std::optional<MediaCommand> MediaCommandNamed(std::string_view method);

// "stopped", "playing", "paused" for the session playback statuses 3, 4 and 5;
// "unknown" for the others (closed, opened, changing, or a value not known).
const char* PlaybackStatusText(int32_t status);

// "play_pause" pauses a session that plays and plays any other.
bool PlayPauseRequestsPause(int32_t status);

// Position over end time, both in 100 ns ticks; not clamped, so a position
// past the end gives more than 1.0. 0.0 when the end time is not positive.
double ProgressRatio(int64_t position, int64_t end_time);

// The last accepted timeline change per session, so progress events are at
// most one per interval per session. Not locked: the owner locks.
class ProgressThrottle {
 public:
  // True, and remembered, when |now_ms| is at least |interval_ms| past the
  // last accepted change of |session| (or there is none).
  bool Accept(const std::wstring& session, uint64_t now_ms, uint64_t interval_ms);
  void Forget(const std::wstring& session) { last_ms_.erase(session); }

 private:
  std::map<std::wstring, uint64_t> last_ms_;
};

// The event payloads.
flutter::EncodableMap TrackChangePayload(const std::string& title, const std::string& artist);
flutter::EncodableMap PlaybackPayload(const std::string& title,
                                      const std::string& artist,
                                      const char* status,
                                      double progress);
flutter::EncodableMap ProgressPayload(double progress);

#endif  // KESTRUNE_FEEDS_MEDIA_MEDIA_RULES_H_
