#include "rescue/download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/exception.h"
#include "base/net_exceptions.h"
#include "http/http.h"
#include "rescue/stored_client_settings.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/movie_page.h"
#include "tests/support/nginx_server.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Every entry below `folder`, relative, sorted.
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.push_back(fs::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ErrorClassOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.ClassName();
  }
  return "";
}

TEST(DownloadNames, TheFileNameIsTheTextAfterTheLastSlash) {
  const struct {
    const char* address;
    const char* name;
    bool usable;
  } cases[] = {
      {"http://h/movies/red.swf", "red.swf", true},
      {"http://h/play.php?f=a/b.swf", "b.swf", true},
      {"http://h/play.php?f=b.swf", "play.php?f=b.swf", true},
      {"http://h/a.swf#top", "a.swf#top", true},
      {"red.swf", "red.swf", true},
      {"|http://h/bar.swf|", "bar.swf|", true},
      {"http://h/movies/", "", false},
      {"http://h/movies/.", ".", false},
      {"http://h/movies/..", "..", false},
      {"", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlFileName(c.address), c.name) << c.address;
    EXPECT_EQ(UsableFileName(UrlFileName(c.address)), c.usable) << c.address;
  }
  EXPECT_FALSE(UsableFileName("a/b"));
  EXPECT_TRUE(UsableFileName("...swf"));
}

