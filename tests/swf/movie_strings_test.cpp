#include "swf/movie_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// One call on the strings: a text added whole, pooled or as a piece, or the pooled string
// noted by an earlier step (`Pooled`, counted among the pooled steps) used again.
struct TStep {
  enum TKind { skWhole, skPooled, skPiece, skPooledWhole, skPooledPiece };
  TKind Kind;
  std::string Text;
  size_t Pooled = 0;
};

void RunSteps(TMovieStrings& strings, const std::vector<TStep>& steps) {
  std::vector<TMovieStrings::TNoted> pooled;
  for (const TStep& step : steps) {
    switch (step.Kind) {
      case TStep::skWhole:
        strings.Add(step.Text);
        break;
      case TStep::skPooled:
        pooled.push_back(strings.AddPooled(step.Text));
        break;
      case TStep::skPiece:
        strings.AddPiece(step.Text);
        break;
      case TStep::skPooledWhole:
        strings.Add(pooled.at(step.Pooled));
        break;
      case TStep::skPooledPiece:
        strings.AddPiece(pooled.at(step.Pooled));
        break;
    }
  }
}

TEST(MovieStringsTest, PooledStringsCountAsTheirUsesMakeThem) {
  using S = TStep;
  struct Row {
    const char* Name;
    std::vector<TStep> Steps;
    Strings Expected;
  };
  const Row rows[] = {
      {"a pooled entry never pushed counts", {{S::skPooled, "a.swf"}}, {"a.swf"}},
      {"a pooled entry pushed only as a piece is dropped",
       {{S::skPooled, "a.swf"}, {S::skPooledPiece, ""}},
       {}},
      {"a piece used whole later stays",
       {{S::skPooled, "a.swf"}, {S::skPooledPiece, ""}, {S::skPooledWhole, ""}},
       {"a.swf"}},
      {"a pool reference and the same text written out are one string",
       {{S::skPooled, "b.xml"},
        {S::skPiece, "b.xml"},
        {S::skPiece, "c.txt"},
        {S::skPooled, "c.txt"},
        {S::skPooledWhole, "", 1}},
       {"c.txt"}},
      {"a refused pool entry stays refused whatever its use",
       {{S::skPooled, "flash.display.Loader"},
        {S::skPooledWhole, ""},
        {S::skWhole, "flash.display.Loader"}},
       {}},
      {"names without a dot or colon are never addresses",
       {{S::skPooled, "loadMovie"}, {S::skPooledWhole, ""}, {S::skWhole, "level"}},
       {}},
      {"the order is that of first meeting, each string once",
       {{S::skWhole, "b.xml"},
        {S::skPooled, "a.swf"},
        {S::skWhole, "b.xml"},
        {S::skWhole, "a.swf"},
        {S::skPiece, "b.xml"},
        {S::skPooledPiece, ""}},
       {"b.xml", "a.swf"}},
  };
  for (const Row& row : rows) {
    TMovieStrings strings;
    RunSteps(strings, row.Steps);
    EXPECT_EQ(strings.Addresses(), row.Expected) << row.Name;
  }
}

TEST(MovieStringsTest, StringsPastTheBoundsAreNotKept) {
  struct Row {
    const char* Name;
    std::string First;
    // Filler strings "fill<i><Suffix>": addresses (".swf") or refused names (".n").
    std::string Suffix;
    size_t Count;
    size_t ExpectedCount;
    std::string ExpectedLast;
  };
  const Row rows[] = {
      {"the 20,000th address is kept", "", ".swf", 19999, 20000, "late.swf"},
      {"the 20,001st address is not, even pooled", "", ".swf", 20000, 20000, "fill19999.swf"},
      {"the 100,000th known string is judged", "first.swf", ".n", 99998, 2, "late.swf"},
      {"the 100,001st known string is not", "first.swf", ".n", 99999, 1, "first.swf"},
  };
  for (const Row& row : rows) {
    TMovieStrings strings;
    if (!row.First.empty()) strings.Add(row.First);
    for (size_t i = 0; i < row.Count; ++i)
      strings.Add("fill" + std::to_string(i) + row.Suffix);
    RunSteps(
        strings,
        {{TStep::skPooled, "late.swf"}, {TStep::skPooledWhole, ""}, {TStep::skWhole, "later.swf"}});
    const Strings found = strings.Addresses();
    ASSERT_EQ(found.size(), row.ExpectedCount) << row.Name;
    EXPECT_EQ(found.back(), row.ExpectedLast) << row.Name;
  }
}

}  // namespace
