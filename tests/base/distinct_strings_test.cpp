#include "base/distinct_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(DistinctStrings, KeepsTheFirstOfEqualStringsInTheOrderAdded) {
  const struct {
    std::vector<std::string> Added;
    std::vector<bool> New;
    std::vector<std::string> Kept;
  } rows[] = {
      {{}, {}, {}},
      {{"b", "a", "b"}, {true, true, false}, {"b", "a"}},
      // Case counts; the empty string is a string like any other.
      {{"A", "a", "", ""}, {true, true, true, false}, {"A", "a", ""}},
      // A zero byte is part of the string.
      {{std::string("x\0y", 3), "x", std::string("x\0y", 3)},
       {true, true, false},
       {std::string("x\0y", 3), "x"}},
      // Longer than the string keeps inside itself, met again.
      {{"http://long.example/flash/movie.swf", "http://long.example/flash/movie.swf?x",
        "http://long.example/flash/movie.swf"},
       {true, true, false},
       {"http://long.example/flash/movie.swf", "http://long.example/flash/movie.swf?x"}},
  };
  for (const auto& row : rows) {
    TDistinctStrings set;
    std::vector<bool> added;
    for (const std::string& text : row.Added)
      added.push_back(set.Add(text));
    EXPECT_EQ(added, row.New);
    EXPECT_EQ(set.Strings(), row.Kept);
    for (const std::string& text : row.Added)
      EXPECT_TRUE(set.Contains(text));
    EXPECT_FALSE(set.Contains("not added"));
    EXPECT_EQ(set.Take(), row.Kept);
    EXPECT_EQ(set.Size(), 0u);
    EXPECT_FALSE(set.Contains(row.Kept.empty() ? "x" : row.Kept[0]));
  }
}

TEST(DistinctStrings, TellsStringsApartWhileTheTableGrows) {
  TDistinctStrings set;
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    const std::string text = "m" + std::to_string(i % 7919) + ".swf";
    if (i < 7919) expected.push_back(text);
    EXPECT_EQ(set.Add(text), i < 7919) << text;
  }
  EXPECT_EQ(set.Strings(), expected);
  for (int i = 7919; i < 9000; ++i)
    EXPECT_FALSE(set.Contains("m" + std::to_string(i) + ".swf"));
  set.Clear();
  EXPECT_TRUE(set.Add(expected[0]));
  EXPECT_EQ(set.Size(), 1u);
}

}  // namespace
