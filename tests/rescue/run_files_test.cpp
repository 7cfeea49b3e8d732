#include "rescue/run_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(RunFiles, NoAddressOfARunTakesAnothersPlace) {
  TRunFiles files("/out", TSaveLayout::slFlat);
  const struct {
    const char* Address;
    const char* Place;
    const char* Path;
    const char* TakenName;
  } claims[] = {
      {"http://a/g/game.swf", "game.swf", "/out/game.swf", ""},
      {"http://a/h/game.swf", "game.swf", "/out/game (2).swf", "game.swf"},
      {"http://a/g/game.swf#x", "game.swf", "/out/game.swf", ""},  // the same address
      {"http://a/i/game.swf", "game.swf", "/out/game (3).swf", "game.swf"},
      {"http://a/g/game.swf?v=2", "game.swf", "/out/game (4).swf", "game.swf"},
      {"http://a/README", "README", "/out/README", ""},
      {"http://b/README", "README", "/out/README (2)", "README"},
      {"http://a/.htaccess", "d/.htaccess", "/out/d/.htaccess", ""},
      {"http://b/.htaccess", "d/.htaccess", "/out/d/.htaccess (2)", ".htaccess"},
      {"http://a/x.tar.gz", "x.tar.gz", "/out/x.tar.gz", ""},
      {"http://b/x.tar.gz", "x.tar.gz", "/out/x.tar (2).gz", "x.tar.gz"},
  };
  for (const auto& c : claims) {
    const TRunFiles::TClaim claim = files.Claim(c.Address, c.Place);
    EXPECT_EQ(claim.Path, c.Path) << c.Address;
    EXPECT_EQ(claim.TakenName, c.TakenName) << c.Address;
  }
  // A file that could not be saved leaves its place to the next.
  files.Release("http://a/i/game.swf");
  EXPECT_EQ(files.Claim("http://a/j/game.swf", "game.swf").Path, "/out/game (3).swf");
}

TEST(RunFiles, EachLayoutPlacesAMovie) {
  const struct {
    TSaveLayout Layout;
    const char* Address;
    const char* Place;
  } rows[] = {
      {TSaveLayout::slFlat, "http://h/g/my%20game.swf?x=1", "my game.swf"},
      {TSaveLayout::slSite, "http://h/g/my%20game.swf?x=1", "h/g/my game.swf"},
      {TSaveLayout::slSite, "https://H.example:443/a/%E6%B8%B8/",
       "h.example/a/\xE6\xB8\xB8/index.swf"},
      {TSaveLayout::slSite, "http://h.example:8080/a%3Fb/c.swf", "h.example_8080/a_b/c.swf"},
      {TSaveLayout::slSite, "http://a.example/web/20090315000000id_/http://h.example/x/g.swf",
       "h.example/x/g.swf"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(TRunFiles("/out", row.Layout).MoviePlace(row.Address), row.Place) << row.Address;
  TSaveLayout layout = TSaveLayout::slFlat;
  EXPECT_TRUE(ParseSaveLayout("site", layout));
  EXPECT_EQ(layout, TSaveLayout::slSite);
  EXPECT_FALSE(ParseSaveLayout("tree", layout));
}

}  // namespace
