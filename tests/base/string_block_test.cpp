#include "base/string_block.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(StringBlock, KeepsEveryStringWhereItWasPut) {
  // Empty ones, short ones, one longer than a block, and enough to fill several blocks.
  std::vector<std::string> strings = {"", "a", std::string(200000, 'x'), "", "bc"};
  for (int i = 0; i < 20000; ++i)
    strings.push_back("http://h.example/m" + std::to_string(i) + ".swf");
  TStringBlock block;
  std::vector<std::string_view> seen;
  for (const std::string& s : strings) {
    block.push_back(s);
    seen.push_back(block.back());
  }
  ASSERT_EQ(block.size(), strings.size());
  for (size_t i = 0; i < strings.size(); ++i) {
    EXPECT_EQ(block[i], strings[i]) << i;
    // A view taken when the string was put stays valid however many follow.
    EXPECT_EQ(seen[i], strings[i]) << i;
  }
  // Moved away, the strings stay where they are; the emptied block takes new ones.
  TStringBlock moved = std::move(block);
  EXPECT_EQ(moved[2], strings[2]);
  EXPECT_EQ(seen[7], strings[7]);
  EXPECT_TRUE(block.empty());
  block.push_back("again");
  EXPECT_EQ(block.size(), 1u);
  EXPECT_EQ(block[0], "again");
  block = std::move(moved);
  EXPECT_EQ(block.size(), strings.size());
  moved.push_back("x");
  EXPECT_EQ(moved.back(), "x");
  block.clear();
  EXPECT_TRUE(block.empty());
}

}  // namespace
