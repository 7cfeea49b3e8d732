#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/text.h"

TEST(DecimalDigits, DigitsOnlyAndTheirNumber) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  const struct {
    std::string text;
    bool digits;
    int64_t value;  // what the value holds afterwards; it starts as -7
  } cases[] = {
      {"0", true, 0},
      {"007", true, 7},
      {"1234567890", true, 1234567890},
      {"9223372036854775806", true, kMax - 1},
      {"9223372036854775807", true, kMax},
      {"9223372036854775808", true, kMax},  // beyond 63 bits: the largest there is
      {"99999999999999999999999999", true, kMax},
      {"", false, -7},
      {" 1", false, -7},
      {"1 ", false, -7},
      {"+1", false, -7},
      {"-1", false, -7},
      {"0x10", false, -7},
      {"$10", false, -7},
      {"1a", false, -7},
      {"١", false, -7},  // digits of other scripts are not decimal digits here
  };
  for (const auto& c : cases) {
    int64_t value = -7;
    EXPECT_EQ(ParseDecimalDigits(c.text, value), c.digits) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}
