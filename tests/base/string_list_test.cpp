#include "base/string_list.h"

#include <gtest/gtest.h>

#include "base/exception.h"

TEST(StringListTest, SortedListIgnoresDuplicatesWithoutRegardToCase) {
  TStringList list;
  list.SetSorted(true);
  list.Duplicates = TDuplicates::dupIgnore;
  list.Add("b");
  list.Add("A");
  list.Add("a");
  list.Add("C");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0), "A");  // the first spelling stays
  EXPECT_EQ(list.Get(1), "b");
  EXPECT_EQ(list.Get(2), "C");
  EXPECT_EQ(list.IndexOf("c"), 2);
}

TEST(StringListTest, AcceptedDuplicatesGoBeforeEqualEntries) {
  TStringList list;
  list.SetSorted(true);
  list.Duplicates = TDuplicates::dupAccept;
  TObject first, second;
  list.AddObject("/x", &first);
  list.AddObject("/x", &second);
  EXPECT_EQ(list.Objects(0), &second);
  EXPECT_EQ(list.Objects(1), &first);
}

TEST(StringListTest, CustomComparisonOrdersTheList) {
  TStringList list;
  list.SetCompare([](const std::string& a, const std::string& b) { return b.compare(a); });
  list.SetSorted(true);
  list.Add("a");
  list.Add("c");
  list.Add("b");
  EXPECT_EQ(list.Text(), "c\r\nb\r\na\r\n");
}

TEST(StringListTest, TextRoundTripAndNameValues) {
  TStringList list;
  list.SetText("a=1\r\nb=2\nc\rd=");
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Values("B"), "2");
  EXPECT_EQ(list.Names(0), "a");
  EXPECT_EQ(list.Names(2), "");
  list.SetValue("a", "9");
  EXPECT_EQ(list.Get(0), "a=9");
  list.SetValue("a", "");
  EXPECT_EQ(list.IndexOfName("a"), -1);
}

TEST(StringListTest, BadIndexRaises) {
  TStringList list;
  EXPECT_THROW(list.Get(0), EStringListError);
  EXPECT_THROW(list.Delete(-1), EStringListError);
  list.SetSorted(true);
  EXPECT_THROW(list.Insert(0, "x"), EStringListError);
}
