// A grab or download that takes a while, through the window: the window keeps handling its
// events, shows how far the file has come, refuses a second transfer, and stops on request.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/auto_size_label.h"
#include "app/web_browser.h"
#include "http/http.h"
#include "tests/app/window_fixture.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr size_t kMovieSize = 240 * 1024;
constexpr size_t kPiece = 8 * 1024;
// 30 pieces: about one and a half seconds for the whole movie.
constexpr milliseconds kPause{50};

// Serves every request with the movie, piece by piece; notes when the client went away early.
class SlowMovie {
 public:
  explicit SlowMovie(bool withLength)
      : peer_([this, withLength](PeerConnection& c) {
          std::string head;
          if (!c.TryReceiveUntil("\r\n\r\n", &head)) return;
          const std::string response =
              withLength
                  ? "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kMovieSize) + "\r\n\r\n"
                  : std::string("HTTP/1.0 200 OK\r\n\r\n");
          if (!c.Send(response) || !c.SendInPieces(GeneratedBytes(0, kMovieSize), kPiece, kPause))
            Cut = true;
          if (!withLength) c.Close();
        }) {}
  std::string Url(const std::string& path) const { return peer_.Url(path); }
  ScriptedPeer& Peer() { return peer_; }
  std::atomic<bool> Cut{false};

 private:
  ScriptedPeer peer_;
};

// What the window looked like at one tick of the test's timer.
struct Sample {
  qint64 atMs;
  int value;
  int maximum;
  QString count;
  bool grabEnabled, downEnabled, listEnabled, stopEnabled;
  QString status, countTip;
};

class TransferWindowTest : public WindowTest {
 protected:
  std::string OutFolder() const { return out_.Path() + "/movies"; }

  // Clicks `button` with a timer of 50 ms running; `onTick` may act on the window.
  void ClickSampling(TFrmPelmar& w, QPushButton* button,
                     const std::function<void(const Sample&)>& onTick = nullptr) {
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setInterval(50);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      samples_.push_back({clock.elapsed(), w.ProgressBar1->value(), w.ProgressBar1->maximum(),
                          w.findChild<QLabel*>("ByteCount1")->text(), w.stratBtn->isEnabled(),
                          w.DownBtn->isEnabled(), w.ListBox1->isEnabled(), w.StopBtn->isEnabled(),
                          w.Label1->Caption(), w.findChild<QLabel*>("ByteCount1")->toolTip()});
      if (onTick) onTick(samples_.back());
    });
    clock.start();
    ticker.start();
    QTest::mouseClick(button, Qt::LeftButton);
    ticker.stop();
    elapsed_ms_ = clock.elapsed();
  }

  void Offer(TFrmPelmar& w, const std::vector<std::string>& addresses) {
    w.outPath.Assign(OutFolder());
    for (const std::string& address : addresses)
      w.ListBox1->addItem(QString::fromStdString(address));
    w.ListBox1->selectAll();
  }

  void ExpectUsableAgain(TFrmPelmar& w) {
    EXPECT_TRUE(w.stratBtn->isEnabled());
    EXPECT_TRUE(w.DownBtn->isEnabled());
    EXPECT_TRUE(w.ListBox1->isEnabled());
    EXPECT_FALSE(w.StopBtn->isEnabled());
  }

  TempDir out_;
  std::vector<Sample> samples_;
  qint64 elapsed_ms_ = 0;
};

TEST_F(TransferWindowTest, ASlowDownloadKeepsTheWindowAliveAndShowsItsProgress) {
  for (const bool withLength : {true, false}) {
    SCOPED_TRACE(withLength ? "with a length" : "until the close");
    samples_.clear();
    SlowMovie movie(withLength);
    TFrmPelmar& w = Shown();
    Offer(w, {movie.Url("/movies/slow.swf")});
    EXPECT_FALSE(w.StopBtn->isEnabled());

    ClickSampling(w, w.DownBtn);

    EXPECT_TRUE(FileHoldsGeneratedBytes(OutFolder() + "/slow.swf", kMovieSize));
    EXPECT_EQ(w.Label1->Caption(), U("下载成功  "));
    ASSERT_GE(elapsed_ms_, 1000);
    // The timer kept its schedule: the event loop ran all along.
    ASSERT_GE(samples_.size(), 10u);
    qint64 longestGap = samples_[0].atMs;
    for (size_t i = 1; i < samples_.size(); ++i)
      longestGap = std::max(longestGap, samples_[i].atMs - samples_[i - 1].atMs);
    EXPECT_LT(longestGap, 300);
    EXPECT_GT(samples_.back().atMs, elapsed_ms_ - 300);
    for (const Sample& s : samples_) {
      EXPECT_FALSE(s.grabEnabled || s.downEnabled || s.listEnabled) << s.atMs;
      EXPECT_TRUE(s.stopEnabled) << s.atMs;
      // Which file of how many, and how fast.
      EXPECT_EQ(s.status, U("正在下载 1/1  slow.swf")) << s.atMs;
    }
    const QString rate = samples_.back().countTip;
    EXPECT_TRUE(rate.contains("/s")) << rate.toStdString();
    EXPECT_EQ(rate.contains(" left"), withLength) << rate.toStdString();
    if (withLength) {
      for (size_t i = 1; i < samples_.size(); ++i)
        EXPECT_LE(samples_[i - 1].value, samples_[i].value) << samples_[i].atMs;
      EXPECT_LT(samples_.front().value, 300);
      EXPECT_GT(samples_.back().value, 700);
      EXPECT_EQ(w.ProgressBar1->value(), 1000);
    } else {
      // No length: a busy bar, and the bytes so far.
      EXPECT_EQ(samples_.back().maximum, 0);
      EXPECT_FALSE(samples_.back().count.isEmpty());
    }
    ExpectUsableAgain(w);
    EXPECT_TRUE(CapturedFailures().empty());
    EXPECT_TRUE(CapturedReports().empty());
    window_.reset();
    fs::remove_all(OutFolder());
  }
}

