#include "cli/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <vector>

namespace {

// Keys of ASCII text are worked out by a shorter way in the locales that collate by code; they
// must order with the keys of other text as the long way orders them.
TEST(CaseFoldedCollationKey, OrdersAsTheLocaleDoesWhateverWayTheKeyIsMade) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const struct {
    const char* Locale;
    std::vector<std::string> Sorted;  // ties keep their order
  } rows[] = {
      {"C", {"A", "a_", "aB", "b", "Z", "\xc3\xa9"}},
      {"C.UTF-8", {"A", "a", "a_", "aB", "b", "Z", "\xc3\xa9", "\xc3\x89", "\xe2\x82\xac"}},
  };
  for (const auto& row : rows) {
    if (!std::setlocale(LC_ALL, row.Locale)) continue;
    std::vector<std::string> texts = row.Sorted;
    std::reverse(texts.begin(), texts.end());
    std::stable_sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
      return cli::CaseFoldedCollationKey(a) < cli::CaseFoldedCollationKey(b);
    });
    std::vector<std::string> expected = row.Sorted;
    // Equal keys ("A" and "a", "é" and "É") stay as the reversed input had them.
    for (size_t i = 0; i + 1 < expected.size(); ++i)
      if (cli::CaseFoldedCollationKey(expected[i]) == cli::CaseFoldedCollationKey(expected[i + 1]))
        std::swap(expected[i], expected[i + 1]);
    EXPECT_EQ(texts, expected) << row.Locale;
  }
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
