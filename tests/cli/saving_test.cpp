// Addresses and saved files as a browser and a careful downloader handle them, run as the
// program against nginx (and scripted peers for a stall and an interrupted transfer).
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/saving.h"
#include "tests/cli/cli_program.h"
#include "tests/support/child_process.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/movie_page.h"
#include "tests/support/movie_writer.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// One row per way pages of the Flash years wrote an address: the page's charset (declared by
// the page, by the response, or not at all), the address as written, the request that must go
// out byte for byte, and the file it is saved as.
// How dependent files are fetched: -j, --rate-interval and --max-retry-wait, and what is refused.
TEST(CliSaving, TheTransferOptionsAreTakenOrRefused) {
  const std::vector<cli::TOptionDef> defs = cli::SavingOptionDefs("save into DIR");
  const auto def = [&defs](const char* name) {
    for (const cli::TOptionDef& d : defs)
      if (std::string(d.LongName) == name) return &d;
    return static_cast<const cli::TOptionDef*>(nullptr);
  };
  cli::TSaving saving;
  EXPECT_EQ(saving.Transfers.PerHost, 4);
  ASSERT_TRUE(cli::TakeSavingOption({def("jobs"), "2"}, saving));
  ASSERT_TRUE(cli::TakeSavingOption({def("rate-interval"), "1000"}, saving));
  ASSERT_TRUE(cli::TakeSavingOption({def("max-retry-wait"), "30"}, saving));
  EXPECT_EQ(saving.Transfers.PerHost, 2);
  EXPECT_EQ(saving.Transfers.RateIntervalMs, 1000);
  EXPECT_EQ(saving.Transfers.MaxRetryWaitS, 30);
  const struct {
    const char* Name;
    const char* Value;
    const char* Error;
  } refused[] = {
      {"jobs", "0", "--jobs needs a positive number, not '0'"},
      {"rate-interval", "-5", "--rate-interval needs a non-negative number, not '-5'"},
      {"max-retry-wait", "2m", "--max-retry-wait needs a non-negative number, not '2m'"},
  };
  for (const auto& r : refused) {
    try {
      cli::TakeSavingOption({def(r.Name), r.Value}, saving);
      ADD_FAILURE() << r.Name << " " << r.Value;
    } catch (const cli::TUsageError& e) {
      EXPECT_STREQ(e.what(), r.Error);
    }
  }
}

// A batch list: its addresses saved several at once, reported in the list's order, the exit
// status counting them all.
TEST(CliSaving, ABatchListIsSavedAndReportedInItsOrder) {
  NginxServer nginx;
  nginx.WriteFile("g/a.swf", "movie a");
  nginx.WriteFile("g/c.swf", "movie c");
  nginx.Start();
  TempDir out;
  const std::string list =
      out.WriteFile("list.txt", "# the games\n\n" + nginx.Url("/g/a.swf") + "\n  " +
                                    nginx.Url("/g/b.swf") + "  \n" + nginx.Url("/g/c.swf") + "\n");
  const ProgramResult r = RunCli({"download", "-j", "3", "-d", out.Path() + "/saved", "-i", list});
  EXPECT_EQ(r.ExitCode, 1) << r.Stderr;
  EXPECT_EQ(r.Stdout, "saved " + out.Path() + "/saved/a.swf\nfailed " + nginx.Url("/g/b.swf") +
                          ": ENetHTTPProtocolException: HTTP/1.1 404 Not Found\nsaved " +
                          out.Path() + "/saved/c.swf\n");
  EXPECT_EQ(ReadFileBytes(out.Path() + "/saved/c.swf"), "movie c");
  const ProgramResult missing = RunCli({"download", "-i", out.Path() + "/none.txt"});
  EXPECT_EQ(missing.ExitCode, 2);
  EXPECT_NE(missing.Stderr.find("-i: cannot read '" + out.Path() + "/none.txt'"), std::string::npos)
      << missing.Stderr;
}

