#include "http/header_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/lead_bytes.h"

namespace {

std::vector<std::string> Lines(const TNetHeaderList& list) {
  return list.Strings();
}

TNetHeaderList ListOf(const std::vector<std::string>& lines) {
  TNetHeaderList list;
  for (const std::string& line : lines)
    list.Add(line);
  return list;
}

// Words of five letters separated by single blanks, `size` bytes in all.
std::string WordsOfSize(size_t size) {
  std::string text;
  text.reserve(size);
  while (text.size() < size)
    text += (text.size() % 6 == 5) ? ' ' : static_cast<char>('a' + text.size() % 26);
  if (text.back() == ' ') text.back() = 'z';
  return text;
}

struct FoldCase {
  std::string name;
  std::string value;
  std::vector<std::string> lines;
  std::string readBack;
};

}  // namespace

TEST(HeaderListTest, FoldsAtColumnTen) {
  const std::vector<FoldCase> cases = {
      {"Name", "aaa bbb ccc ddd", {"Name: aaa", " bbb ccc ddd"}, "aaa bbb ccc ddd"},
      {"Name", "aaaaaaaaaaaaaa", {"Name:", " aaaaaaaaaaaaaa"}, "aaaaaaaaaaaaaa"},
      {"Nm", "a,b,c,d,e,f,g,h", {"Nm: a,b,c,", " d,e,f,g,h"}, "a,b,c, d,e,f,g,h"},
      {"Nm", "\"a b c d e\" f g h", {"Nm:", " \"a b c d e\"", " f g h"}, "\"a b c d e\" f g h"},
      {"Name", "abcde", {"Name: abcde"}, "abcde"},
  };
  for (const FoldCase& c : cases) {
    SCOPED_TRACE(c.value);
    TNetHeaderList list;
    list.FoldColumn = 10;
    list.SetValueOf(c.name, c.value);
    EXPECT_EQ(Lines(list), c.lines);
    EXPECT_EQ(list.ValueOf(c.name), c.readBack);
  }
}

TEST(HeaderListTest, ReadsContinuationLinesJoined) {
  TNetHeaderList list = ListOf({"X-A: one", " two", "\ttwo more", "X-B:  b  ", "", " orphan"});
  EXPECT_EQ(list.ValueOf("x-a"), "one two two more");
  EXPECT_EQ(list.ValueOf("X-B"), "b");  // the empty line ends the block
  EXPECT_EQ(list.NameAt(0), "X-A");
  list.JoinContinuations = false;
  EXPECT_EQ(list.ValueOf("X-A"), "one");
  list.KeepNameCase = true;
  list.Put(0, "x-a: one");
  EXPECT_EQ(list.NameAt(0), "x-a");
  EXPECT_EQ(list.IndexOfHeader("X-A"), 0);
}

TEST(HeaderListTest, BlankContinuationLinesAddNothing) {
  TNetHeaderList list = ListOf({"X: ", "  ", "\t b ", " ", "c"});
  EXPECT_EQ(list.ValueOf("X"), "b");
}

TEST(HeaderListTest, SpaceBeforeColonBelongsToTheName) {
  TNetHeaderList list = ListOf({"Name : value"});
  EXPECT_EQ(list.NameAt(0), "NAME ");
  EXPECT_EQ(list.IndexOfHeader("Name"), -1);
  EXPECT_EQ(list.IndexOfHeader("name "), 0);
  EXPECT_EQ(list.ValueAt(0), "value");
}

TEST(HeaderListTest, LineWithoutColonHasNoName) {
  TNetHeaderList list = ListOf({"abc def"});
  EXPECT_EQ(list.NameAt(0), "");
  EXPECT_EQ(list.ValueAt(0), "bc def");
  EXPECT_EQ(list.IndexOfHeader("abc def"), -1);
  EXPECT_EQ(list.ValueOf("abc"), "");
}

TEST(HeaderListTest, EmptyListAndBadIndexes) {
  TNetHeaderList list;
  EXPECT_EQ(list.IndexOfHeader("X"), -1);
  EXPECT_EQ(list.ValueOf("X"), "");
  EXPECT_EQ(list.ValueAt(-1), "");
  EXPECT_EQ(list.ValueAt(0), "");
  list.SetValueOf("X", "");
  EXPECT_EQ(list.Count(), 0);
  list.ExtractValues("X", nullptr);
  EXPECT_EQ(WrapHeaderText("", "\r\n ", " ", 10), "");
  list.Add("");
  list.Add(":");
  EXPECT_EQ(list.ValueAt(0), "");
  EXPECT_EQ(list.ValueAt(1), "");
  EXPECT_EQ(list.NameAt(1), "");
}

TEST(HeaderListTest, SetReplacesInPlaceAndAppendsNewNames) {
  TNetHeaderList list = ListOf({"A: 1", "B: 2", " 2b", "\t2c", "B: 3", "C: 4"});
  list.SetValueOf("b", "two");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"A: 1", "b: two", "B: 3", "C: 4"}));
  list.SetValueOf("D", "5");
  EXPECT_EQ(list.Get(4), "D: 5");
  // Empty values remove the first line of the name with its continuation lines.
  list.Insert(2, " more");
  list.SetValueOf("B", "");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"A: 1", "B: 3", "C: 4", "D: 5"}));
  list.SetValueOf("Absent", "");
  EXPECT_EQ(list.Count(), 4);
}