TEST_F(TransferWindowTest, StopEndsTheRunAndLeavesTheOlderFileAsItWas) {
  SlowMovie movie(true);
  TFrmPelmar& w = Shown();
  out_.WriteFile("movies/slow.swf", "older file");
  Offer(w, {movie.Url("/movies/slow.swf"), movie.Url("/movies/next.swf")});

  bool clicked = false;
  ClickSampling(w, w.DownBtn, [&](const Sample& s) {
    if (!clicked && s.value > 0) {
      clicked = true;
      QTest::mouseClick(w.StopBtn, Qt::LeftButton);
    }
  });

  ASSERT_TRUE(clicked);
  EXPECT_LT(elapsed_ms_, 1000);
  EXPECT_EQ(w.Label1->Caption(), U("已停止  "));
  // No temporary file, the older one untouched, and the second row never asked for.
  EXPECT_EQ(FileNamesIn(OutFolder()), std::vector<std::string>{"slow.swf"});
  EXPECT_EQ(ReadFileBytes(OutFolder() + "/slow.swf"), "older file");
  EXPECT_TRUE(movie.Peer().WaitUntilIdle());
  EXPECT_EQ(movie.Peer().ConnectionCount(), 1);
  EXPECT_TRUE(movie.Cut);
  EXPECT_FALSE(w.UdownFileHttp->IsConnected());
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_TRUE(CapturedReports().empty());
  ExpectUsableAgain(w);

  // The next run is not stopped by the old request.
  w.ListBox1->clearSelection();
  w.ListBox1->item(1)->setSelected(true);
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_TRUE(FileHoldsGeneratedBytes(OutFolder() + "/next.swf", kMovieSize));
  EXPECT_EQ(w.Label1->Caption(), U("下载成功  "));
}

TEST_F(TransferWindowTest, ASecondTransferCannotStartWhileOneRuns) {
  SlowMovie movie(true);
  TFrmPelmar& w = Shown();
  Offer(w, {movie.Url("/movies/slow.swf")});
  w.swfUrlPathTxt->setText(QString::fromStdString(movie.Url("/movies/other.swf")));
  int tries = 0;
  ClickSampling(w, w.DownBtn, [&](const Sample&) {
    if (tries++ != 3) return;
    // The handlers themselves refuse, whatever reaches them.
    w.DownBtnClick();
    w.stratBtnClick();
    QKeyEvent ctrlD(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier, QStringLiteral("\x04"));
    w.ListBox1KeyPress(w.ListBox1, ctrlD);
    QTest::mouseClick(w.StopBtn, Qt::LeftButton);
  });
  EXPECT_EQ(movie.Peer().ConnectionCount(), 1);
  EXPECT_EQ(w.Label1->Caption(), U("已停止  "));
  EXPECT_EQ(w.ListBox1->count(), 1);
}

TEST_F(TransferWindowTest, ClosingDuringADownloadStopsItThenClosesAndWritesTheSettings) {
  SlowMovie movie(true);
  TFrmPelmar& w = Shown();
  Offer(w, {movie.Url("/movies/slow.swf")});
  fs::remove(SettingName());
  bool closed = false;
  ClickSampling(w, w.DownBtn, [&](const Sample& s) {
    if (closed || s.value == 0) return;
    closed = true;
    EXPECT_FALSE(w.close());  // refused for now: the transfer stops first
  });
  ASSERT_TRUE(closed);
  EXPECT_LT(elapsed_ms_, 1000);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.SwfUrlList(), nullptr);  // the close handler ran
  ASSERT_TRUE(fs::exists(SettingName()));
  EXPECT_NE(ReadFileBytes(SettingName()).find(OutFolder()), std::string::npos);
  EXPECT_TRUE(FileNamesIn(OutFolder()).empty());
  EXPECT_TRUE(movie.Peer().WaitUntilIdle());
  EXPECT_TRUE(movie.Cut);
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(TransferWindowTest, StopEndsAGrab) {
  SlowMovie page(false);
  TFrmPelmar& w = Shown();
  w.sourceUrl->setText(QString::fromStdString(page.Url("/page.html")));
  bool clicked = false;
  ClickSampling(w, w.stratBtn, [&](const Sample& s) {
    if (!clicked && !s.count.isEmpty()) {
      clicked = true;
      QTest::mouseClick(w.StopBtn, Qt::LeftButton);
    }
  });
  ASSERT_TRUE(clicked);
  EXPECT_LT(elapsed_ms_, 1000);
  EXPECT_EQ(w.Label1->Caption(), U("已停止  "));
  EXPECT_EQ(w.ListBox1->count(), 0);
  ExpectUsableAgain(w);
  EXPECT_TRUE(CapturedReports().empty());
}

}  // namespace
