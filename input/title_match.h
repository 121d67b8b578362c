#ifndef KESTRUNE_INPUT_TITLE_MATCH_H_
#define KESTRUNE_INPUT_TITLE_MATCH_H_

#include <string_view>

// Whether a window title contains any of a comma-separated list of fragments, as the
// hotkey blacklist and the selection trigger use it. Pieces lose surrounding spaces
// (0x20 only) and empty pieces are skipped; the comparison is byte-exact and
// case-sensitive. An empty list matches nothing.
bool TitleMatchesFragments(std::string_view title_utf8, std::string_view fragments);

#endif  // KESTRUNE_INPUT_TITLE_MATCH_H_