TEST(HeaderListTest, SetWithoutFoldingKeepsOldContinuationLines) {
  TNetHeaderList list = ListOf({"A: 1", " more"});
  list.FoldOnSet = false;
  list.FoldColumn = 5;
  list.SetValueOf("A", "a long value");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"A: a long value", " more"}));
  list.SetValueOf("A", "");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{" more"}));
}

TEST(HeaderListTest, ExtractValuesTakesEveryLineOfTheName) {
  TNetHeaderList list = ListOf({"WWW-Authenticate: Basic realm=\"a\"", " x", "Other: 1",
                                "www-authenticate: Foo", " WWW-Authenticate: not a header"});
  TStringList values;
  values.Add("kept");
  list.ExtractValues("WWW-Authenticate", &values);
  EXPECT_EQ(values.Strings(), (std::vector<std::string>{"kept", "Basic realm=\"a\" x",
                                                        "Foo WWW-Authenticate: not a header"}));
  TStringList none;
  list.ExtractValues("", &none);
  EXPECT_EQ(none.Count(), 0);  // continuation lines never match, even by an empty name
}

TEST(HeaderListTest, LineBreaksInAValueStayContinuationLines) {
  TNetHeaderList list;
  list.SetValueOf("X", "a\r\nEvil: 1\r\n\r\nbody\nmore");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"X: a", " Evil: 1", " body more"}));
  EXPECT_EQ(list.IndexOfHeader("Evil"), -1);
  EXPECT_EQ(list.ValueOf("X"), "a Evil: 1 body more");

  TNetHeaderList unfolded;
  unfolded.FoldOnSet = false;
  unfolded.SetValueOf("X", "a\r\nEvil: 1");
  EXPECT_EQ(Lines(unfolded), (std::vector<std::string>{"X: a  Evil: 1"}));
}

TEST(HeaderListTest, ExistingBreakTextIsKept) {
  TNetHeaderList list;
  list.SetValueOf("X", "a\r\n b");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"X: a", " b"}));
  EXPECT_EQ(WrapHeaderText("ab\r\n cd ef", "\r\n ", " ", 100), "ab\r\n cd ef");
}

TEST(HeaderListTest, MegabyteValueFoldsAndReadsBack) {
  const std::string value = WordsOfSize(1 << 20);
  TNetHeaderList list;
  list.Add("Before: 1");
  list.Add("After: 2");
  list.SetValueOf("Before", value);
  ASSERT_GT(list.Count(), 1000);
  for (int i = 1; i + 1 < list.Count(); ++i) {
    ASSERT_TRUE(TNetHeaderList::IsContinuationLine(list.Get(i))) << i;
    ASSERT_LE(list.Get(i).size(), 80u) << i;
  }
  EXPECT_EQ(list.Get(list.Count() - 1), "After: 2");
  EXPECT_EQ(list.ValueOf("before"), value);
  // A shorter value replaces every old continuation line.
  list.SetValueOf("Before", "short");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"Before: short", "After: 2"}));

  // Without any break character in it, the value is never cut.
  const std::string solid(1 << 20, 'q');
  list.SetValueOf("Solid", solid);
  EXPECT_EQ(Lines(list).back(), " " + solid);
  EXPECT_EQ(list.Get(2), "Solid:");
  EXPECT_EQ(list.ValueOf("Solid"), solid);
}

namespace {

class HeaderListDoubleByteTest : public ::testing::Test {
 protected:
  void SetUp() override { SelectLeadBytesForCodeSet("GBK"); }
  void TearDown() override { SelectLeadBytesForCodeSet("UTF-8"); }
};

}  // namespace

TEST_F(HeaderListDoubleByteTest, TrailBytesAreNeitherBreaksNorQuotes) {
  // 0x81 0x2C and 0x81 0x22 are single characters whose second byte looks like a comma and
  // a double quote.
  const std::string line = "Nm: \x81,\x81,\x81,\x81,\x81\"\x81,x, yz";
  const std::string wrapped = WrapHeaderText(line, "\r\n ", "\t ,", 10);
  EXPECT_EQ(wrapped, "Nm: \r\n \x81,\x81,\x81,\x81,\x81\"\x81,x,\r\n  yz");
  SelectLeadBytesForCodeSet("UTF-8");
  // Read as single bytes, the quote opens a quoted run and the commas are break points.
  EXPECT_EQ(WrapHeaderText(line, "\r\n ", "\t ,", 10),
            "Nm: \x81,\x81,\x81,\r\n \x81,\x81\"\x81,x, yz");
}

TEST_F(HeaderListDoubleByteTest, NameEndsAtARealColonOnly) {
  TNetHeaderList list = ListOf({"X\x81:: v"});
  EXPECT_EQ(list.NameAt(0), "X\x81:");
  EXPECT_EQ(list.ValueAt(0), "v");
}
