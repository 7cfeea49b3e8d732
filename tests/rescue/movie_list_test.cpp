#include "rescue/movie_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/text.h"

namespace {

// A collation that ignores ASCII case, and its key.
int Folded(const std::string& a, const std::string& b) {
  return CompareText(a, b);
}
std::string FoldedKey(const std::string& text) {
  return LowerCase(text);
}

// The rule the list keeps: each entry added in turn to a sorted list that ignores duplicates.
std::vector<std::string> OneByOne(const std::vector<std::string>& found) {
  TStringList list;
  list.SetCompare(Folded);
  list.SetSorted(true);
  list.Duplicates = TDuplicates::dupIgnore;
  for (const std::string& entry : found)
    list.Add(entry);
  return list.Strings();
}

TEST(MovieList, SortsOnceAndKeepsTheFirstSpelling) {
  const struct {
    std::vector<std::string> Found;
    std::vector<std::string> Listed;
  } rows[] = {
      {{}, {}},
      {{"b", "A", "c"}, {"A", "b", "c"}},
      {{"http://x/Red.swf", "http://x/red.swf", "HTTP://X/RED.SWF"}, {"http://x/Red.swf"}},
      {{"b", "a", "B", "a", "A"}, {"a", "b"}},
      // Entries too long to be kept inside the string itself, met again spelled the same.
      {{"http://long.example/flash/b.swf", "http://long.example/flash/a.swf",
        "http://long.example/flash/b.swf", "http://LONG.example/flash/A.swf"},
       {"http://long.example/flash/a.swf", "http://long.example/flash/b.swf"}},
  };
  for (const auto& row : rows) {
    TStringList list;
    list.Add("left over");
    FillMovieList<std::string>(row.Found, FoldedKey, Folded, list);
    EXPECT_EQ(list.Strings(), row.Listed);
    EXPECT_TRUE(list.Sorted());
    // The list goes on sorting by the collation given.
    list.Add("0");
    EXPECT_EQ(list.Get(0), "0");
  }
}

TEST(MovieList, GivesWhatAddingOneByOneGives) {
  std::mt19937 random(5);
  const char letters[] = "aAbBc.";
  std::vector<std::string> found;
  for (int i = 0; i < 3000; ++i) {
    std::string entry;
    for (unsigned n = 1 + random() % 4; n > 0; --n)
      entry += letters[random() % 6];
    found.push_back(entry);
  }
  TStringList list;
  FillMovieList<std::string>(found, FoldedKey, Folded, list);
  EXPECT_EQ(list.Strings(), OneByOne(found));
}

}  // namespace
