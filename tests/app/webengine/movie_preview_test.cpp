// The preview plays the clicked movie in the pane: grabbed from a local page, fetched through
// the window's preview client, served from the pane's own origin and drawn by the player.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/movie_preview.h"
#include "app/preview_origin.h"
#include "app/web_browser.h"
#include "rescue/preview_movie.h"
#include "tests/app/window_fixture.h"
#include "tests/support/movie_page.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scripted_peer.h"

namespace {

using namespace std::chrono_literals;

// The stage of red.swf (400 x 300) letterboxed into the 368 x 369 pane: 368 x 276 from y 46.
const QPoint kStagePoints[] = {{184, 184}, {20, 60}, {348, 60}, {20, 308}, {348, 308}};

bool IsStageRed(const QColor& c) {
  return std::abs(c.red() - 220) <= 12 && std::abs(c.green() - 30) <= 12 &&
         std::abs(c.blue() - 30) <= 12;
}

bool WaitFor(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QTest::qWait(50);
  }
  return true;
}

QImage PaneImage(TFrmPelmar& w) {
  return w.WebBrowser1->grab().toImage();
}

bool StageIsRed(TFrmPelmar& w) {
  const QImage image = PaneImage(w);
  for (const QPoint& p : kStagePoints)
    if (!IsStageRed(image.pixelColor(p))) return false;
  return true;
}

// The text the pane's page shows.
QString PaneText(TFrmPelmar& w) {
  QWebEngineView* view = w.WebBrowser1->View();
  if (!view) return {};
  QString text;
  bool answered = false;
  view->page()->toPlainText([&](const QString& t) {
    text = t;
    answered = true;
  });
  WaitFor([&] { return answered; }, 2000);
  return text;
}

class MoviePreviewTest : public WindowTest {
 protected:
  // Grabs a page of nginx that names `movies` (paths below /movies/) and returns the window.
  TFrmPelmar& GrabPage(const std::vector<std::string>& addresses) {
    std::string page = "<html><body>\n";
    for (const std::string& a : addresses)
      page += "<embed src=\"" + a + "\">\n";
    nginx_.WriteFile("page.html", page + "</body></html>\n");
    TFrmPelmar& w = Shown();
    w.sourceUrl->setText(QString::fromStdString(nginx_.Url("/page.html")));
    QTest::mouseClick(w.stratBtn, Qt::LeftButton);
    EXPECT_EQ(w.ListBox1->count(), static_cast<int>(addresses.size()));
    return w;
  }
  void ClickRow(TFrmPelmar& w, const std::string& address) {
    const auto rows = w.ListBox1->findItems(QString::fromStdString(address), Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1) << address;
    QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {},
                      w.ListBox1->visualItemRect(rows[0]).center());
    QApplication::processEvents();
    EXPECT_EQ(w.swfUrlPathTxt->text().toStdString(), address);
  }

  NginxServer nginx_;
};

TEST_F(MoviePreviewTest, AClickPlaysTheMovieAndABrokenAddressShowsItsMessage) {
  nginx_.WriteFile("movies/red.swf", RedSwfBytes());
  // Sparse: over the bound without taking the disk space.
  const std::string big = nginx_.Root() + "/movies/big.swf";
  std::filesystem::create_directories(nginx_.Root() + "/movies");
  { std::ofstream(big, std::ios::binary); }
  std::filesystem::resize_file(big, kPreviewMovieLimit + 1);
  nginx_.Start();
  const std::string red = nginx_.Url("/movies/red.swf");
  const std::string missing = nginx_.Url("/movies/missing.swf");
  const std::string over = nginx_.Url("/movies/big.swf");
  TFrmPelmar& w = GrabPage({red, missing, over});
  EXPECT_EQ(w.WebBrowser1->View(), nullptr);  // the engine starts with the first preview

  ClickRow(w, red);
  ASSERT_NE(w.WebBrowser1->View(), nullptr);
  EXPECT_TRUE(WaitFor([&] { return StageIsRed(w); }, 20000)) << PaneText(w).toStdString();
  // The movie came through the window's client, sent from the grabbed page.
  EXPECT_NE(nginx_.AccessLog().find("GET /movies/red.swf HTTP/1.1\" 200 30 \"" +
                                    nginx_.Url("/page.html") + "\""),
            std::string::npos)
      << nginx_.AccessLog();

  ClickRow(w, missing);
  EXPECT_TRUE(WaitFor([&] { return PaneText(w) == "HTTP/1.1 404 Not Found"; }, 10000))
      << PaneText(w).toStdString();
  EXPECT_FALSE(IsStageRed(PaneImage(w).pixelColor(kStagePoints[0])));

  ClickRow(w, over);
  EXPECT_TRUE(WaitFor(
      [&] { return PaneText(w) == "The movie is larger than 256 MiB; it is not previewed."; },
      10000))
      << PaneText(w).toStdString();
  // nginx logs the bytes it sent: far fewer than the movie has.
  const std::string log = nginx_.AccessLog();
  const size_t at = log.find("GET /movies/big.swf HTTP/1.1\" 200 ");
  ASSERT_NE(at, std::string::npos) << log;
  const long long sent = std::stoll(log.substr(at + 34));
  EXPECT_LT(sent, kPreviewMovieLimit / 2) << log;
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(MoviePreviewTest, AClickOnAnotherRowAbandonsTheRunningFetchAndClosesItsConnection) {
  std::atomic<bool> closedByClient{false};
  std::atomic<bool> asked{false};
  ScriptedPeer trickle([&closedByClient, &asked](PeerConnection& c) {
    c.ReceiveUntil("\r\n\r\n");
    asked = true;
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nFWS");
    for (int i = 0; i < 400; ++i) {
      if (!c.Send("x")) return;
      if (c.WaitForClose(50ms)) {
        closedByClient = true;
        return;
      }
    }
  });
  nginx_.WriteFile("movies/red.swf", RedSwfBytes());
  nginx_.Start();
  const std::string slow = trickle.Url("/movies/slow.swf");
  const std::string red = nginx_.Url("/movies/red.swf");
  TFrmPelmar& w = GrabPage({slow, red});

  ClickRow(w, slow);
  // The connect runs on a thread of its own: the request follows it a moment later.
  ASSERT_TRUE(WaitFor([&] { return asked.load(); }, 5000));
  EXPECT_TRUE(w.Preview()->Fetching());
  ClickRow(w, red);
  EXPECT_TRUE(WaitFor([&] { return closedByClient.load(); }, 3000));
  EXPECT_TRUE(WaitFor([&] { return StageIsRed(w); }, 20000)) << PaneText(w).toStdString();
  EXPECT_FALSE(w.Preview()->Fetching());
  EXPECT_EQ(trickle.ConnectionCount(), 1);
  EXPECT_TRUE(trickle.Failures().empty());
  EXPECT_TRUE(CapturedReports().empty());
}

}  // namespace
