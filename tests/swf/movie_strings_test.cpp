#include "swf/movie_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// One call on the strings: a text added whole, pooled, as a piece, as a load's address or as a
// page opened, or the pooled string noted by an earlier step (`Pooled`, counted among the
// pooled steps) used again.
struct TStep {
  enum TKind { skWhole, skPooled, skPiece, skPooledWhole, skPooledPiece, skLoad, skNavigation };
  TKind Kind;
  std::string Text;
  size_t Pooled = 0;
};

void RunSteps(TMovieStrings& strings, const std::vector<TStep>& steps) {
  std::vector<TMovieStrings::TNoted> pooled;
  for (const TStep& step : steps) {
    switch (step.Kind) {
      case TStep::skWhole:
        strings.Add(step.Text, TReferenceSource::rsAvm1Push);
        break;
      case TStep::skPooled:
        pooled.push_back(strings.AddPooled(step.Text, TReferenceSource::rsAvm1Pool));
        break;
      case TStep::skLoad:
        strings.AddLoad(step.Text, TReferenceSource::rsAvm1LoadVariables);
        break;
      case TStep::skNavigation:
        strings.AddNavigation(step.Text, TReferenceSource::rsAvm1GetUrl);
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
      {"what reaches a load counts whatever its shape",
       {{S::skLoad, "variables"}, {S::skLoad, "Shift Jis.txt"}, {S::skLoad, "data?id=3"}},
       {"variables", "Shift Jis.txt", "data?id=3"}},
      {"a refused string that later reaches a load counts",
       {{S::skPooled, "utf8"}, {S::skPooledWhole, ""}, {S::skLoad, "utf8"}},
       {"utf8"}},
      {"a piece that reaches a load counts",
       {{S::skPiece, "a.xml"}, {S::skLoad, "a.xml"}},
       {"a.xml"}},
      {"a page opened is not a file; loaded as well, it is",
       {{S::skNavigation, "http://x.example/more.html"},
        {S::skNavigation, "shop.html"},
        {S::skLoad, "shop.html"}},
       {"shop.html"}},
      {"no script, mail or command is ever an address",
       {{S::skLoad, "javascript:go()"},
        {S::skNavigation, "mailto:me@example.com"},
        {S::skLoad, "FSCommand:quit"},
        {S::skLoad, ""},
        {S::skLoad, "a\nb.xml"}},
       {}},
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
    if (!row.First.empty()) strings.Add(row.First, TReferenceSource::rsAvm1Push);
    for (size_t i = 0; i < row.Count; ++i)
      strings.Add("fill" + std::to_string(i) + row.Suffix, TReferenceSource::rsAvm1Push);
    RunSteps(
        strings,
        {{TStep::skPooled, "late.swf"}, {TStep::skPooledWhole, ""}, {TStep::skWhole, "later.swf"}});
    const Strings found = strings.Addresses();
    ASSERT_EQ(found.size(), row.ExpectedCount) << row.Name;
    EXPECT_EQ(found.back(), row.ExpectedLast) << row.Name;
  }
}

// What is listed says where it came from, and the pages only when asked for.
TEST(MovieStringsTest, ReferencesNameTheirSourceAndPages) {
  TMovieStrings strings;
  strings.Add("a.swf", TReferenceSource::rsAvm2Push);
  strings.AddLoad("a.swf", TReferenceSource::rsAvm2UrlRequest);
  strings.Add("b.xml", TReferenceSource::rsAvm2Slot);
  strings.AddNavigation("http://x.example/", TReferenceSource::rsAvm2NavigateToUrl);
  strings.EnterBinaryMovie();
  strings.AddLoad("inner.xml", TReferenceSource::rsAvm1LoadMovie);
  strings.LeaveBinaryMovie();
  using R = TReferenceSource;
  const std::vector<TMovieReference> files = {{"a.swf", R::rsAvm2UrlRequest},
                                              {"b.xml", R::rsAvm2Slot},
                                              {"inner.xml", R::rsAvm1LoadMovie, false, true}};
  EXPECT_EQ(strings.References(false), files);
  std::vector<TMovieReference> all = files;
  all.insert(all.begin() + 2, {"http://x.example/", R::rsAvm2NavigateToUrl, true});
  EXPECT_EQ(strings.References(true), all);
  EXPECT_STREQ(ReferenceSourceName(R::rsAvm2UrlRequest), "AVM2 URLRequest");
  EXPECT_STREQ(ReferenceSourceName(R::rsAvm2Push), "pushstring (shape)");
  EXPECT_STREQ(ReferenceSourceName(R::rsXmlValue), "XML attribute");
}

}  // namespace
