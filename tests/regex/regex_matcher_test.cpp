#include "regex/regex_matcher.h"

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <string>
#include <vector>

#include "base/exception.h"

namespace {

using O = TRegExMatcherOption;
using F = TRegExMatcherExecFlag;

// The pattern the grab uses to find quoted absolute addresses of movies.
const char kExtractionPattern[] = R"(["|'][a-zA-z]+://[^\s|^"]*\.swf["|'])";

struct Found {
  int64_t first;  // 1-based
  int64_t end;    // 1-based, just after the match
  std::string text;
  bool operator==(const Found&) const = default;
};

std::vector<Found> AllMatches(TRegExMatcher& m, std::string subject) {
  m.SetSubjectText(std::move(subject));
  std::vector<Found> found;
  while (m.MatchNext())
    found.push_back({m.MatchOffsets()[0], m.MatchOffsets()[1], m.GroupText(0)});
  return found;
}

std::vector<std::string> Texts(const std::vector<Found>& found) {
  std::vector<std::string> texts;
  for (const Found& f : found)
    texts.push_back(f.text);
  return texts;
}

std::vector<std::string> MatchTexts(const std::string& pattern, const std::string& subject,
                                    TRegExMatcherOptions options = {},
                                    TRegExMatcherExecFlags flags = {F::efNotEmpty}) {
  TRegExMatcher m;
  m.SetRegEx(pattern);
  m.SetOptions(options);
  m.ExecFlags = flags;
  return Texts(AllMatches(m, subject));
}

using Texts_t = std::vector<std::string>;

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
  return "no error";
}

TEST(RegExMatcherTest, DefaultsAndCompileOnFirstUse) {
  TRegExMatcher m;
  EXPECT_TRUE(m.Options().Empty());
  EXPECT_EQ(m.RegEx(), "");
  EXPECT_TRUE(m.ExecFlags == TRegExMatcherExecFlags{F::efNotEmpty});
  EXPECT_FALSE(m.Compiled());
  EXPECT_FALSE(m.HasMatch());
  EXPECT_TRUE(m.UseJIT());

  m.SetRegEx("b+");
  m.SetSubjectText("abbcb");
  EXPECT_FALSE(m.Compiled());
  ASSERT_TRUE(m.MatchNext());
  EXPECT_TRUE(m.Compiled());
  EXPECT_EQ(m.GroupText(0), "bb");
  EXPECT_EQ(m.MatchOffsets()[0], 2);  // 1-based positions
  EXPECT_EQ(m.MatchOffsets()[1], 4);
  EXPECT_EQ(m.SearchFrom(), 4);

  m.SetRegEx("b+");  // the same text keeps the compiled pattern and the match
  EXPECT_TRUE(m.Compiled());
  EXPECT_TRUE(m.HasMatch());
  m.SetSubjectText("xb");  // a new subject keeps the pattern but forgets the match
  EXPECT_TRUE(m.Compiled());
  EXPECT_FALSE(m.HasMatch());
  EXPECT_EQ(m.SearchFrom(), 1);
  EXPECT_EQ(m.SearchEnd(), 2);
  m.SetOptions({O::preCaseLess});
  EXPECT_FALSE(m.Compiled());
  ASSERT_TRUE(m.MatchNext());
  m.SetOptions({O::preCaseLess});  // unchanged options keep it too
  EXPECT_TRUE(m.Compiled());
  m.SetRegEx("x");
  EXPECT_FALSE(m.Compiled());
  EXPECT_FALSE(m.HasMatch());
}