TEST(CliSaving, EachPageFormAsksForTheRightFileAndSavesItUnderItsReadableName) {
  const struct {
    const char* Name;
    const char* Location;  // the folder of the page, with its server's directives
    const char* Directives;
    std::string Head;     // what declares the charset in the page
    std::string Written;  // the address in the page's bytes
    std::string File;     // the file on the server, in UTF-8
    std::string Target;   // the request
    std::string Saved;    // the name saved, in UTF-8
  } rows[] = {
      {"GBK by meta", "gbk", "", "<meta charset=\"gb2312\">",
       "games/\xD3\xCE\xCF\xB7/\xC1\xAC\xC1\xAC\xBF\xB4.swf",
       "games/\xE6\xB8\xB8\xE6\x88\x8F/\xE8\xBF\x9E\xE8\xBF\x9E\xE7\x9C\x8B.swf",
       "/gbk/games/%E6%B8%B8%E6%88%8F/%E8%BF%9E%E8%BF%9E%E7%9C%8B.swf",
       "\xE8\xBF\x9E\xE8\xBF\x9E\xE7\x9C\x8B.swf"},
      {"GBK query", "gbkq", "", "<meta charset=\"gbk\">", "play.swf?name=\xC1\xAC", "play.swf",
       "/gbkq/play.swf?name=%C1%AC", "play.swf"},
      {"Big5 by the response", "big5", "charset big5;", "",
       "\xB9\x43\xC0\xB8/\xB3\x73\xB3\x73\xAC\xDD.swf",
       "\xE9\x81\x8A\xE6\x88\xB2/\xE9\x80\xA3\xE9\x80\xA3\xE7\x9C\x8B.swf",
       "/big5/%E9%81%8A%E6%88%B2/%E9%80%A3%E9%80%A3%E7%9C%8B.swf",
       "\xE9\x80\xA3\xE9\x80\xA3\xE7\x9C\x8B.swf"},
      {"Shift_JIS by http-equiv", "sjis", "",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
       "\x83\x5C\x83\x74\x83\x67/\x95\x5C\x8E\xA6.swf",
       "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88/\xE8\xA1\xA8\xE7\xA4\xBA.swf",
       "/sjis/%E3%82%BD%E3%83%95%E3%83%88/%E8%A1%A8%E7%A4%BA.swf", "\xE8\xA1\xA8\xE7\xA4\xBA.swf"},
      {"UTF-8 with blanks", "utf8", "", "<meta charset=\"utf-8\">", "my game.swf?v=1 2",
       "my game.swf", "/utf8/my%20game.swf?v=1%202", "my game.swf"},
      {"no charset, UTF-8", "none", "", "", "\xE9\x9F\xB3\xE4\xB9\x90.swf",
       "\xE9\x9F\xB3\xE4\xB9\x90.swf", "/none/%E9%9F%B3%E4%B9%90.swf",
       "\xE9\x9F\xB3\xE4\xB9\x90.swf"},
      {"no charset, not UTF-8: GBK in the C locale", "nonegbk", "", "", "\xC1\xAC.swf",
       "\xE8\xBF\x9E.swf", "/nonegbk/%E8%BF%9E.swf", "\xE8\xBF\x9E.swf"},
      {"escaped already", "escaped", "", "", "a%20b%2Bc.swf", "a b+c.swf", "/escaped/a%20b%2Bc.swf",
       "a b+c.swf"},
  };
  NginxServer nginx;
  for (const auto& row : rows) {
    if (*row.Directives) nginx.AddLocation(std::string("/") + row.Location + "/", row.Directives);
    nginx.WriteFile(std::string(row.Location) + "/page.html",
                    "<html><head>" + row.Head + "</head><body><embed src=\"" + row.Written +
                        "\"></body></html>");
    nginx.WriteFile(std::string(row.Location) + "/" + row.File, row.Name);
  }
  nginx.Start();
  for (const auto& row : rows) {
    TempDir out;
    const ProgramResult r = RunCli(
        {"grab", "-d", out.Path(), nginx.Url(std::string("/") + row.Location + "/page.html")});
    EXPECT_EQ(r.ExitCode, 0) << row.Name << "\n" << r.Stdout << r.Stderr;
    EXPECT_TRUE(nginx.AccessLogHas("\"GET " + row.Target + " HTTP/1.1\" 200")) << row.Name << "\n"
                                                                               << nginx.AccessLog();
    EXPECT_EQ(ReadFileBytes(out.Path() + "/" + row.Saved), row.Name) << row.Name;
    // The line listed, given back, asks for the same file.
    const std::string listed = r.Stdout.substr(0, r.Stdout.find('\n'));
    TempDir again;
    const ProgramResult back = RunCli({"download", "-d", again.Path(), listed});
    EXPECT_EQ(back.ExitCode, 0) << row.Name << " " << listed << "\n" << back.Stdout;
    EXPECT_EQ(ReadFileBytes(again.Path() + "/" + row.Saved), row.Name) << row.Name;
  }
}

