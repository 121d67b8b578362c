#include "input/title_match.h"

namespace {

std::string_view StripSpaces(std::string_view piece) {
  const size_t first = piece.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  const size_t last = piece.find_last_not_of(' ');
  return piece.substr(first, last - first + 1);
}

}  // namespace

bool TitleMatchesFragments(std::string_view title_utf8, std::string_view fragments) {
  while (!fragments.empty()) {
    const size_t comma = fragments.find(',');
    const std::string_view piece = StripSpaces(fragments.substr(0, comma));
    if (!piece.empty() && title_utf8.find(piece) != std::string_view::npos) {
      return true;
    }
    // After a trailing comma nothing is left, so the list ends there.
    if (comma == std::string_view::npos) {
      break;
    }
    fragments.remove_prefix(comma + 1);
  }
  return false;
}
