#include "uri/address_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AddressEncoding, EncodesAsBrowsersRequest) {
  const struct {
    std::string Address;
    const char* Charset;
    std::string Encoded;
  } rows[] = {
      {"http://h.example/games/my game.swf", "UTF-8", "http://h.example/games/my%20game.swf"},
      // The path as UTF-8, the query in the page's own encoding.
      {"http://h.example/\xD3\xCE\xCF\xB7.swf?n=\xC1\xAC", "GBK",
       "http://h.example/%E6%B8%B8%E6%88%8F.swf?n=%C1%AC"},
      {"http://h.example/\xE6\xB8\xB8.swf?n=\xE8\xBF\x9E", "UTF-8",
       "http://h.example/%E6%B8%B8.swf?n=%E8%BF%9E"},
      // What is escaped already stays, reserved or not, in either case.
      {"http://h.example/a%2Fb%3f%zz c.swf?q=%26&r=1", "UTF-8",
       "http://h.example/a%2Fb%3f%zz%20c.swf?q=%26&r=1"},
      {"http://h.example/a\"b<c>`{d}.swf?x='\"", "UTF-8",
       "http://h.example/a%22b%3Cc%3E%60%7Bd%7D.swf?x=%27%22"},
      {"http://h.example/a.swf#part two", "UTF-8", "http://h.example/a.swf#part%20two"},
      // Bytes that are no character of the page's encoding go as U+FFFD.
      {"http://h.example/\xFF.swf", "GBK", "http://h.example/%EF%BF%BD.swf"},
      {"http://h.example/plain.swf?a=b", "GBK", "http://h.example/plain.swf?a=b"},
      // A host in another script in its ASCII form.
      {"http://\xE6\xB8\xB8\xE6\x88\x8F.example/a.swf", "UTF-8", "http://xn--unup4y.example/a.swf"},
      {"http://\xD3\xCE\xCF\xB7.Example:81/a.swf", "GBK", "http://xn--unup4y.example:81/a.swf"},
      // A name that maps to delimiters ("＃") stays as it is: it names no host.
      {"http://a\xEF\xBC\x83"
       "b/x",
       "UTF-8",
       "http://a\xEF\xBC\x83"
       "b/x"},
      // No scheme before "://": no authority either.
      {"\xFFtp://H/a b", "UTF-8", "%EF%BF%BDtp://H/a%20b"},
      // Scheme and host in lower case; user, port and path as they are.
      {"HTTP://Me:Pw@Games.Example:8080/A.swf", "UTF-8", "http://Me:Pw@games.example:8080/A.swf"},
      // A web archive's capture: the original's query is the capture's query.
      {"http://a.example/web/2009id_/http://h.example/my game.swf?v=1 2", "UTF-8",
       "http://a.example/web/2009id_/http://h.example/my%20game.swf?v=1%202"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(EncodedAddress(row.Address, row.Charset), row.Encoded) << row.Address;
    EXPECT_EQ(EncodedAddress(row.Encoded, row.Charset), row.Encoded) << "twice: " << row.Address;
    // An address without anything to encode is never copied for nothing.
    EXPECT_TRUE(row.Address == row.Encoded || NeedsEncoding(row.Address)) << row.Address;
  }
  EXPECT_FALSE(NeedsEncoding("http://h.example/plain.swf?a=b"));
}

TEST(AddressEncoding, ShowsForReadingWhatEncodesBackTheSame) {
  const struct {
    std::string Encoded;
    std::string Shown;
  } rows[] = {
      {"http://h.example/games/%E6%B8%B8%E6%88%8F/%E8%BF%9E%E8%BF%9E%E7%9C%8B.swf",
       "http://h.example/games/\xE6\xB8\xB8\xE6\x88\x8F/\xE8\xBF\x9E\xE8\xBF\x9E\xE7\x9C\x8B.swf"},
      {"http://h.example/my%20game.swf", "http://h.example/my game.swf"},
      // A query in GBK is no UTF-8: it stays escaped.
      {"http://h.example/a.swf?n=%C1%AC%C1%AC", "http://h.example/a.swf?n=%C1%AC%C1%AC"},
      {"http://h.example/a.swf?n=%E8%BF%9E", "http://h.example/a.swf?n=\xE8\xBF\x9E"},
      // Reserved characters, ASCII, lower-case escapes and controls stay escaped.
      {"http://h.example/a%2Fb%3F%23%25%26%3D%3A%2B%41.swf",
       "http://h.example/a%2Fb%3F%23%25%26%3D%3A%2B%41.swf"},
      {"http://h.example/%e6%b8%b8.swf", "http://h.example/%e6%b8%b8.swf"},
      {"http://h.example/%C2%9B%E2%80%AE.swf", "http://h.example/%C2%9B%E2%80%AE.swf"},
      {"http://h.example/%E6%B8.swf", "http://h.example/%E6%B8.swf"},  // cut short
      // A blank at the very end would be lost in a copy.
      {"http://h.example/a.swf?x=%20", "http://h.example/a.swf?x=%20"},
      {"http://h%20x.example/", "http://h%20x.example/"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DisplayedAddress(row.Encoded), row.Shown) << row.Encoded;
    // Given back, the line shown asks for the same address.
    EXPECT_EQ(EncodedAddress(row.Shown, "UTF-8"), row.Encoded) << row.Encoded;
  }
}

TEST(AddressEncoding, DecodesEveryEscapeForFileNames) {
  EXPECT_EQ(PercentDecoded("my%20game%2Fx%e6%B8%B8%zz%4"), "my game/x\xE6\xB8\xB8%zz%4");
}

}  // namespace