TEST(DownloadNames, TheDestinationIsTheFolderASlashAndTheName) {
  EXPECT_EQ(DestinationPath("/srv/out", "http://h/a/red.swf"), "/srv/out/red.swf");
  EXPECT_EQ(DestinationPath("/srv/out/", "http://h/red.swf"), "/srv/out//red.swf");
  // Every address gives a name that stays in the folder; no folder at all is refused.
  const struct {
    const char* Address;
    const char* Path;
  } rows[] = {
      {"http://h/a/red.swf", "/srv/out/red.swf"},
      {"http://h/g/my%20game.swf?clickTAG=http%3A%2F%2Fads#x", "/srv/out/my game.swf"},
      {"http://h/%E8%BF%9E%E8%BF%9E%E7%9C%8B.swf",
       "/srv/out/\xE8\xBF\x9E\xE8\xBF\x9E\xE7\x9C\x8B.swf"},
      {"http://h/a%3Fb%2Fc%5C%3A%2A%22%3C%3E%7C%01.swf", "/srv/out/a_b_c________.swf"},
      {"http://h/%C1%AC.swf", "/srv/out/%C1%AC.swf"},  // no UTF-8: escaped as it came
      {"http://h/a/", "/srv/out/index.swf"},
      {"http://h/a/%2E%2E", "/srv/out/__"},
      {"http://archive.example/web/2009id_/http://h/x/game.swf", "/srv/out/game.swf"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(CheckedDestinationPath("/srv/out", row.Address), row.Path) << row.Address;
  try {
    CheckedDestinationPath("", "http://h/red.swf");
    ADD_FAILURE() << "an empty output folder was accepted";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"/red.swf\". No output folder is set");
  }
}

class DownloadTest : public testing::Test {
 protected:
  DownloadTest() { ApplyStoredClientSettings(http_); }
  TNetHTTP http_;
  TempDir out_;
};

TEST_F(DownloadTest, MoviesAreSavedByteForByteIntoFoldersCreatedOnTheWay) {
  NginxServer nginx;
  nginx.WriteFile("movies/red.swf", RedSwfBytes());
  nginx.WriteGeneratedFile("movies/big.swf", 5 * 1024 * 1024 + 11);
  nginx.Start();
  const std::string folder = out_.Path() + "/one/two/three";
  DownloadFile(http_, nginx.Url("/movies/red.swf"), folder + "/red.swf");
  EXPECT_EQ(RedSwfBytes().size(), 30u);
  EXPECT_EQ(ReadFileBytes(folder + "/red.swf"), RedSwfBytes());
  // Each file ends its connection.
  EXPECT_FALSE(http_.IsConnected());
  DownloadFile(http_, nginx.Url("/movies/big.swf"), folder + "/big.swf");
  EXPECT_TRUE(FileHoldsGeneratedBytes(folder + "/big.swf", 5 * 1024 * 1024 + 11));
  EXPECT_EQ(Tree(out_.Path()),
            (std::vector<std::string>{"one", "one/two", "one/two/three", "one/two/three/big.swf",
                                      "one/two/three/red.swf"}));
  EXPECT_EQ(fs::status(folder + "/red.swf").permissions() & fs::perms::others_read,
            fs::perms::others_read);
}

TEST_F(DownloadTest, ALaterFileOfTheSameNameReplacesTheEarlierOne) {
  RecordingPeer peer([](int n, const RequestHead& head) {
    return PeerAnswer{HttpResponse(200, "OK", {}, head.Target + " #" + std::to_string(n))};
  });
  const std::string path = out_.Path() + "/movie.swf";
  DownloadFile(http_, peer.Url("/a/movie.swf"), path);
  EXPECT_EQ(ReadFileBytes(path), "/a/movie.swf #0");
  DownloadFile(http_, peer.Url("/b/movie.swf"), path);
  EXPECT_EQ(ReadFileBytes(path), "/b/movie.swf #1");
  EXPECT_EQ(Tree(out_.Path()), std::vector<std::string>{"movie.swf"});
  // The download client keeps its stored agent and sends no Referer.
  for (const RequestHead& head : peer.Heads()) {
    EXPECT_EQ(head.Header("User-Agent"), "Mozilla/3.0 (compatible; Net Library)");
    EXPECT_EQ(head.HeaderCount("Referer"), 0);
  }
}

// A transfer that fails leaves the file the user had, and nothing else.
TEST_F(DownloadTest, AFailedTransferLeavesTheEarlierFileIntactAndNoTemporaryFile) {
  const struct {
    const char* name;
    PeerAnswer answer;
    const char* errorClass;
  } cases[] = {
      {"close before the declared length",
       {"HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + GeneratedBytes(0, 70000), true},
       "ENetConnClosedGracefully"},
      {"chunked body cut off",
       {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n400\r\n" + std::string(1024, 'x') +
            "\r\n400\r\nxx",
        true},
       "ENetConnClosedGracefully"},
      {"not found",
       {HttpResponse(404, "Not Found", {}, "<h1>404</h1>")},
       "ENetHTTPProtocolException"},
      {"redirection",
       {HttpResponse(302, "Found", {"Location: /other.swf"}, "moved")},
       "ENetHTTPProtocolException"},
  };
  for (const auto& c : cases) {
    RecordingPeer peer(AlwaysAnswer(c.answer.Bytes, c.answer.Close));
    TempDir out;
    const std::string path = out.WriteFile("red.swf", "the user's own movie");
    TNetHTTP http;
    ApplyStoredClientSettings(http);
    EXPECT_EQ(ErrorClassOf([&] { DownloadFile(http, peer.Url("/movies/red.swf"), path); }),
              c.errorClass)
        << c.name;
    EXPECT_EQ(ReadFileBytes(path), "the user's own movie") << c.name;
    EXPECT_EQ(Tree(out.Path()), std::vector<std::string>{"red.swf"}) << c.name;
    EXPECT_EQ(peer.RequestCount(), 1) << c.name;
  }
}

TEST_F(DownloadTest, UnusablePathsAreRefusedBeforeAnythingIsCreated) {
  RecordingPeer peer(AlwaysAnswer(HttpResponse(200, "OK", {}, "body")));
  for (const char* name : {"", ".", ".."}) {
    const std::string path = out_.Path() + "/new/" + name;
    EXPECT_EQ(ErrorClassOf([&] { DownloadFile(http_, peer.Url("/x.swf"), path); }), "EFCreateError")
        << path;
  }
  EXPECT_TRUE(Tree(out_.Path()).empty());
  EXPECT_EQ(peer.RequestCount(), 0);
}

TEST_F(DownloadTest, AFolderThatCannotBeMadeOrADestinationThatIsAFolderFails) {
  RecordingPeer peer(AlwaysAnswer(HttpResponse(200, "OK", {}, "body")));
  out_.WriteFile("plain", "a file where a folder should be");
  EXPECT_EQ(
      ErrorClassOf([&] { DownloadFile(http_, peer.Url("/x.swf"), out_.Path() + "/plain/x.swf"); }),
      "EFCreateError");
  fs::create_directory(out_.Path() + "/x.swf");
  EXPECT_EQ(ErrorClassOf([&] { DownloadFile(http_, peer.Url("/x.swf"), out_.Path() + "/x.swf"); }),
            "EFCreateError");
  EXPECT_EQ(Tree(out_.Path()), (std::vector<std::string>{"plain", "x.swf"}));
  EXPECT_TRUE(fs::is_directory(out_.Path() + "/x.swf"));
}

}  // namespace
