#ifndef KESTRUNE_FEEDS_CALENDAR_CALENDAR_JSON_H_
#define KESTRUNE_FEEDS_CALENDAR_CALENDAR_JSON_H_

#include <string>
#include <string_view>

// The calendar file's text: one line, no spaces, entries in the store's order:
// [{"t":"HH:MM","e":"subject"},...], or [] for a day without appointments.

// |text| (UTF-8) as the inside of a JSON string: tab, line feed, carriage
// return, quote and backslash as their two-character escapes, other control
// characters as \u00XX, every other byte unchanged.
std::string EscapeJsonText(std::string_view text);

class CalendarJson {
 public:
  // One entry starting at |hour|:|minute| local time (0..23, 0..59).
  void Add(int hour, int minute, std::string_view subject);
  // The whole text; the builder is spent.
  std::string Finish();

 private:
  std::string text_ = "[";
};

#endif  // KESTRUNE_FEEDS_CALENDAR_CALENDAR_JSON_H_