TEST(CliSaving, TwoGamesOfTheSameNameAreBothKept) {
  NginxServer nginx;
  nginx.WriteFile("portal.html", "<embed src=\"a/game.swf\"><embed src=\"b/game.swf\">");
  nginx.WriteFile("a/game.swf", "game a");
  nginx.WriteFile("b/game.swf", "game b");
  nginx.Start();
  const std::string site = "127.0.0.1_" + std::to_string(nginx.Port());
  const struct {
    const char* Layout;
    std::vector<std::string> Saved;  // after the two addresses listed
    std::vector<std::string> Files;
    std::string Second;  // the file of b/game.swf
  } rows[] = {
      {"flat",
       {"saved DIR/game.swf", "saved DIR/game (2).swf (another game.swf was saved in this run)"},
       {"game (2).swf", "game.swf"},
       "game (2).swf"},
      {"site",
       {"saved DIR/" + site + "/a/game.swf", "saved DIR/" + site + "/b/game.swf"},
       {site + "/a/game.swf", site + "/b/game.swf"},
       site + "/b/game.swf"},
  };
  for (const auto& row : rows) {
    TempDir out;
    const ProgramResult r =
        RunCli({"grab", "-d", out.Path(), "--layout", row.Layout, nginx.Url("/portal.html")});
    ASSERT_EQ(r.ExitCode, 0) << r.Stdout << r.Stderr;
    std::string expected = nginx.Url("/a/game.swf") + "\n" + nginx.Url("/b/game.swf") + "\n";
    for (std::string line : row.Saved)
      expected += line.replace(line.find("DIR"), 3, out.Path()) + "\n";
    EXPECT_EQ(r.Stdout, expected) << row.Layout;
    EXPECT_EQ(FilesBelow(out.Path()), row.Files) << row.Layout;
    EXPECT_EQ(ReadFileBytes(out.Path() + "/" + row.Second), "game b") << row.Layout;
  }
}

TEST(CliSaving, CompressedBodiesAreSavedAsTheFilesTheyHold) {
  NginxServer nginx;
  // Compressed whoever asks, as some servers do: a page and a movie stored gzipped.
  nginx.AddLocation("/always/", "gzip_static always;");
  nginx.AddLocation("= /movie.swf", "add_header Content-Encoding gzip;");
  nginx.AddLocation("= /odd.swf", "add_header Content-Encoding br;");
  nginx.AddLocation("/asked/", "gzip on; gzip_types *; gzip_min_length 0;");
  const std::string page = "<embed src=\"/movie.swf\">" + std::string(5000, ' ');
  nginx.WriteFile("always/page.html.gz", DeflatedBytes(page, 31));
  nginx.WriteFile("always/page.html", "not this one");
  nginx.WriteFile("asked/page.html", page);
  nginx.WriteFile("movie.swf", DeflatedBytes(RedSwfBytes(), 31));
  nginx.WriteFile("odd.swf", "brotli bytes");
  nginx.Start();

  TempDir out;
  for (const char* extra : {"", "--compressed"}) {
    std::vector<std::string> args = {"grab", "-d", out.Path(), nginx.Url("/always/page.html")};
    if (*extra) args = {"grab", extra, "-d", out.Path(), nginx.Url("/asked/page.html")};
    const ProgramResult r = RunCli(args);
    EXPECT_EQ(r.ExitCode, 0) << extra << r.Stdout << r.Stderr;
    EXPECT_EQ(r.Stdout, nginx.Url("/movie.swf") + "\nsaved " + out.Path() + "/movie.swf\n");
    EXPECT_EQ(ReadFileBytes(out.Path() + "/movie.swf"), RedSwfBytes()) << extra;
  }
  EXPECT_TRUE(nginx.AccessLogHas("GET /asked/page.html"));

  // A coding nobody can undo fails, and no file appears under the movie's name.
  const ProgramResult odd = RunCli({"download", "-d", out.Path(), nginx.Url("/odd.swf")});
  EXPECT_EQ(odd.ExitCode, 1);
  EXPECT_EQ(odd.Stdout, "failed " + nginx.Url("/odd.swf") +
                            ": ENetException: Content-Encoding \"br\" is not supported\n");
  EXPECT_EQ(FilesBelow(out.Path()), std::vector<std::string>{"movie.swf"});
}