TEST(RegExMatcherTest, EnumeratesWithoutOverlapAndStopsAtTheEnd) {
  TRegExMatcher m;
  m.SetRegEx("aa");
  const std::vector<Found> found = AllMatches(m, "aaaaa");
  EXPECT_EQ(found, (std::vector<Found>{{1, 3, "aa"}, {3, 5, "aa"}}));
  EXPECT_EQ(m.SearchFrom(), 5);  // a failed search leaves the start where it was
  EXPECT_FALSE(m.HasMatch());

  // The last match ends at the last byte: the next search starts at the length and fails.
  m.SetRegEx("b");
  EXPECT_EQ(AllMatches(m, "ab"), (std::vector<Found>{{2, 3, "b"}}));
  EXPECT_EQ(m.SearchFrom(), 3);

  // An empty subject has nothing to match, not even an empty string by default.
  EXPECT_EQ(MatchTexts("a", ""), Texts_t{});
  EXPECT_EQ(MatchTexts("x*", ""), Texts_t{});
}

TEST(RegExMatcherTest, EmptyMatchesStepOnByOne) {
  TRegExMatcher m;
  m.SetRegEx("x*");
  EXPECT_EQ(AllMatches(m, "axb"), (std::vector<Found>{{2, 3, "x"}}));  // no empty match by default
  m.ExecFlags = {};
  EXPECT_EQ(AllMatches(m, "axb"),
            (std::vector<Found>{{1, 1, ""}, {2, 3, "x"}, {3, 3, ""}, {4, 4, ""}}));
  EXPECT_EQ(m.SearchFrom(), 5);
  EXPECT_EQ(AllMatches(m, ""), (std::vector<Found>{{1, 1, ""}}));
}

TEST(RegExMatcherTest, Options) {
  EXPECT_EQ(MatchTexts("ABC", "xabc"), Texts_t{});
  EXPECT_EQ(MatchTexts("ABC", "xabc", {O::preCaseLess}), Texts_t{"abc"});

  EXPECT_EQ(MatchTexts("^b", "a\nb"), Texts_t{});
  EXPECT_EQ(MatchTexts("^b", "a\nb", {O::preMultiLine}), Texts_t{"b"});
  // Every line end counts as one: CR, LF, CRLF and NEL.
  EXPECT_EQ(MatchTexts("^b.$",
                       "a\rbc\r\nbd\x85"
                       "be",
                       {O::preMultiLine}),
            (Texts_t{"bc", "bd", "be"}));
  EXPECT_EQ(MatchTexts("a$", "a\r\n"), Texts_t{"a"});

  EXPECT_EQ(MatchTexts("a.b", "a\nb a\rb"), Texts_t{});
  EXPECT_EQ(MatchTexts("a.b", "a\nb a\rb", {O::preSingleLine}), (Texts_t{"a\nb", "a\rb"}));

  EXPECT_EQ(MatchTexts("a b # note", "ab a b"), Texts_t{});
  EXPECT_EQ(MatchTexts("a b # note", "ab a b", {O::preExtended}), Texts_t{"ab"});

  // Anchored: each search must match right where it starts.
  EXPECT_EQ(MatchTexts("a", "aaba", {O::preAnchored}), (Texts_t{"a", "a"}));

  EXPECT_EQ(MatchTexts("a+", "aaa"), Texts_t{"aaa"});
  EXPECT_EQ(MatchTexts("a+", "aaa", {O::preUnGreedy}), (Texts_t{"a", "a", "a"}));

  TRegExMatcher m;
  m.SetRegEx("(a)(?<n>b)(c)");
  m.SetSubjectText("abc");
  ASSERT_TRUE(m.MatchNext());
  EXPECT_EQ(m.GroupCount(), 3);
  m.SetOptions({O::preNoAutoCapture});
  m.SetSubjectText("abc");
  ASSERT_TRUE(m.MatchNext());
  EXPECT_EQ(m.GroupCount(), 1);  // only the named group captures
  EXPECT_EQ(m.GroupText(1), "b");
}

TEST(RegExMatcherTest, ExecFlags) {
  EXPECT_EQ(MatchTexts("^a", "ab", {}, {}), Texts_t{"a"});
  EXPECT_EQ(MatchTexts("^a", "ab", {}, {F::efNotBol}), Texts_t{});
  EXPECT_EQ(MatchTexts("b$", "ab", {}, {}), Texts_t{"b"});
  EXPECT_EQ(MatchTexts("b$", "ab", {}, {F::efNotEol}), Texts_t{});
  EXPECT_EQ(MatchTexts("b?", "ab", {}, {F::efNotEmpty}), Texts_t{"b"});
}

