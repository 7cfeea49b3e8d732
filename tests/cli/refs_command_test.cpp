// flashgrab-cli refs, and grab/download with --deps, run as programs against nginx.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_program.h"
#include "tests/support/abc_writer.h"
#include "tests/support/child_process.h"
#include "tests/support/movie_writer.h"
#include "tests/support/nginx_server.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

ProgramResult RunCli(Strings args) {
  args.insert(args.begin(), kProgram);
  return RunProgram(args, "", std::chrono::seconds(30));
}

std::string Lines(const Strings& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  return text;
}

// A movie that stores `addresses` in variables, and whose byte code loads "abc/code.json" and
// opens a page.
std::string Loader(TMovieKind kind, const Strings& addresses) {
  TAbcWriter abc;
  abc.GetLex("flash.net.URLLoader").FindPropStrict("URLRequest").PushString("abc/code.json");
  abc.ConstructProp("URLRequest", 1).CallPropVoid("load", 1);
  abc.FindPropStrict("navigateToURL").FindPropStrict("URLRequest");
  abc.PushString("http://example.com/shop.html").ConstructProp("URLRequest", 1);
  abc.CallPropVoid("navigateToURL", 1).EndScript();
  return Movie(kind, {StoringActionTag(addresses), DoAbcTag(abc)});
}

TEST(RefsCommandTest, ListsWhatEachMovieLoads) {
  TempDir dir;
  const std::string plain = dir.WriteFile("plain.swf", Loader(TMovieKind::mkPlain, {"a.xml"}));
  const std::string zlib = dir.WriteFile("zlib.swf", Loader(TMovieKind::mkZlib, {"b/c.mp3"}));
  const std::string lzma =
      dir.WriteFile("lzma.swf", Loader(TMovieKind::mkLzma, {"http://other.example/d.swf"}));
  const std::string broken =
      dir.WriteFile("broken.swf", Loader(TMovieKind::mkPlain, {"x.swf"}).substr(0, 30));
  const std::string text = dir.WriteFile("page.html", "<html></html>");
  NginxServer nginx;
  nginx.WriteFile("games/remote.swf", Loader(TMovieKind::mkZlib, {"../data/e.xml", "f.png"}));
  nginx.Start();

  struct Row {
    const char* Name;
    Strings Args;
    int ExitCode;
    std::string Stdout;
    std::string Stderr;
  } rows[] = {
      {"three containers, as written",
       {"refs", plain, zlib, lzma},
       0,
       Lines({"a.xml", "abc/code.json", "b/c.mp3", "abc/code.json", "http://other.example/d.swf",
              "abc/code.json"}),
       ""},
      {"--all: the pages it opens too",
       {"refs", "--all", plain},
       0,
       Lines({"a.xml", "abc/code.json", "http://example.com/shop.html"}),
       ""},
      {"-v: where each came from",
       {"refs", "-v", "--all", plain},
       0,
       Lines({"a.xml\tpush (shape)", "abc/code.json\tAVM2 URLRequest",
              "http://example.com/shop.html\tAVM2 navigateToURL (page)"}),
       ""},
      {"resolved against --base",
       {"refs", "--base", "http://h/games/main.swf", zlib},
       0,
       Lines({"http://h/games/b/c.mp3", "http://h/games/abc/code.json"}),
       ""},
      {"fetched and resolved against its address",
       {"refs", nginx.Url("/games/remote.swf")},
       0,
       Lines({nginx.Url("/data/e.xml"), nginx.Url("/games/f.png"),
              nginx.Url("/games/abc/code.json")}),
       ""},
      {"failures are reported and the rest are read",
       {"refs", broken, dir.Path() + "/none.swf", text, nginx.Url("/games/none.swf"), plain},
       1,
       Lines({"a.xml", "abc/code.json"}),
       Lines({"flashgrab-cli: EMovieError: movie truncated at byte 30",
              "flashgrab-cli: EFOpenError: Cannot open file \"" + dir.Path() +
                  "/none.swf\". No such file or directory",
              "flashgrab-cli: EMovieError: not a Flash movie",
              "flashgrab-cli: ENetHTTPProtocolException: HTTP/1.1 404 Not Found"})},
  };
  for (const Row& row : rows) {
    const ProgramResult result = RunCli(row.Args);
    EXPECT_EQ(result.ExitCode, row.ExitCode) << row.Name;
    EXPECT_EQ(result.Stdout, row.Stdout) << row.Name;
    EXPECT_EQ(result.Stderr, row.Stderr) << row.Name;
  }
  EXPECT_EQ(RunCli({"refs"}).ExitCode, 2);
}

TEST(RefsCommandTest, GrabWithDepsSavesTheGameWithItsFiles) {
  NginxServer nginx;
  nginx.WriteFile("page.html", "<embed src=\"" + nginx.Url("/arcade/game.swf") + "\">");
  nginx.WriteFile("arcade/game.swf",
                  Movie(TMovieKind::mkZlib, {DoActionTag(TActionWriter()
                                                             .PushString("levels/second.swf")
                                                             .PushString("_root")
                                                             .Simple(0x1D)
                                                             .GetURL("data/sounds.xml"))}));
  nginx.WriteFile("arcade/levels/second.swf", Movie(TMovieKind::mkLzma, {}));
  nginx.WriteFile(
      "arcade/data/sounds.xml",
      "<sounds><sound src=\"../snd/jump.mp3\"/><sound>../snd/coin.mp3</sound></sounds>");
  nginx.WriteFile("arcade/snd/jump.mp3", "jump");
  nginx.WriteFile("arcade/snd/coin.mp3", "coin");
  nginx.Start();

  TempDir out;
  // With its files the game is saved as its site has it.
  const std::string dir = out.Path() + "/game";
  const std::string site = "127.0.0.1_" + std::to_string(nginx.Port()) + "/arcade/";
  ProgramResult result = RunCli({"grab", "-d", dir, "--deps", nginx.Url("/page.html")});
  EXPECT_EQ(result.ExitCode, 0) << result.Stderr;
  EXPECT_EQ(result.Stdout,
            Lines({nginx.Url("/arcade/game.swf"), "saved " + dir + "/" + site + "game.swf",
                   "saved " + dir + "/" + site + "levels/second.swf",
                   "saved " + dir + "/" + site + "data/sounds.xml",
                   "saved " + dir + "/" + site + "snd/jump.mp3",
                   "saved " + dir + "/" + site + "snd/coin.mp3"}));
  EXPECT_EQ(FilesBelow(dir),
            (Strings{site + "data/sounds.xml", site + "game.swf", site + "levels/second.swf",
                     site + "snd/coin.mp3", site + "snd/jump.mp3"}));

  // One of them gone: reported, and the main movie still counts as saved. Flat, the movie goes
  // into the folder and its files beside it.
  fs::remove(nginx.Root() + "/arcade/snd/coin.mp3");
  const std::string again = out.Path() + "/again";
  result = RunCli(
      {"download", "-d", again, "--deps", "--layout", "flat", nginx.Url("/arcade/game.swf")});
  EXPECT_EQ(result.ExitCode, 0) << result.Stderr;
  EXPECT_NE(result.Stdout.find("missing " + nginx.Url("/arcade/snd/coin.mp3") +
                               ": HTTP/1.1 404 Not Found\n"),
            std::string::npos)
      << result.Stdout;
  EXPECT_EQ(FilesBelow(again),
            (Strings{"data/sounds.xml", "game.swf", "levels/second.swf", "snd/jump.mp3"}));
}

}  // namespace
