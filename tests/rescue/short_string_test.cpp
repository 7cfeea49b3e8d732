#include "rescue/short_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ImageBytes(const TShortString& value) {
  return std::string(value.Image().begin(), value.Image().end());
}

TEST(ShortStringTest, AssignKeepsAtMost254Bytes) {
  struct Case {
    size_t length;
    size_t kept;
  } const cases[] = {{0, 0}, {1, 1}, {253, 253}, {254, 254}, {255, 254}, {600, 254}};
  for (const Case& c : cases) {
    std::string text;
    for (size_t i = 0; i < c.length; ++i)
      text += static_cast<char>('a' + i % 26);
    TShortString value;
    value.Assign(text);
    EXPECT_EQ(value.Length(), static_cast<int>(c.kept)) << c.length;
    EXPECT_EQ(value.Text(), text.substr(0, c.kept)) << c.length;
  }
}

TEST(ShortStringTest, ShorterValueLeavesTheLongerOneInThePadding) {
  TShortString value;
  value.Assign("/home/user/long-folder");
  value.Assign("/tmp");
  EXPECT_EQ(value.Text(), "/tmp");
  const std::string image = ImageBytes(value);
  EXPECT_EQ(image[0], 4);
  EXPECT_EQ(image.substr(1, 22), "/tmpe/user/long-folder");
  EXPECT_EQ(image.substr(23), std::string(255 - 23, '\0'));
}

TEST(ShortStringTest, OverlayBringsTheLengthWithinTheValue) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const std::string full254 = "\xFE" + std::string(254, 'x');
  const Case cases[] = {
      {"empty file", std::string(), ""},
      {"one zero byte", std::string(1, '\0'), ""},
      {"length only", std::string(1, '\x05'), ""},
      {"exact",
       "\x03"
       "abc",
       "abc"},
      {"padding ignored",
       "\x03"
       "abcdef",
       "abc"},
      {"short of its count",
       "\x06"
       "abc",
       "abc"},
      {"zero inside",
       std::string("\x05"
                   "ab\0cd",
                   6),
       "ab"},
      {"254 characters", full254, std::string(254, 'x')},
      {"first byte 255", "\xFF" + std::string(254, 'y'), std::string(254, 'y')},
      {"longer than the image", full254 + "zzzz", std::string(254, 'x')},
  };
  for (const Case& c : cases) {
    TShortString value;
    value.Overlay(c.bytes);
    EXPECT_EQ(value.Text(), c.text) << c.name;
    EXPECT_EQ(value.Length(), static_cast<int>(c.text.size())) << c.name;
  }
}

TEST(ShortStringTest, OverlayKeepsBytesBeyondTheFile) {
  TShortString value;
  value.Assign("/abcdefgh");
  value.Overlay(
      "\x02"
      "xy");
  EXPECT_EQ(value.Text(), "xy");
  EXPECT_EQ(ImageBytes(value).substr(0, 11), std::string("\x02"
                                                         "xybcdefgh\0",
                                                         11));
}

}  // namespace