TEST(RegExMatcherTest, Groups) {
  TRegExMatcher m;
  m.SetRegEx("(a)(x)?(b)");
  m.SetSubjectText("zab");
  ASSERT_TRUE(m.MatchNext());
  EXPECT_EQ(m.GroupCount(), 3);
  EXPECT_EQ(m.GroupText(0), "ab");
  EXPECT_EQ(m.GroupText(1), "a");
  EXPECT_EQ(m.GroupText(2), "");  // did not take part
  EXPECT_EQ(m.MatchOffsets()[4], 0);
  EXPECT_EQ(m.MatchOffsets()[5], 0);
  EXPECT_EQ(m.GroupText(3), "b");
  EXPECT_EQ(m.MatchOffsets()[6], 3);
  EXPECT_EQ(m.GroupText(4), "");  // beyond GroupCount
  EXPECT_EQ(m.GroupText(1000), "");
  EXPECT_EQ(m.GroupText(-1), "");

  // Trailing groups that did not take part are not counted.
  m.SetRegEx("(a)(x)?");
  m.SetSubjectText("a");
  ASSERT_TRUE(m.MatchNext());
  EXPECT_EQ(m.GroupCount(), 1);
  EXPECT_EQ(m.GroupText(2), "");
}

TEST(RegExMatcherTest, GroupAccessNeedsASuccessfulMatch) {
  const std::string expected = "EAssertionFailed: REQUIRE: There must be a successful match first";
  TRegExMatcher m;
  EXPECT_EQ(MessageOf([&] { m.GroupText(0); }).rfind(expected, 0), 0u);
  EXPECT_EQ(MessageOf([&] { m.GroupCount(); }).rfind(expected, 0), 0u);
  m.SetRegEx("a");
  m.SetSubjectText("b");
  EXPECT_FALSE(m.MatchNext());
  EXPECT_EQ(MessageOf([&] { m.GroupText(0); }).rfind(expected, 0), 0u);
  m.SetSubjectText("a");
  ASSERT_TRUE(m.MatchNext());
  EXPECT_EQ(m.GroupText(0), "a");
  EXPECT_FALSE(m.MatchNext());
  EXPECT_EQ(MessageOf([&] { m.GroupCount(); }).rfind(expected, 0), 0u);
}

TEST(RegExMatcherTest, AtMostNinetyNineGroups) {
  std::string pattern99, pattern100;
  for (int i = 0; i < 99; ++i)
    pattern99 += "(a)";
  pattern100 = pattern99 + "(a)";
  TRegExMatcher m;
  m.SetRegEx(pattern99);
  m.SetSubjectText(std::string(100, 'a'));
  ASSERT_TRUE(m.MatchNext());
  EXPECT_EQ(m.GroupCount(), 99);
  EXPECT_EQ(m.GroupText(99), "a");
  EXPECT_EQ(m.MatchOffsets()[199], 100);

  m.SetRegEx(pattern100);
  m.SetSubjectText(std::string(100, 'a'));
  EXPECT_FALSE(m.MatchNext());
  EXPECT_EQ(m.OffsetCount(), 0);
  EXPECT_FALSE(m.HasMatch());
  EXPECT_THROW(m.GroupText(0), EAssertionFailed);
}