TEST(CliSaving, TheMoviesOfAFrameAreListedAndAskedForFromTheFramesPage) {
  NginxServer nginx;
  nginx.WriteFile("portal.html",
                  "<iframe src=\"games/play.html\"></iframe><iframe src=\"gone.html\"></iframe>");
  nginx.WriteFile("games/play.html", "<embed src=\"game.swf\">");
  nginx.WriteFile("games/game.swf", "game");
  nginx.WriteFile("bare.html", "<p>none</p><iframe src=\"menu.html\"></iframe>");
  nginx.WriteFile("menu.html", "<p>menu</p>");
  nginx.Start();
  TempDir out;
  const ProgramResult r = RunCli({"grab", "-d", out.Path(), nginx.Url("/portal.html")});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, nginx.Url("/games/game.swf") + "\nsaved " + out.Path() + "/game.swf\n");
  EXPECT_EQ(r.Stderr,
            "flashgrab-cli: frame " + nginx.Url("/gone.html") + ": HTTP/1.1 404 Not Found\n");
  EXPECT_TRUE(
      nginx.AccessLogHas("GET /games/play.html HTTP/1.1\" 200 22 \"" + nginx.Url("/portal.html")))
      << nginx.AccessLog();
  EXPECT_TRUE(
      nginx.AccessLogHas("GET /games/game.swf HTTP/1.1\" 200 4 \"" + nginx.Url("/games/play.html")))
      << nginx.AccessLog();

  // A page without movies says what it found; --no-frames reads no frame.
  const struct {
    std::vector<std::string> Args;
    const char* Said;
  } rows[] = {
      {{"grab", nginx.Url("/bare.html")}, "no movies; 1 frame read, 0 movies in them"},
      {{"grab", "--no-frames", nginx.Url("/portal.html")},
       "no movies; 2 frames not read (--no-frames)"},
      {{"grab", nginx.Url("/menu.html")}, "no movies; no frames"},
  };
  for (const auto& row : rows) {
    const ProgramResult none = RunCli(row.Args);
    EXPECT_EQ(none.ExitCode, 0);
    EXPECT_EQ(none.Stdout, "");
    EXPECT_EQ(none.Stderr, std::string("flashgrab-cli: ") + row.Said + "\n");
  }
}

// A transfer that stops half-way, and one the user interrupts: nothing is left behind.
TEST(CliSaving, AStalledOrInterruptedTransferLeavesNoFile) {
  ScriptedPeer trickle([](PeerConnection& c) {
    // An interrupted client may be gone before its request.
    std::string head;
    if (!c.TryReceiveUntil("\r\n\r\n", &head)) return;
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n");
    c.SendGenerated(0, 100000);
    c.StaySilent(std::chrono::seconds(20));
  });
  TempDir out;
  out.WriteFile("big.swf", "the user's own");
  const auto started = std::chrono::steady_clock::now();
  const ProgramResult stalled =
      RunCli({"download", "--stall-timeout", "0.5", "-d", out.Path(), trickle.Url("/big.swf")});
  EXPECT_EQ(stalled.ExitCode, 1);
  EXPECT_EQ(stalled.Stdout,
            "failed " + trickle.Url("/big.swf") + ": ENetReadTimeout: Read Timeout\n");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(FilesBelow(out.Path()), std::vector<std::string>{"big.swf"});

  for (const int signal : {SIGINT, SIGTERM}) {
    ChildProcess download({kProgram, "download", "-d", out.Path(), trickle.Url("/big.swf")});
    download.Start();
    // Once the partial file is there, the signal comes.
    for (int i = 0; i < 200 && FilesBelow(out.Path()).size() < 2; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_EQ(FilesBelow(out.Path()).size(), 2u);
    ::kill(download.Pid(), signal);
    ASSERT_TRUE(download.WaitForExit(std::chrono::seconds(10)));
    EXPECT_EQ(download.ExitCode(), 128 + signal);
    EXPECT_EQ(FilesBelow(out.Path()), std::vector<std::string>{"big.swf"});
  }
  EXPECT_EQ(ReadFileBytes(out.Path() + "/big.swf"), "the user's own");
}

}  // namespace
