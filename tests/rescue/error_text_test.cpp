#include "rescue/error_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorTextTest, FullStopFollowsALastCharacterAboveTheFullStop) {
  struct Case {
    std::string message;
    std::string shown;
  } const cases[] = {
      {"", ""},
      {"Stream read error", "Stream read error."},
      {"Done.", "Done."},
      {"Really!", "Really!"},  // '!' is below '.'
      {"a,", "a,"},            // ',' is below '.'
      {"a-", "a-"},            // '-' is below '.'
      {"a/", "a/."},           // '/' is above '.'
      {"Code 0", "Code 0."},
      {"Socket Error # 10061\r\n", "Socket Error # 10061\r\n"},
      {"\xD6\xD0", "\xD6\xD0."},  // a double-byte character: its bytes count as above '.'
      {"trailing space ", "trailing space "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ErrorReportText(c.message), c.shown) << c.message;
}

}  // namespace