TEST(RegExMatcherTest, CompileErrors) {
  TRegExMatcher m;
  m.SetSubjectText("abc");
  const std::string empty =
      "Exception: TRegExMatcher.Compile() - Please specify a regular expression in RegEx first";
  EXPECT_EQ(MessageOf([&] { m.Compile(); }), empty);
  EXPECT_EQ(MessageOf([&] { m.MatchNext(); }), empty);

  m.SetRegEx("a(b");
  EXPECT_EQ(MessageOf([&] { m.MatchNext(); }),
            "Exception: TRegExMatcher.Compile() - Error in regex at offset 3: missing closing "
            "parenthesis");
  EXPECT_FALSE(m.Compiled());
  m.SetRegEx("ab[c");
  EXPECT_EQ(MessageOf([&] { m.Compile(); }),
            "Exception: TRegExMatcher.Compile() - Error in regex at offset 4: missing terminating "
            "] for character class");
  m.SetRegEx("a)");
  EXPECT_EQ(MessageOf([&] { m.Compile(); }),
            "Exception: TRegExMatcher.Compile() - Error in regex at offset 1: unmatched closing "
            "parenthesis");
  // Once the pattern is right, the next search compiles again.
  m.SetRegEx("b");
  EXPECT_TRUE(m.MatchNext());
}

TEST(RegExMatcherTest, PatternMayHoldAZeroByte) {
  EXPECT_EQ(MatchTexts(std::string("a\0b", 3), std::string("xa\0b", 4)),
            Texts_t{std::string("a\0b", 3)});
}

TEST(RegExMatcherTest, OnMatchFiresForEveryMatch) {
  TRegExMatcher m;
  std::vector<std::string> seen;
  m.OnMatch = [&](TObject* sender) {
    EXPECT_EQ(sender, &m);
    seen.push_back(static_cast<TRegExMatcher*>(sender)->GroupText(0));
  };
  m.SetRegEx("[0-9]+");
  m.SetSubjectText("a1b22c333");
  while (m.MatchNext()) {
  }
  EXPECT_EQ(seen, (Texts_t{"1", "22", "333"}));
}

TEST(RegExMatcherTest, ASearchThatGivesUpIsAnError) {
  // Exponential backtracking hits the library's match limit; that is no "no match".
  for (bool jit : {true, false}) {
    TRegExMatcher m;
    m.SetUseJIT(jit);
    m.SetRegEx("(a+)+\\d");
    m.SetSubjectText(std::string(40, 'a') + "x");
    EXPECT_EQ(MessageOf([&] { m.MatchNext(); }),
              "Exception: TRegExMatcher.MatchNext() - Error in match: match limit exceeded")
        << jit;
    EXPECT_FALSE(m.HasMatch());
  }
}

TEST(RegExMatcherTest, SubjectIsHandedOverWithoutACopy) {
  std::string big(1 << 20, 'x');
  const char* bytes = big.data();
  TRegExMatcher m;
  m.SetSubjectText(std::move(big));
  EXPECT_EQ(m.SubjectText().data(), bytes);
  EXPECT_EQ(m.SearchEnd(), 1 << 20);
}

// The grab's extraction pattern over the cases its result list depends on.
struct ExtractionCase {
  std::string page;
  Texts_t found;
};

