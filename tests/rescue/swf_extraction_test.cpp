#include "rescue/swf_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "tests/support/movie_page.h"

namespace {

// Letter case ignored, ASCII only: enough to see the order and the duplicates rule.
const TStringList::TCompare kCaseless = [](const std::string& a, const std::string& b) {
  return CompareText(a, b);
};

std::vector<std::string> Extract(const std::string& page,
                                 const TStringList::TCompare& compare = kCaseless) {
  TStringList list;
  ExtractSwfUrls(page, compare, list);
  EXPECT_TRUE(list.Sorted());
  EXPECT_EQ(list.Duplicates, TDuplicates::dupIgnore);
  return list.Strings();
}

TEST(SwfExtraction, ThePatternIsExactly36CharactersWithTwoBackslashes) {
  const std::string pattern = kSwfUrlPattern;
  EXPECT_EQ(pattern, R"(["|'][a-zA-z]+://[^\s|^"]*\.swf["|'])");
  EXPECT_EQ(pattern.size(), 36u);
  EXPECT_EQ(std::count(pattern.begin(), pattern.end(), '\\'), 2);
}

TEST(SwfExtraction, QuotesAreStrippedWhereverTheyStandButBarsStay) {
  EXPECT_EQ(StripQuotes("'http://a/x.swf','http://a/y.swf'"), "http://a/x.swf,http://a/y.swf");
  EXPECT_EQ(StripQuotes("\"http://a/it's.swf'"), "http://a/its.swf");
  EXPECT_EQ(StripQuotes("|http://a/b.swf|"), "|http://a/b.swf|");
  EXPECT_EQ(StripQuotes("|http://a/b.swf\""), "|http://a/b.swf");
}

TEST(SwfExtraction, EachFormOnThePageIsFoundOrPassedOver) {
  const struct {
    const char* page;
    std::vector<std::string> entries;
  } cases[] = {
      {R"(["http://a/1.swf","http://a/2.swf"])", {"http://a/1.swf", "http://a/2.swf"}},
      {R"(['http://a/1.swf','http://a/2.swf'])", {"http://a/1.swf,http://a/2.swf"}},
      {"|http://a/bar.swf|", {"|http://a/bar.swf|"}},
      {"'http://a/mixed.swf\"", {"http://a/mixed.swf"}},
      {R"("http://a/b.SWF" "http://a/b.Swf" 'http://a/b.swF')", {}},
      {R"("movies/b.swf" "/b.swf" "//host/b.swf")", {}},
      {R"("h2p://a/b.swf" "a+b://a/b.swf" "a-b://a/b.swf" "a.b://a/b.swf")", {}},
      {"\"http://a/b c.swf\" \"http://a/b\tc.swf\" \"http://a/b\nc.swf\"", {}},
      {R"("http://a/b.swf?x=1")", {}},
      {R"("http://a/play.php?f=b.swf")", {"http://a/play.php?f=b.swf"}},
      {R"("http://a/a.swf?n=http://a/b.swf")", {"http://a/a.swf?n=http://a/b.swf"}},
      // The scheme range A..z admits brackets, backslash, caret, underscore, grave accent.
      {R"("[_`\^]://a/b.swf")", {R"([_`\^]://a/b.swf)"}},
      // A caret or a bar ends the run.
      {R"("http://a/b^c.swf" "http://a/b|c.swf")", {}},
      {R"(<a href="http://a/b.swf">)", {"http://a/b.swf"}},
      {"", {}},
      {"no quotes at all http://a/b.swf", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Extract(c.page), c.entries) << c.page;
}

TEST(SwfExtraction, TheListIsSortedAndKeepsTheFirstSpellingOfCaseOnlyDuplicates) {
  EXPECT_EQ(Extract(R"("http://h/B.swf" "http://h/a.swf" "http://h/b.swf" "http://h/C.swf"
                       "http://h/A.swf")"),
            (std::vector<std::string>{"http://h/a.swf", "http://h/B.swf", "http://h/C.swf"}));
  // The caller's comparison decides what counts as equal: byte order keeps both spellings.
  const TStringList::TCompare byteOrder = [](const std::string& a, const std::string& b) {
    return a.compare(b);
  };
  EXPECT_EQ(Extract(R"("http://h/b.swf" "http://h/B.swf" "http://h/a.swf")", byteOrder),
            (std::vector<std::string>{"http://h/B.swf", "http://h/a.swf", "http://h/b.swf"}));
}

TEST(SwfExtraction, TheTestPageGivesItsEntries) {
  const std::string origin = "http://127.0.0.1:8080";
  std::vector<std::string> expected = MoviePageEntries(origin);
  std::stable_sort(
      expected.begin(), expected.end(),
      [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
  EXPECT_EQ(Extract(MoviePage(origin)), expected);
}

// The list must come out as if every match had been added in turn to a sorted list that
// ignores duplicates: same order, same spelling of each entry.
TEST(SwfExtraction, ManyMatchesGiveWhatAddingThemOneByOneGives) {
  std::mt19937 random(7);
  std::string page;
  std::vector<std::string> found;
  for (int i = 0; i < 3000; ++i) {
    std::string name = "m" + std::to_string(random() % 700);
    // Some addresses come back in another letter case.
    for (char& c : name)
      if (random() % 3 == 0) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string address = "http://h" + std::to_string(random() % 3) + "/" + name + ".swf";
    page += "<embed src=\"" + address + "\">\n";
    found.push_back(address);
  }
  TStringList oneByOne;
  oneByOne.SetCompare(kCaseless);
  oneByOne.SetSorted(true);
  oneByOne.Duplicates = TDuplicates::dupIgnore;
  for (const std::string& address : found)
    oneByOne.Add(address);
  const std::vector<std::string> entries = Extract(page);
  EXPECT_EQ(entries, oneByOne.Strings());
  EXPECT_GT(entries.size(), 1000u);
}

TEST(SwfExtraction, AGrabReplacesTheEntriesOfTheLastOne) {
  TStringList list;
  list.Add("left over");
  ExtractSwfUrls("\"http://a/1.swf\"", kCaseless, list);
  EXPECT_EQ(list.Strings(), std::vector<std::string>{"http://a/1.swf"});
  ExtractSwfUrls("", kCaseless, list);
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
