#include "input/title_match.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

TEST(TitleMatchesFragmentsTest, AnyPieceWithoutItsOuterSpacesMatchesByteExact) {
  const struct {
    std::string_view title;
    std::string_view fragments;
    bool matches;
  } rows[] = {
      {"Untitled - Editor", "Editor , Game", true},
      {"my editor", "Editor , Game", false},
      // Inner spaces belong to the piece; only 0x20 is stripped.
      {"Visual Studio Code", "  Studio Code  ", true},
      {"Editor", "\tEditor", false},
      // Empty pieces never match anything.
      {"Game", ",, Game ,,", true},
      {"", " , ", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TitleMatchesFragments(row.title, row.fragments), row.matches)
        << '"' << row.title << "\" in \"" << row.fragments << '"';
  }
}

}  // namespace
