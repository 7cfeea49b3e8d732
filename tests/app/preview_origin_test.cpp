// The pane's origin: what each address answers, and the same over a real connection.
#include "app/preview_origin.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <functional>
#include <future>
#include <string>

#include "tests/app/window_fixture.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/http_text.h"
#include "tests/support/tcp_channel.h"
#include "tests/support/temp_dir.h"

namespace {

struct Answer {
  int status;
  std::string type;
  std::string body;
};

Answer Ask(TPreviewOrigin& origin, const std::string& target) {
  const TPreviewReply reply = origin.Respond(QByteArray::fromStdString(target));
  return {reply.Status, reply.ContentType.toStdString(), reply.Body ? *reply.Body : ""};
}

class PreviewOriginTest : public testing::Test {
 protected:
  void SetUp() override {
    player_.WriteFile("ruffle.js", "/* player */");
    player_.WriteFile("core.ruffle.abc.js", "/* core */");
    player_.WriteFile("0123abcd.wasm", std::string("\0asm", 4));
    player_.WriteFile("notes.txt", "not served");
  }
  std::string Root() const { return origin_.Root().toStdString(); }

  TempDir player_;
  TPreviewOrigin origin_{QString::fromStdString(player_.Path() + "/")};
};

TEST_F(PreviewOriginTest, EachAddressAnswersWithItsContentTypeAndEverythingElseIsNotFound) {
  const std::string movie = GeneratedBytes(0, 70000);
  origin_.ShowMovie(3, movie);
  const std::string r = Root();
  ASSERT_EQ(r.size(), 34u);  // "/" + 32 hexadecimal digits + "/"
  struct Row {
    std::string target;
    int status;
    std::string type;
    std::string body;  // "*" for any
  } rows[] = {
      {r + "3.html", 200, "text/html; charset=utf-8", "*"},
      {r + "3.swf", 200, "application/x-shockwave-flash", movie},
      {r + "player/ruffle.js", 200, "text/javascript; charset=utf-8", "/* player */"},
      {r + "player/core.ruffle.abc.js", 200, "text/javascript; charset=utf-8", "/* core */"},
      {r + "player/0123abcd.wasm", 200, "application/wasm", std::string("\0asm", 4)},
      // Only the player's kinds of file, by plain name, from its folder.
      {r + "player/notes.txt", 404, "*", "*"},
      {r + "player/missing.js", 404, "*", "*"},
      {r + "player/../ruffle.js", 404, "*", "*"},
      {r + "player/.hidden.js", 404, "*", "*"},
      {r + "player/sub/ruffle.js", 404, "*", "*"},
      // Another generation, or another root: nothing.
      {r + "2.html", 404, "*", "*"},
      {r + "2.swf", 404, "*", "*"},
      {r + "3.html?x", 404, "*", "*"},
      {"/ruffle.js", 404, "*", "*"},
      {"/player/ruffle.js", 404, "*", "*"},
      {"/0123456789abcdef0123456789abcdef/3.swf", 404, "*", "*"},
      {"/", 404, "*", "*"},
  };
  for (const Row& row : rows) {
    const Answer got = Ask(origin_, row.target);
    EXPECT_EQ(got.status, row.status) << row.target;
    if (row.type != "*") {
      EXPECT_EQ(got.type, row.type) << row.target;
    }
    if (row.body != "*") {
      EXPECT_TRUE(got.body == row.body) << row.target;
    }
  }
  // The player page loads the player and then this movie, relative to the page.
  const std::string page = Ask(origin_, r + "3.html").body;
  EXPECT_NE(page.find("<script src=\"player/ruffle.js\"></script>"), std::string::npos) << page;
  EXPECT_NE(page.find("player.load({url:\"3.swf\"})"), std::string::npos) << page;
  EXPECT_NE(page.find("overflow:hidden"), std::string::npos) << page;
  EXPECT_NE(
      page.find("autoplay:\"on\",unmuteOverlay:\"hidden\",splashScreen:false,letterbox:\"on\""),
      std::string::npos)
      << page;
}

TEST_F(PreviewOriginTest, APageShowsLoadingTheMovieOrItsMessage) {
  const std::string r = Root();
  struct Row {
    std::function<void()> show;
    std::string contains;
    bool movieServed;
  } rows[] = {
      {[&] { origin_.ShowLoading(1); }, "正在载入影片…", false},
      {[&] { origin_.ShowMessage(1, QStringLiteral("HTTP/1.1 404 <Not> & Found")); },
       "<div id=\"message\">HTTP/1.1 404 &lt;Not&gt; &amp; Found</div>", false},
      {[&] { origin_.ShowMovie(1, "FWS"); }, "player.load", true},
      {[&] { origin_.ShowLoading(1); }, "正在载入影片…", false},
  };
  for (const Row& row : rows) {
    row.show();
    const Answer page = Ask(origin_, r + "1.html");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find(row.contains), std::string::npos) << page.body;
    EXPECT_EQ(Ask(origin_, r + "1.swf").status, row.movieServed ? 200 : 404) << row.contains;
  }
}

