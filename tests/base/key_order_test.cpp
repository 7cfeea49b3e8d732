#include "base/key_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<size_t> Expected(const std::vector<std::string>& keys) {
  std::vector<size_t> order(keys.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
  return order;
}

TEST(KeyOrder, OrdersAsWholeKeysCompare) {
  std::mt19937 random(7);
  auto pick = [&random](const std::string& letters, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
      text += letters[random() % letters.size()];
    return text;
  };
  const struct {
    const char* Name;
    std::vector<std::string> Keys;
  } rows[] = {
      {"none", {}},
      {"empty keys among others", {"", "b", "", "a", ""}},
      {"prefixes of one another", {"abc", "ab", "abcd", "a", "ab", ""}},
      {"bytes above 0x7f after lower ones", {"a\xff", "a\x01", "a\x80", "a", "a\x7f"}},
  };
  std::vector<std::pair<const char*, std::vector<std::string>>> cases;
  for (const auto& row : rows)
    cases.emplace_back(row.Name, row.Keys);
  // Many keys of a few sites, a long shared beginning, repeats and letter case.
  std::vector<std::string> sites;
  for (int i = 0; i < 20000; ++i)
    sites.push_back("http://www.site" + std::to_string(random() % 7) + ".example/flash/" +
                    pick("aAbB01", random() % 6) + ".swf");
  cases.emplace_back("addresses of a few sites", sites);
  // A chain of keys each one longer than the last: as deep as keys are long.
  std::vector<std::string> chain;
  for (int i = 0; i < 3000; ++i)
    chain.push_back(std::string(static_cast<size_t>(random() % 3000), 'a'));
  cases.emplace_back("a chain of prefixes", chain);
  for (const auto& [name, keys] : cases) {
    TStringBlock block;
    for (const std::string& key : keys)
      block.push_back(key);
    const std::vector<size_t> expected = Expected(keys);
    EXPECT_EQ(KeyOrder(block), expected) << name;
    // Of equal keys the first (by index) only.
    std::vector<size_t> distinct;
    for (size_t i = 0; i < expected.size(); ++i)
      if (i == 0 || keys[expected[i]] != keys[expected[i - 1]]) distinct.push_back(expected[i]);
    EXPECT_EQ(DistinctKeyOrder(block), distinct) << name;
    // Taken in steps while the keys are added, and the rest at the end: the same order, also
    // where a key repeats one of an earlier step.
    for (const size_t step : {size_t{1}, size_t{37}, size_t{2500}}) {
      if (step == 1 && keys.size() > 100) continue;
      TStringBlock growing;
      TGrowingKeyOrder order, all(TEqualKeys::ekAll);
      for (size_t i = 0; i < keys.size(); ++i) {
        growing.push_back(keys[i]);
        if ((i + 1) % step == 0) {
          order.Take(growing);
          all.Take(growing);
        }
      }
      EXPECT_EQ(order.Finish(growing), distinct) << name << ", steps of " << step;
      EXPECT_EQ(all.Finish(growing), expected) << name << ", all, steps of " << step;
      EXPECT_EQ(order.Taken(), 0u) << name;  // ready to start over
    }
  }
}

}  // namespace