const ExtractionCase kExtractionCases[] = {
    {R"(<a href="http://a.test/x.swf">,"http://b.test/y.swf")",
     {R"("http://a.test/x.swf")", R"("http://b.test/y.swf")"}},
    {R"("http://a.test/x.swf","http://b.test/y.swf")",
     {R"("http://a.test/x.swf")", R"("http://b.test/y.swf")"}},
    {R"('http://a.test/x.swf','http://b.test/y.swf')",
     {R"('http://a.test/x.swf','http://b.test/y.swf')"}},
    {"embed |http://a.test/x.swf| here", {"|http://a.test/x.swf|"}},
    {R"("http://a.test/x.SWF" "http://a.test/x.Swf" 'http://a.test/x.swF')", {}},
    {R"("x/y.swf" 'movie.swf' "//a.test/x.swf")", {}},
    {R"("h2://a/x.swf" "svn+ssh://a/x.swf" "x-y://a/x.swf" "a.b://a/x.swf")", {}},
    {R"("http://a.test/b c.swf" "http://a.test/b	c.swf")", {}},
    {R"("http://a.test/x.swf?y=1")", {}},
    {R"("http://a.test/x.swf?u=http://b.test/y.swf")",
     {R"("http://a.test/x.swf?u=http://b.test/y.swf")"}},
    {R"('http://a.test/play.php?file=movie.swf')", {R"('http://a.test/play.php?file=movie.swf')"}},
    {R"("http://a.test/x.swf')", {R"("http://a.test/x.swf')"}},
    {R"("my_scheme://a/x.swf" "[x]://a/y.swf")",
     {R"("my_scheme://a/x.swf")", R"("[x]://a/y.swf")"}},
    {R"("HTTP://A.TEST/X.swf" "http://A.test/x.swf")",
     {R"("HTTP://A.TEST/X.swf")", R"("http://A.test/x.swf")"}},
    {R"("http://a.test/x|y.swf" "http://a.test/x^y.swf")", {}},
    {R"(x="http://a.test/<b>.swf")", {R"("http://a.test/<b>.swf")"}},
    {"", {}},
};

TEST(RegExMatcherTest, ExtractionPatternCases) {
  ASSERT_EQ(std::string(kExtractionPattern).size(), 36u);
  for (bool jit : {true, false}) {
    TRegExMatcher m;
    m.SetUseJIT(jit);
    m.SetRegEx(kExtractionPattern);
    for (const ExtractionCase& c : kExtractionCases) {
      EXPECT_EQ(Texts(AllMatches(m, c.page)), c.found) << c.page << (jit ? " (jit)" : "");
    }
  }
}

TEST(RegExMatcherTest, MachineCodeAndInterpreterAgree) {
  TRegExMatcher jit;
  jit.SetRegEx(kExtractionPattern);
  jit.Compile();
  int available = 0;
  pcre2_config(PCRE2_CONFIG_JIT, &available);
  EXPECT_EQ(jit.JITActive(), available == 1);
  TRegExMatcher interpreter;
  interpreter.SetUseJIT(false);
  interpreter.SetRegEx(kExtractionPattern);
  interpreter.Compile();
  EXPECT_FALSE(interpreter.JITActive());

  // A page with links between ordinary markup, white space of every kind and near misses.
  std::string page;
  for (int i = 0; i < 2000; ++i) {
    page += "<div class=\"c" + std::to_string(i) + "\">text\t\r\n";
    switch (i % 5) {
      case 0:
        page += "<embed src=\"http://h.test/m" + std::to_string(i) + ".swf\">";
        break;
      case 1:
        page += "'ftp://h.test/a.swf','ftp://h.test/b.swf'";
        break;
      case 2:
        page += "|http://h.test/x.SWF| \"http://h.test/y.swf?q\"";
        break;
      case 3:
        page += "\"http://h.test/d" + std::string(300, 'x') + ".swf|";
        break;
      default:
        page += "'http:/h.test/no.swf' \"://x.swf\"";
        break;
    }
  }
  const std::vector<Found> byJit = AllMatches(jit, page);
  const std::vector<Found> byInterpreter = AllMatches(interpreter, page);
  EXPECT_EQ(byJit.size(), 1200u);
  EXPECT_TRUE(byJit == byInterpreter);

  for (const char* pattern : {"(a)(x)?(b)", "x*", "^b.$", "(?i)SWF\\b"}) {
    for (TRegExMatcherExecFlags flags :
         {TRegExMatcherExecFlags{}, TRegExMatcherExecFlags{F::efNotEmpty},
          TRegExMatcherExecFlags{F::efNotBol, F::efNotEol}}) {
      jit.SetRegEx(pattern);
      interpreter.SetRegEx(pattern);
      jit.SetOptions({O::preMultiLine});
      interpreter.SetOptions({O::preMultiLine});
      jit.ExecFlags = interpreter.ExecFlags = flags;
      EXPECT_TRUE(AllMatches(jit, "zab\r\nbc\nxab swf SWF\rb!") ==
                  AllMatches(interpreter, "zab\r\nbc\nxab swf SWF\rb!"))
          << pattern;
    }
  }
}

}  // namespace