TEST_F(PreviewOriginTest, WithoutThePlayerTheMoviePageSaysSo) {
  TempDir empty;
  TPreviewOrigin origin(QString::fromStdString(empty.Path() + "/"));
  origin.ShowMovie(1, "FWS");
  const Answer page = Ask(origin, origin.Root().toStdString() + "1.html");
  EXPECT_NE(
      page.body.find("The player is not installed: " + empty.Path() + "/ruffle.js is missing."),
      std::string::npos)
      << page.body;
}

// A request over loopback, answered while this thread runs the event loop.
std::string Exchange(int port, const std::string& request) {
  auto reply = std::async(std::launch::async, [port, request] {
    auto channel = TcpChannel::Connect(port);
    channel->Send(request);
    return channel->ReceiveUntilClosed();
  });
  QElapsedTimer clock;
  clock.start();
  while (reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
         clock.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  return reply.get();
}

TEST_F(PreviewOriginTest, OverLoopbackEachAnswerIsCompleteAndTheConnectionCloses) {
  origin_.Start();
  ASSERT_TRUE(origin_.Listening());
  const int port = origin_.Port();
  EXPECT_EQ(origin_.PageUrl(5),
            QString("http://127.0.0.1:%1%2").arg(port).arg(QString::fromLatin1(origin_.Root())) +
                "5.html");
  const std::string movie = GeneratedBytes(0, 3 * 1024 * 1024 + 17);
  origin_.ShowMovie(5, movie);
  struct Row {
    std::string request;
    std::string expectedHead;
    std::string body;
  } rows[] = {
      {"GET " + Root() + "5.swf HTTP/1.1\r\nHost: x\r\n\r\n",
       "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\nContent-Length: " +
           std::to_string(movie.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n",
       movie},
      {"GET " + Root() + "player/0123abcd.wasm HTTP/1.1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nContent-Type: application/wasm\r\nContent-Length: 4\r\n"
       "Cache-Control: max-age=3600\r\nConnection: close\r\n\r\n",
       std::string("\0asm", 4)},
      {"GET /elsewhere HTTP/1.1\r\n\r\n",
       "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 9\r\n"
       "Cache-Control: no-store\r\nConnection: close\r\n\r\n",
       "Not found"},
      {"POST " + Root() + "5.swf HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
       "HTTP/1.1 405 Method Not Allowed\r\nContent-Type: text/plain; charset=utf-8\r\n"
       "Content-Length: 0\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n",
       ""},
      {"nonsense\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain; charset=utf-8\r\n"
       "Content-Length: 0\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n",
       ""},
  };
  for (const Row& row : rows) {
    const std::string got = Exchange(port, row.request);
    EXPECT_EQ(got.substr(0, row.expectedHead.size()), row.expectedHead) << row.request;
    EXPECT_TRUE(got.substr(std::min(got.size(), row.expectedHead.size())) == row.body)
        << row.request << " gave " << got.size() << " bytes";
  }
  origin_.Close();
  EXPECT_FALSE(origin_.Listening());
  EXPECT_THROW(TcpChannel::Connect(port), ChannelError);
}

}  // namespace
