#include "swf/address_filter.h"

#include <gtest/gtest.h>

TEST(AddressFilterTest, KeepsOnlyWhatNamesAFileToLoad) {
  struct Row {
    const char* Text;
    bool Kept;
  } rows[] = {
      {"levels/one.swf", true},
      {"data/level1.xml", true},
      {"Sounds/Click.MP3", true},
      {"../shared/lib.swf", true},
      {"/rooted/map.json", true},
      {"scores.php?game=7&mode=x", true},
      {"menu.swf#frame", true},
      {"http://example.com/game.swf", true},
      {"HTTPS://example.com/api", true},
      {"http://example.com/list?x=1", true},
      {"file:///C:/games/x.swf", true},
      {"C:\\games\\x.swf", true},
      {"text.txt", true},
      {"pic.jpeg", true},
      {"http://example.com", false},
      {"http://example.com/", false},
      {"http://example.com/folder/", false},
      {"ftp://example.com/a.swf", false},
      {"rtmp://example.com/a.flv", false},
      {"javascript:play('a.swf')", false},
      {"mailto:me@example.com", false},
      {"fscommand:quit", false},
      {"FSCommand:fullscreen.swf", false},
      {"event:link.swf", false},
      {"flash.display.Loader", false},
      {"com.example.game.Main", false},
      {"complete", false},
      {"onLoad", false},
      {"Loading.swf failed", false},
      {"a.swf\n", false},
      {".xml", false},
      {"levels/.swf", false},
      {"levels/", false},
      {"readme.exe", false},
      {"archive.tar.gz", false},
      {"", false},
      {"<a href=\"x.swf\">", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(IsLoadableAddress(row.Text), row.Kept) << row.Text;
  EXPECT_FALSE(IsLoadableAddress(std::string(3000, 'a') + ".swf"));
}
