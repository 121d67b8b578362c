#include "input/title_match.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

struct MatchRow {
  std::string_view title;
  std::string_view fragments;
  bool matches;
};

void ExpectRows(std::initializer_list<MatchRow> rows) {
  for (const MatchRow& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << "title \"" << row.title << "\" fragments \"" << row.fragments << "\"");
    EXPECT_EQ(TitleMatchesFragments(row.title, row.fragments), row.matches);
  }
}

TEST(TitleMatchesFragmentsTest, PiecesLoseSurroundingSpacesAndMatchCaseSensitively) {
  ExpectRows({
      {"Untitled - Editor", "Editor , Game", true},
      {"Game Launcher", "Editor , Game", true},
      {"my editor", "Editor , Game", false},
      {"GAME", "Editor , Game", false},
      // Inner spaces belong to the fragment.
      {"Visual Studio Code", "  Studio Code  ", true},
      {"Visual StudioCode", "  Studio Code  ", false},
  });
}

TEST(TitleMatchesFragmentsTest, OnlyTheSpaceCharacterIsStripped) {
  ExpectRows({
      {"Editor", "\tEditor", false},
      {"a\tEditor", "\tEditor", true},
      {"Editor", "Editor\n", false},
      {"Editor",
       "\xC2\xA0"
       "Editor",
       false},
  });
}

TEST(TitleMatchesFragmentsTest, EmptyPiecesAndTrailingCommaAreSkipped) {
  ExpectRows({
      {"Game", "Game,", true},
      {"Anything", "Game,", false},
      {"Anything", ",", false},
      {"Anything", ",,  ,", false},
      {"Anything", "   ", false},
      {"Game", ",, Game ,,", true},
      {"Game", "Nope,,Game", true},
  });
}

TEST(TitleMatchesFragmentsTest, EmptyListOrTitle) {
  ExpectRows({
      {"Anything", "", false},
      {"", "", false},
      {"", "Editor", false},
      {"", " , ", false},
  });
}

TEST(TitleMatchesFragmentsTest, ComparisonIsByteExact) {
  ExpectRows({
      // UTF-8 titles match UTF-8 fragments byte for byte.
      {"\xE5\xBE\xAE\xE4\xBF\xA1 - chat", "\xE5\xBE\xAE\xE4\xBF\xA1", true},
      {"\xE5\xBE\xAE\xE4\xBF\xA1 - chat", "\xE5\xBE\xAE", true},
      {"caf\xC3\xA9", "CAF\xC3\x89", false},
      // A fragment longer than the title cannot match.
      {"Edit", "Editor", false},
      // Any later piece can match, not just the first.
      {"Terminal", "Editor,Game,Term", true},
  });
}

}  // namespace
