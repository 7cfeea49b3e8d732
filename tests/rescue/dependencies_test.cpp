#include "rescue/dependencies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/exception.h"
#include "http/http.h"
#include "rescue/download.h"
#include "rescue/run_files.h"
#include "rescue/stored_client_settings.h"
#include "tests/support/movie_writer.h"
#include "tests/support/nginx_server.h"
#include "tests/support/temp_dir.h"

namespace {

using Strings = std::vector<std::string>;

TEST(DependencyPlaceTest, KeepsThePlaceTheMovieExpectsAndPutsTheRestWhereTheSiteHasIt) {
  const std::string root = "http://h/games/";
  struct Row {
    const char* Written;
    const char* Resolved;
    const char* Place;  // nullptr: refused
  } rows[] = {
      {"data/level1.xml", "http://h/games/data/level1.xml", "data/level1.xml"},
      {"levels/a.swf?v=3#x", "http://h/games/levels/a.swf?v=3#x", "levels/a.swf"},
      {"../games/b.swf", "http://h/games/b.swf", "b.swf"},
      {"http://h/games/snd/a.mp3", "http://h/games/snd/a.mp3", "snd/a.mp3"},
      {"data/level 1.xml", "http://h/games/data/level%201.xml", "data/level 1.xml"},
      {"\xE9\x9F\xB3/\xE4\xB9\x90.mp3", "http://h/games/%E9%9F%B3/%E4%B9%90.mp3",
       "\xE9\x9F\xB3/\xE4\xB9\x90.mp3"},
      {"a:b.swf", "http://h/games/a:b.swf", "a_b.swf"},
      {"levels//a.swf", "http://h/games/levels//a.swf", "levels/a.swf"},
      {"\\abs\\x.swf", "http://h/games/\\abs\\x.swf", "_abs_x.swf"},
      // Elsewhere on the site or on another host: where the site layout has it.
      {"http://user@cdn.example:8080/lib/x.swf", "http://user@cdn.example:8080/lib/x.swf",
       "cdn.example_8080/lib/x.swf"},
      {"//CDN.example/x.swf", "http://CDN.example/x.swf", "cdn.example/x.swf"},
      {"http://h/other/y.swf?q", "http://h/other/y.swf?q", "h/other/y.swf"},
      {"../x.swf", "http://h/x.swf", "h/x.swf"},
      {"/common/sfx.mp3", "http://h/common/sfx.mp3", "h/common/sfx.mp3"},
      {"http://other.example/lib/", "http://other.example/lib/", "other.example/lib/index.swf"},
      {"http://other.example", "http://other.example", "other.example/index.swf"},
      {"C:/x.swf", "C:/x.swf", nullptr},
      {"c:x.swf", "c:x.swf", nullptr},
      {"http://h/games/a/../../x.swf", "http://h/games/a/../../x.swf", nullptr},
  };
  for (const Row& row : rows) {
    if (row.Place == nullptr) {
      EXPECT_THROW(DependencyPlace(root, row.Written, row.Resolved), EFCreateError) << row.Written;
    } else {
      EXPECT_EQ(DependencyPlace(root, row.Written, row.Resolved), row.Place) << row.Written;
    }
  }
}

std::string Loader(TMovieKind kind, const Strings& addresses) {
  return Movie(kind, {StoringActionTag(addresses)});
}

class DependencyWalkTest : public testing::Test {
 protected:
  DependencyWalkTest() { ApplyStoredClientSettings(http_); }

  // Saves the main movies and what they load, in one run; returns the lines the walk reported.
  Strings SaveGames(const Strings& movies, TSaveLayout layout = TSaveLayout::slFlat) {
    Strings lines;
    TRunFiles files(out_.Path(), layout);
    TDependencyWalk walk(http_, files);
    walk.OnSaved = [&](const std::string& saved, const std::string& taken) {
      lines.push_back("saved " + saved.substr(out_.Path().size() + 1) +
                      (taken.empty() ? "" : " for " + taken));
    };
    walk.OnMissing = [&](const std::string& address, const std::string& reason) {
      const std::string local = nginx_.Url("/");
      const bool here = address.rfind(local, 0) == 0;
      lines.push_back("missing " + address.substr(here ? local.size() : 0) + ": " + reason);
    };
    for (const std::string& movie : movies) {
      const std::string address = nginx_.Url(movie);
      const std::string path = files.Claim(address, files.MoviePlace(address)).Path;
      DownloadFile(http_, address, path);
      walk.SaveDependencies(address, path);
    }
    EXPECT_EQ(walk.Saved() + walk.Missing(), static_cast<int>(lines.size()));
    return lines;
  }
  Strings SaveGame(const std::string& movie) { return SaveGames({movie}); }

