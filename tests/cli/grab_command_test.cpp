// flashgrab-cli grab and download, run as programs against nginx and scripted peers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/cli/cli_program.h"
#include "tests/support/child_process.h"
#include "tests/support/free_port.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/movie_page.h"
#include "tests/support/nginx_server.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kBigSize = 4 * 1024 * 1024 + 9;

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  return text;
}

class CliGrab : public testing::Test {
 protected:
  void SetUp() override {
    nginx_.Start();
    origin_ = nginx_.Url("");
    nginx_.WriteFile("page.html", MoviePage(origin_));
    nginx_.WriteFile("movies/red.swf", RedSwfBytes());
    nginx_.WriteGeneratedFile("movies/big.swf", kBigSize);
    nginx_.WriteFile("movies/one.swf", "movie one");
    nginx_.WriteFile("movies/two.swf", "movie two");
  }
  NginxServer nginx_;
  std::string origin_;
  TempDir out_;
};

TEST_F(CliGrab, PatternOnlyListsThePatternsMatchesInCaseInsensitiveOrder) {
  const ProgramResult r = RunCli({"grab", "--pattern-only", nginx_.Url("/page.html")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  const std::string o = origin_;
  // In the C locale the order is that of the bytes once folded to lower case.
  EXPECT_EQ(r.Stdout, Lines({
                          "[x]://odd.example/o.swf",
                          "ftp://files.example/f.swf",
                          o + "/movies/big.swf",
                          o + "/movies/one.swf",
                          o + "/movies/red.swf",
                          o + "/movies/two.swf",
                          o + "/play.php?file=red.swf",
                          "http://a.example/x.swf,http://a.example/y.swf",
                          "http://dup.example/First.swf",
                          "http://late.example/a.swf?next=http://late.example/b.swf",
                          "|http://bar.example/pipe.swf|",
                      }));
  EXPECT_EQ(r.Stderr, "");

  nginx_.WriteFile("none.html", "<p>nothing</p>");
  const ProgramResult none = RunCli({"grab", "--pattern-only", nginx_.Url("/none.html")});
  EXPECT_EQ(none.ExitCode, 0);
  EXPECT_EQ(none.Stdout, "");

  // Listed as the page wrote it, escapes and letter case as they are.
  nginx_.WriteFile("escaped.html", "'http://h.example/%E6%B8%B8.swf' 'HTTP://H.example/A.swf'");
  const ProgramResult escaped = RunCli({"grab", "--pattern-only", nginx_.Url("/escaped.html")});
  EXPECT_EQ(escaped.Stdout, "http://h.example/%E6%B8%B8.swf\nHTTP://H.example/A.swf\n");
}

TEST_F(CliGrab, ThePageReaderListsRelativeReferencesAbsolute) {
  nginx_.WriteFile("games/play.html",
                   "<base href=\"" + origin_ +
                       "/games/\"><embed src=\"movies/a.swf\"><param name=\"movie\" "
                       "value=\"../top.swf?level=2&amp;x=1#start\"><script>swfobject.embedSWF("
                       "'//" +
                       origin_.substr(7) + "/player.php', 'box');</script>");
  const ProgramResult r = RunCli({"grab", nginx_.Url("/games/play.html")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, Lines({origin_ + "/games/movies/a.swf", origin_ + "/player.php",
                             origin_ + "/top.swf?level=2&x=1"}));
}

TEST_F(CliGrab, TheListIsSortedByTheLocalesCollationOfTheFoldedText) {
  nginx_.WriteFile(
      "letters.html",
      "<embed src=\"http://h.example/\xc3\x89mile.swf\"><embed "
      "src=\"http://h.example/Zoo.swf\"><embed src=\"http://h.example/\xc3\xa9mile.swf\">"
      "<embed src=\"http://h.example/apple.swf\"><embed src=\"http://h.example/\xff.swf\">"
      "<embed src=\"http://h.example/ZOO.swf\"><embed src=\"http://h.example/\xc3\xa9"
      "a.swf\">"
      "<embed src=\"http://h.example/\xc3\x89"
      "b.swf\">");
  const std::string h = "http://h.example/";
  // Names that differ only in case are files of their own, in the order found. The byte that
  // is no character of the page (no charset, not UTF-8: GBK in the C locales) reads as U+FFFD.
  const struct {
    const char* Locale;
    std::vector<std::string> Listed;
  } rows[] = {
      // Characters fold and compare by code point.
      {"LC_ALL=C.UTF-8",
       {h + "apple.swf", h + "Zoo.swf", h + "ZOO.swf",
        h + "\xc3\xa9"
            "a.swf",
        h + "\xc3\x89"
            "b.swf",
        h + "\xc3\x89mile.swf", h + "\xc3\xa9mile.swf", h + "\xef\xbf\xbd.swf"}},
      // Bytes above ASCII are characters of their own and do not fold.
      {"LC_ALL=C",
       {h + "apple.swf", h + "Zoo.swf", h + "ZOO.swf",
        h + "\xc3\x89"
            "b.swf",
        h + "\xc3\x89mile.swf",
        h + "\xc3\xa9"
            "a.swf",
        h + "\xc3\xa9mile.swf", h + "\xef\xbf\xbd.swf"}},
  };
  for (const auto& row : rows) {
    ChildProcess program({kProgram, "grab", nginx_.Url("/letters.html")});
    program.Environment = {row.Locale};
    program.Start();
    ASSERT_TRUE(program.WaitForExit(std::chrono::seconds(20))) << row.Locale;
    EXPECT_EQ(program.ExitCode(), 0) << program.Stderr();
    EXPECT_EQ(program.Stdout(), Lines(row.Listed)) << row.Locale;
  }
}

TEST_F(CliGrab, CharactersOfEveryLengthSortByCodePoint) {
  // One, two, three and four bytes of UTF-8, named out of order.
  nginx_.WriteFile("lengths.html",
                   "<embed src=\"http://h.example/\xf0\x9f\x98\x80.swf\">"
                   "<embed src=\"http://h.example/\xe2\x82\xac.swf\">"
                   "<embed src=\"http://h.example/\xc4\x81.swf\">"
                   "<embed src=\"http://h.example/\xc3\xa9.swf\">"
                   "<embed src=\"http://h.example/z.swf\">"
                   "<embed src=\"http://h.example/\xc4\x80.swf\">");
  const std::string h = "http://h.example/";
  ChildProcess program({kProgram, "grab", nginx_.Url("/lengths.html")});
  program.Environment = {"LC_ALL=C.UTF-8"};
  program.Start();
  ASSERT_TRUE(program.WaitForExit(std::chrono::seconds(20)));
  EXPECT_EQ(program.ExitCode(), 0) << program.Stderr();
  // U+0100 folds to U+0101: another file, listed after the one found first.
  EXPECT_EQ(program.Stdout(),
            Lines({h + "z.swf", h + "\xc3\xa9.swf", h + "\xc4\x81.swf", h + "\xc4\x80.swf",
                   h + "\xe2\x82\xac.swf", h + "\xf0\x9f\x98\x80.swf"}));
}

TEST_F(CliGrab, APageThatCannotBeFetchedIsTriedThreeTimesThenReported) {
  RecordingPeer missing(AlwaysAnswer(HttpResponse(404, "Not Found", {}, "\"http://h/x.swf\"")));
  const ProgramResult r = RunCli({"grab", missing.Url("/page.html")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "");
  EXPECT_EQ(r.Stderr, "flashgrab-cli: ENetHTTPProtocolException: HTTP/1.1 404 Not Found\n");
  const auto heads = missing.Heads();
  ASSERT_EQ(heads.size(), 3u);
  for (const RequestHead& head : heads)
    EXPECT_EQ(head.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows 98; Maxthon)");

  const std::string port = std::to_string(FreeTcpPort());
  const ProgramResult refused = RunCli({"grab", "http://127.0.0.1:" + port + "/"});
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_EQ(refused.Stderr, "flashgrab-cli: ENetConnectException: cannot connect to 127.0.0.1:" +
                                port + ": Socket Error # 10061 Connection refused.\n");
}

TEST_F(CliGrab, DownloadSavesEveryEntryAndReportsEachFile) {
  // Only loopback entries: the page's other hosts would need a name lookup.
  nginx_.WriteFile("local.html", "<embed src=\"" + origin_ + "/movies/red.swf\">\n'" + origin_ +
                                     "/movies/big.swf' \"" + origin_ + "/movies/gone.swf\"\n");
  const std::string folder = out_.Path() + "/new/folder";
  const ProgramResult r = RunCli({"grab", "-d", folder + "/", nginx_.Url("/local.html")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout,
            Lines({origin_ + "/movies/big.swf", origin_ + "/movies/gone.swf",
                   origin_ + "/movies/red.swf", "saved " + folder + "/big.swf",
                   "failed " + origin_ +
                       "/movies/gone.swf: ENetHTTPProtocolException: HTTP/1.1 404 Not Found",
                   "saved " + folder + "/red.swf"}));
  EXPECT_EQ(FileNamesIn(folder), (std::vector<std::string>{"big.swf", "red.swf"}));
  EXPECT_EQ(ReadFileBytes(folder + "/red.swf"), RedSwfBytes());
  EXPECT_TRUE(FileHoldsGeneratedBytes(folder + "/big.swf", kBigSize));

  fs::remove(nginx_.Root() + "/local.html");
  nginx_.WriteFile("local.html", "\"" + origin_ + "/movies/one.swf\"");
  const ProgramResult ok = RunCli({"grab", "--download", folder, nginx_.Url("/local.html")});
  EXPECT_EQ(ok.ExitCode, 0) << ok.Stdout;
  EXPECT_EQ(ok.Stdout, Lines({origin_ + "/movies/one.swf", "saved " + folder + "/one.swf"}));
}

TEST_F(CliGrab, TheClientOptionsApplyToThePageAndTheDownloads) {
  RecordingPeer peer([](int, const RequestHead& head) {
    if (head.Target == "/page.html")
      return PeerAnswer{HttpResponse(200, "OK", {}, "'http://127.0.0.1/m.swf'")};
    return PeerAnswer{HttpResponse(200, "OK", {}, "movie")};
  });
  // The page's movie is named for 127.0.0.1:80; ask the peer for it directly instead.
  const ProgramResult page = RunCli({"grab", "-A", "Tester/1", "-e", "http://127.0.0.1/from", "-H",
                                     "X-Test: yes", peer.Url("/page.html")});
  EXPECT_EQ(page.ExitCode, 0) << page.Stderr;
  EXPECT_EQ(page.Stdout, "http://127.0.0.1/m.swf\n");
  const ProgramResult saved =
      RunCli({"download", "-A", "Tester/2", "-d", out_.Path(), peer.Url("/m.swf")});
  EXPECT_EQ(saved.ExitCode, 0) << saved.Stdout << saved.Stderr;
  const auto heads = peer.Heads();
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0].Header("User-Agent"), "Tester/1");
  EXPECT_EQ(heads[0].Header("Referer"), "http://127.0.0.1/from");
  EXPECT_EQ(heads[0].Header("X-Test"), "yes");
  EXPECT_EQ(heads[1].Header("User-Agent"), "Tester/2");
  EXPECT_EQ(ReadFileBytes(out_.Path() + "/m.swf"), "movie");
}

TEST(CliDownload, SavesIntoTheCurrentFolderByDefault) {
  NginxServer nginx;
  nginx.WriteFile("a/red.swf", RedSwfBytes());
  nginx.Start();
  TempDir here;
  const ProgramResult r = RunCli({"download", nginx.Url("/a/red.swf")}, here.Path());
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "saved ./red.swf\n");
  EXPECT_EQ(ReadFileBytes(here.Path() + "/red.swf"), RedSwfBytes());
}

// Whatever goes wrong with a transfer, the file the user had stays and nothing else appears.
TEST(CliDownload, FailedTransfersLeaveTheEarlierFileAndNoTemporaryFile) {
  RecordingPeer peer([](int, const RequestHead& head) {
    if (head.Target == "/cut/red.swf")
      return PeerAnswer{
          "HTTP/1.1 200 OK\r\nContent-Length: 500000\r\n\r\n" + GeneratedBytes(0, 100000), true};
    if (head.Target == "/moved/red.swf")
      return PeerAnswer{HttpResponse(302, "Found", {"Location: /elsewhere/red.swf"}, "")};
    if (head.Target == "/ok/one.swf") return PeerAnswer{HttpResponse(200, "OK", {}, "one")};
    return PeerAnswer{HttpResponse(404, "Not Found", {}, "no")};
  });
  TempDir out;
  out.WriteFile("red.swf", "the user's own movie");
  const ProgramResult r =
      RunCli({"download", "-d", out.Path(), peer.Url("/cut/red.swf"), peer.Url("/moved/red.swf"),
              peer.Url("/missing/red.swf"), peer.Url("/ok/one.swf"), peer.Url("/ok/")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, Lines({"failed " + peer.Url("/cut/red.swf") +
                                 ": ENetConnClosedGracefully: Connection Closed Gracefully.",
                             // Followed, to a file that is not there.
                             "failed " + peer.Url("/moved/red.swf") +
                                 ": ENetHTTPProtocolException: HTTP/1.1 404 Not Found",
                             "failed " + peer.Url("/missing/red.swf") +
                                 ": ENetHTTPProtocolException: HTTP/1.1 404 Not Found",
                             "saved " + out.Path() + "/one.swf",
                             // A folder's address would be saved as index.swf.
                             "failed " + peer.Url("/ok/") +
                                 ": ENetHTTPProtocolException: HTTP/1.1 404 Not Found"}));
  EXPECT_EQ(FileNamesIn(out.Path()), (std::vector<std::string>{"one.swf", "red.swf"}));
  EXPECT_EQ(ReadFileBytes(out.Path() + "/red.swf"), "the user's own movie");
  EXPECT_EQ(peer.RequestCount(), 6);
}

TEST(CliDownload, UnusableArgumentsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"grab"},
      {"grab", "http://127.0.0.1/a", "http://127.0.0.1/b"},
      {"grab", "-d", "", "http://127.0.0.1/"},
      {"grab", "-d"},
      {"grab", "--no-such-option", "http://127.0.0.1/"},
      {"download"},
      {"download", "-d", "", "http://127.0.0.1/a.swf"},
      {"download", "--max-time", "soon", "http://127.0.0.1/a.swf"},
      {"download", "--layout", "tree", "http://127.0.0.1/a.swf"},
      // Addresses that cannot be asked for name what is wrong with them.
      {"download", "http://127.0.0.1:99999/a.swf"},
      {"download", "http://127.0.0.1:18081:/a.swf"},
      {"grab", "http://my host/"},
      {"download", "ftp://127.0.0.1/a.swf"},
  };
  for (const auto& args : cases) {
    const ProgramResult r = RunCli(args);
    EXPECT_EQ(r.ExitCode, 2) << Lines(args);
    EXPECT_NE(r.Stderr.find("usage: flashgrab-cli " + args[0]), std::string::npos) << r.Stderr;
    EXPECT_EQ(r.Stdout, "");
  }
  for (const char* command : {"grab", "download"}) {
    const ProgramResult help = RunCli({command, "--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Stdout.find("-d, --download DIR"), std::string::npos) << help.Stdout;
    EXPECT_NE(help.Stdout.find("--socks5 HOST:PORT"), std::string::npos);
  }
  const ProgramResult overview = RunCli({"--help"});
  EXPECT_NE(overview.Stdout.find("grab"), std::string::npos);
  EXPECT_NE(overview.Stdout.find("download"), std::string::npos);
}

TEST(CliGrabDownload, ReferencesResolveAgainstTheAddressRedirectsEndedOn) {
  RecordingPeer peer([](int, const RequestHead& head) {
    if (head.Target == "/old")
      return PeerAnswer{HttpResponse(301, "Moved", {"Location: /games/play.html"}, "")};
    if (head.Target == "/games/play.html")
      return PeerAnswer{HttpResponse(200, "OK", {}, "<embed src=\"a.swf\">")};
    return PeerAnswer{HttpResponse(200, "OK", {}, "movie")};
  });
  TempDir out;
  const ProgramResult r = RunCli({"grab", "-d", out.Path(), peer.Url("/old")});
  EXPECT_EQ(r.ExitCode, 0) << r.Stdout << r.Stderr;
  EXPECT_EQ(r.Stdout, Lines({peer.Url("/games/a.swf"), "saved " + out.Path() + "/a.swf"}));
  const auto heads = peer.Heads();
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[2].Header("Referer"), peer.Url("/games/play.html"));
}

TEST(CliGrabDownload, DownloadsNameThePageAndCapturesAreAskedForRaw) {
  const std::string page = "/web/20090315000000/http://games.example/play.html";
  RecordingPeer peer([page](int, const RequestHead& head) {
    if (head.Target == page || head.Target == "/plain.html")
      return PeerAnswer{HttpResponse(200, "OK", {}, "<embed src=\"game.swf\">")};
    return PeerAnswer{HttpResponse(200, "OK", {}, "movie " + head.Target)};
  });
  TempDir out;
  const ProgramResult plain = RunCli({"grab", "-d", out.Path(), peer.Url("/plain.html")});
  EXPECT_EQ(plain.ExitCode, 0) << plain.Stdout << plain.Stderr;
  EXPECT_EQ(plain.Stdout, Lines({peer.Url("/game.swf"), "saved " + out.Path() + "/game.swf"}));

  const std::string capture = peer.Url("/web/20090315000000/http://games.example/game.swf");
  const ProgramResult archived = RunCli({"grab", "-d", out.Path(), peer.Url(page)});
  EXPECT_EQ(archived.ExitCode, 0) << archived.Stdout << archived.Stderr;
  EXPECT_EQ(archived.Stdout, Lines({capture, "saved " + out.Path() + "/game.swf"}));
  EXPECT_EQ(ReadFileBytes(out.Path() + "/game.swf"),
            "movie /web/20090315000000id_/http://games.example/game.swf");

  const ProgramResult named =
      RunCli({"download", "-e", "http://games.example/p.html#x", "-d", out.Path(), capture});
  EXPECT_EQ(named.ExitCode, 0) << named.Stdout << named.Stderr;
  const ProgramResult secure =
      RunCli({"download", "-e", "https://games.example/p.html", "-d", out.Path(), capture});
  EXPECT_EQ(secure.ExitCode, 0) << secure.Stdout << secure.Stderr;

  const auto heads = peer.Heads();
  ASSERT_EQ(heads.size(), 6u);
  const struct {
    const char* Target;
    std::optional<std::string> Referer;  // nothing: not sent
  } expected[] = {
      {"/plain.html", std::nullopt},
      {"/game.swf", peer.Url("/plain.html")},
      {"/web/20090315000000/http://games.example/play.html", std::nullopt},
      {"/web/20090315000000id_/http://games.example/game.swf", peer.Url(page)},
      {"/web/20090315000000id_/http://games.example/game.swf", "http://games.example/p.html"},
      {"/web/20090315000000id_/http://games.example/game.swf", std::nullopt},
  };
  for (size_t i = 0; i < heads.size(); ++i) {
    EXPECT_EQ(heads[i].Target, expected[i].Target) << i;
    EXPECT_EQ(heads[i].Header("Referer"), expected[i].Referer) << i;
  }
}

}  // namespace