  NginxServer nginx_;
  TNetHTTP http_;
  TempDir out_;
};

TEST_F(DependencyWalkTest, SavesMoviesXmlListsAndWhatTheyNameAtTheirPlaces) {
  nginx_.WriteFile("games/game.swf",
                   Loader(TMovieKind::mkZlib, {"levels/second.swf", "data/list.xml", "/rooted.swf",
                                               "http://127.0.0.1:1/never.swf#x"}));
  // The second movie names the first again (fetched once) and climbs back into the game's folder.
  nginx_.WriteFile(
      "games/levels/second.swf",
      Loader(TMovieKind::mkLzma, {"../game.swf", "../data/extra.txt", "../../outside.swf"}));
  nginx_.WriteFile("games/data/list.xml",
                   "<?xml version=\"1.0\"?><list><s file=\"sounds/a.mp3\"/><s>sounds/b.mp3</s>"
                   "<s file=\"sounds/gone.mp3\"/></list>");
  nginx_.WriteFile("games/data/sounds/a.mp3", "sound a");
  nginx_.WriteFile("games/data/sounds/b.mp3", "sound b");
  nginx_.WriteFile("games/data/extra.txt", "extra");
  nginx_.WriteFile("rooted.swf", "rooted");
  nginx_.WriteFile("outside.swf", "outside");
  nginx_.Start();
  // What lies outside the game's folder is saved where the site has it.
  const std::string site = "127.0.0.1_" + std::to_string(nginx_.Port());

  const Strings lines = SaveGame("/games/game.swf");
  const Strings expected = {
      "saved levels/second.swf",
      "saved data/list.xml",
      "saved " + site + "/rooted.swf",
      "missing http://127.0.0.1:1/never.swf: cannot connect to 127.0.0.1:1: Socket Error # "
      "10061\r\nConnection refused.",
      "saved data/extra.txt",
      "saved " + site + "/outside.swf",
      "saved data/sounds/a.mp3",
      "saved data/sounds/b.mp3",
      "missing games/data/sounds/gone.mp3: HTTP/1.1 404 Not Found",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(FilesBelow(out_.Path()),
            (Strings{site + "/outside.swf", site + "/rooted.swf", "data/extra.txt", "data/list.xml",
                     "data/sounds/a.mp3", "data/sounds/b.mp3", "game.swf", "levels/second.swf"}));
  EXPECT_EQ(ReadFileBytes(out_.Path() + "/data/sounds/b.mp3"), "sound b");
  // Each file was asked for on behalf of the file that names it.
  const std::string log = nginx_.AccessLog();
  EXPECT_NE(log.find("GET /games/data/sounds/a.mp3 HTTP/1.1\" 200 7 \"" +
                     nginx_.Url("/games/data/list.xml")),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("GET /games/levels/second.swf HTTP/1.1\" 200"), std::string::npos);
  EXPECT_EQ(http_.Request.Referer, "");
}

TEST_F(DependencyWalkTest, TwoGamesOfOneRunKeepTheirFilesApart) {
  // Portals give every game the same names in a folder of its own.
  for (const char* game : {"a", "b"}) {
    nginx_.WriteFile(std::string("games/") + game + "/game.swf",
                     Loader(TMovieKind::mkPlain, {"data/level1.xml", "/common/sfx.mp3"}));
    nginx_.WriteFile(std::string("games/") + game + "/data/level1.xml",
                     std::string("<level of=\"") + game + "\"/>");
  }
  nginx_.WriteFile("common/sfx.mp3", "sfx");
  nginx_.Start();
  const std::string site = "127.0.0.1_" + std::to_string(nginx_.Port());
  const struct {
    TSaveLayout Layout;
    Strings Lines;
    Strings Files;
  } rows[] = {
      {TSaveLayout::slSite,
       {"saved " + site + "/games/a/data/level1.xml", "saved " + site + "/common/sfx.mp3",
        "saved " + site + "/games/b/data/level1.xml"},
       {site + "/common/sfx.mp3", site + "/games/a/data/level1.xml", site + "/games/a/game.swf",
        site + "/games/b/data/level1.xml", site + "/games/b/game.swf"}},
      // Side by side, the second game's files take numbers rather than the first one's place.
      {TSaveLayout::slFlat,
       {"saved data/level1.xml", "saved " + site + "/common/sfx.mp3",
        "saved data/level1 (2).xml for level1.xml"},
       {site + "/common/sfx.mp3", "data/level1 (2).xml", "data/level1.xml", "game (2).swf",
        "game.swf"}},
  };
  for (const auto& row : rows) {
    std::filesystem::remove_all(out_.Path());
    std::filesystem::create_directories(out_.Path());
    EXPECT_EQ(SaveGames({"/games/a/game.swf", "/games/b/game.swf"}, row.Layout), row.Lines);
    EXPECT_EQ(FilesBelow(out_.Path()), row.Files);
  }
  EXPECT_EQ(ReadFileBytes(out_.Path() + "/data/level1 (2).xml"), "<level of=\"b\"/>");
}

TEST_F(DependencyWalkTest, FollowsFilesToTheDepthBound) {
  for (int i = 1; i <= 6; ++i)
    nginx_.WriteFile("chain/" + std::to_string(i) + ".swf",
                     Loader(TMovieKind::mkPlain, {std::to_string(i + 1) + ".swf"}));
  nginx_.Start();
  const Strings lines = SaveGame("/chain/1.swf");
  EXPECT_EQ(lines, (Strings{"saved 2.swf", "saved 3.swf", "saved 4.swf", "saved 5.swf"}));
}

TEST_F(DependencyWalkTest, StopsAtTheFileBound) {
  std::string list = "<list>";
  for (int i = 0; i < kMaxDependencyFiles + 2; ++i)
    list += "<f>f" + std::to_string(i) + ".txt</f>";
  nginx_.WriteFile("many/game.swf", Loader(TMovieKind::mkPlain, {"list.xml"}));
  nginx_.WriteFile("many/list.xml", list + "</list>");
  nginx_.WriteFile("many/f5.txt", "five");
  nginx_.Start();
  const Strings lines = SaveGame("/many/game.swf");
  ASSERT_EQ(lines.size(), static_cast<size_t>(kMaxDependencyFiles + 3));
  EXPECT_EQ(lines[0], "saved list.xml");
  EXPECT_EQ(lines[6], "saved f5.txt");
  EXPECT_EQ(lines[kMaxDependencyFiles - 1], "missing many/f998.txt: HTTP/1.1 404 Not Found");
  EXPECT_EQ(lines[kMaxDependencyFiles], "missing many/f999.txt: More than 1000 dependent files");
  EXPECT_EQ(FilesBelow(out_.Path()), (Strings{"f5.txt", "game.swf", "list.xml"}));
}

}  // namespace
