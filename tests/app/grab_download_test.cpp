// The grab and the download driven through the window's controls, against nginx and scripted
// peers on loopback. Nothing here shows a row in the preview pane, so no browser is created.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/auto_size_label.h"
#include "app/download_failure.h"
#include "app/row_state_delegate.h"
#include "app/web_browser.h"
#include "http/http.h"
#include "rescue/transfer_progress.h"
#include "tests/app/window_fixture.h"
#include "tests/support/free_port.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/movie_page.h"
#include "tests/support/movie_writer.h"
#include "tests/support/nginx_server.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kBigSize = 3 * 1024 * 1024 + 5;

QString Q(const std::string& bytes) {
  return QString::fromStdString(bytes);
}

std::vector<std::string> Rows(const QListWidget* list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list->count(); ++i)
    rows.push_back(list->item(i)->text().toStdString());
  return rows;
}

// The captions a label had each time it was painted.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(TAutoSizeLabel* label) : label_(label) { label->installEventFilter(this); }
  std::vector<QString> Captions;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == label_ && event->type() == QEvent::Paint) Captions.push_back(label_->Caption());
    return false;
  }

 private:
  TAutoSizeLabel* label_;
};

class GrabWindowTest : public WindowTest {
 protected:
  // nginx with the test page at /page.html and its loopback movies (play.php is missing).
  void ServeMovies() {
    nginx_.Start();
    origin_ = nginx_.Url("");
    nginx_.WriteFile("page.html", MoviePage(origin_));
    nginx_.WriteFile("empty.html", "<html><body>no movies here</body></html>");
    nginx_.WriteFile("movies/red.swf", RedSwfBytes());
    nginx_.WriteGeneratedFile("movies/big.swf", kBigSize);
    nginx_.WriteFile("movies/one.swf", "movie one");
    nginx_.WriteFile("movies/two.swf", "movie two");
  }

  void Grab(TFrmPelmar& w, const std::string& address) {
    w.sourceUrl->clear();
    QTest::keyClicks(w.sourceUrl, Q(address));
    QTest::mouseClick(w.stratBtn, Qt::LeftButton);
  }

  void Select(TFrmPelmar& w, const std::vector<std::string>& addresses) {
    for (const std::string& address : addresses) {
      const auto items = w.ListBox1->findItems(Q(address), Qt::MatchExactly);
      ASSERT_EQ(items.size(), 1) << address;
      items[0]->setSelected(true);
    }
  }

  // The output folder, not there yet: the download makes it.
  std::string OutFolder() const { return out_.Path() + "/saved/movies"; }

  void TearDown() override {
    if (window_) {
      QApplication::processEvents();
      EXPECT_EQ(window_->WebBrowser1->View(), nullptr);
    }
    WindowTest::TearDown();
  }

  NginxServer nginx_;
  std::string origin_;
  TempDir out_;
};

TEST_F(GrabWindowTest, AGrabListsThePagesMoviesSortedWithTheirCount) {
  ServeMovies();
  TFrmPelmar& w = Shown();
  w.ListBox1->addItems({"old row 1", "old row 2"});
  w.ListBox1->item(1)->setSelected(true);
  w.swfUrlPathTxt->setText("shown before");

  Grab(w, nginx_.Url("/page.html"));

  const std::vector<std::string> rows = Rows(w.ListBox1);
  std::vector<std::string> expected = MoviePageReaderEntries(origin_);
  std::vector<std::string> sorted = w.SwfUrlList()->Strings();
  std::sort(sorted.begin(), sorted.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted, expected);
  // In ascending order of the locale's collation, letter case ignored; names that differ only
  // in case are files of their own, side by side.
  QCollator collator(QLocale::system());
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  for (size_t i = 1; i < rows.size(); ++i) {
    const int order = collator.compare(Q(rows[i - 1]), Q(rows[i]));
    EXPECT_TRUE(order < 0 || (order == 0 && rows[i - 1] < rows[i]))
        << rows[i - 1] << " " << rows[i];
  }
  EXPECT_EQ(w.Label1->Caption(), U("总数19   "));
  // Each row shows its address decoded for reading.
  std::vector<std::string> shown = w.SwfUrlList()->Strings();
  for (std::string& address : shown)
    if (address == "http://space.example/my%20movie.swf")
      address = "http://space.example/my movie.swf";
  EXPECT_EQ(shown, rows);
  EXPECT_TRUE(w.ListBox1->selectedItems().isEmpty());
  // A grab leaves the address field alone.
  EXPECT_EQ(w.swfUrlPathTxt->text(), "shown before");

  // The page client now sends the page agent and, next time, this page as Referer; the
  // download client keeps its stored settings.
  EXPECT_EQ(w.NetHTTP1->Request.UserAgent,
            "Mozilla/4.0 (compatible; MSIE 6.0; Windows 98; Maxthon)");
  EXPECT_EQ(w.NetHTTP1->Request.Referer, nginx_.Url("/page.html"));
  EXPECT_EQ(w.UdownFileHttp->Request.UserAgent, "Mozilla/3.0 (compatible; Net Library)");
  EXPECT_EQ(w.UdownFileHttp->Request.Referer, "");

  // A page without movies says what it did find.
  Grab(w, nginx_.Url("/empty.html"));
  EXPECT_EQ(w.ListBox1->count(), 0);
  EXPECT_EQ(w.Label1->Caption(), U("总数0，无框架页  "));
  EXPECT_EQ(w.Label1->toolTip(), "no movies; no frames");
  EXPECT_TRUE(CapturedReports().empty());
  EXPECT_TRUE(CapturedFailures().empty());
}

TEST_F(GrabWindowTest, RelativeReferencesAreListedAbsoluteAndDownloadsNameThePage) {
  // The movies refuse requests that do not come from the page, as hotlink protection does.
  nginx_.AddLocation("/games/swf/",
                     "valid_referers ~/games/play\\.html$; if ($invalid_referer) { return 403; }");
  nginx_.Start();
  origin_ = nginx_.Url("");
  nginx_.WriteFile("games/play.html",
                   "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\">"
                   "<param name=\"movie\" value=\"swf/intro.swf?lang=en&amp;v=2#top\"></object>\n"
                   "<embed src=\"../games/swf/Game.swf\"><embed src=\"/games/swf/game.swf\">\n"
                   "<script>swfobject.embedSWF(\"swf/loader.php\", \"box\");\n"
                   "// swfobject.embedSWF(\"swf/old.swf\", \"box\");</script>\n"
                   "<embed src=\"http://www.youtube.com/v/abc\" "
                   "type=\"application/x-shockwave-flash\">\n");
  nginx_.WriteFile("games/swf/Game.swf", "game");
  nginx_.WriteFile("games/swf/intro.swf", "intro");
  TFrmPelmar& w = Shown();

  Grab(w, nginx_.Url("/games/play.html"));
  EXPECT_EQ(Rows(w.ListBox1), (std::vector<std::string>{
                                  origin_ + "/games/swf/Game.swf",
                                  origin_ + "/games/swf/game.swf",
                                  origin_ + "/games/swf/intro.swf?lang=en&v=2",
                                  origin_ + "/games/swf/loader.php",
                              }));
  EXPECT_EQ(w.Label1->Caption(), U("总数4   "));

  w.outPath.Assign(OutFolder());
  Select(w, {origin_ + "/games/swf/Game.swf"});
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_EQ(ReadFileBytes(OutFolder() + "/Game.swf"), "game");
  EXPECT_TRUE(CapturedFailures().empty());

  // Named from another page, the movie is refused.
  RecordingPeer empty(AlwaysAnswer(HttpResponse(200, "OK", {}, "<p>none</p>")));
  Grab(w, empty.Url("/other.html"));
  w.swfUrlPathTxt->setText(Q(origin_ + "/games/swf/intro.swf"));
  QTest::keyClick(w.ListBox1, Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(CapturedFailures().size(), 1u);
  EXPECT_FALSE(fs::exists(OutFolder() + "/intro.swf"));
}

TEST_F(GrabWindowTest, RowsShowNamesDecodedInTheirOrderAndSaveThemSoNamed) {
  nginx_.WriteFile("gbk.html",
                   "<meta charset=\"gbk\"><embed src=\"\xD3\xCE.swf\"><embed src=\"b.swf\">"
                   "<embed src=\"my game.swf\"><embed src=\"a.swf\"><embed src=\"A.swf\">"
                   "<iframe src=\"frame.html\"></iframe>");
  nginx_.WriteFile("frame.html", "<embed src=\"sub/framed.swf\">");
  nginx_.WriteFile("\xE6\xB8\xB8.swf", "you");
  nginx_.WriteFile("my game.swf", "mine");
  nginx_.WriteFile("sub/framed.swf", "framed");
  nginx_.Start();
  origin_ = nginx_.Url("");
  TFrmPelmar& w = Shown();
  Grab(w, nginx_.Url("/gbk.html"));
  // Sorted as shown, letter case aside (then by the bytes), the movie of the frame among them.
  EXPECT_EQ(Rows(w.ListBox1),
            (std::vector<std::string>{origin_ + "/A.swf", origin_ + "/a.swf", origin_ + "/b.swf",
                                      origin_ + "/my game.swf", origin_ + "/sub/framed.swf",
                                      origin_ + "/\xE6\xB8\xB8.swf"}));
  w.outPath.Assign(OutFolder());
  Select(w, {origin_ + "/\xE6\xB8\xB8.swf", origin_ + "/my game.swf", origin_ + "/sub/framed.swf"});
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_EQ(FileNamesIn(OutFolder()),
            (std::vector<std::string>{"framed.swf", "my game.swf", "\xE6\xB8\xB8.swf"}));
  EXPECT_EQ(ReadFileBytes(OutFolder() + "/\xE6\xB8\xB8.swf"), "you");
  // The framed movie is asked for from its frame's page.
  EXPECT_TRUE(
      nginx_.AccessLogHas("GET /sub/framed.swf HTTP/1.1\" 200 6 \"" + nginx_.Url("/frame.html")))
      << nginx_.AccessLog();
  EXPECT_TRUE(nginx_.AccessLogHas("GET /%E6%B8%B8.swf HTTP/1.1\" 200"));
  EXPECT_TRUE(CapturedFailures().empty());
}

TEST_F(GrabWindowTest, EnterInTheAddressGrabs) {
  ServeMovies();
  TFrmPelmar& w = Shown();
  w.sourceUrl->clear();
  QTest::keyClicks(w.sourceUrl, Q(nginx_.Url("/page.html")));
  QTest::keyClick(w.sourceUrl, Qt::Key_Return);
  EXPECT_EQ(w.ListBox1->count(), 19);
  EXPECT_EQ(w.Label1->Caption(), U("总数19   "));
}

TEST_F(GrabWindowTest, APageThatCannotBeFetchedSaysSoAfterThreeAttempts) {
  RecordingPeer notFound(AlwaysAnswer(HttpResponse(404, "Not Found", {}, "\"http://h/x.swf\"")));
  TFrmPelmar& w = Shown();
  w.ListBox1->addItem("old row");
  w.SwfUrlList()->Add("old entry");

  Grab(w, notFound.Url("/page.html"));
  EXPECT_EQ(notFound.RequestCount(), 3);
  EXPECT_EQ(w.ListBox1->count(), 0);
  EXPECT_EQ(w.SwfUrlList()->Count(), 0);
  EXPECT_EQ(w.Label1->Caption(), U("抓取失败：HTTP/1.1 404 Not Found  "));

  // Nobody listening at all.
  w.ListBox1->addItem("old row");
  const std::string refused = "127.0.0.1:" + std::to_string(FreeTcpPort());
  Grab(w, "http://" + refused + "/page.html");
  EXPECT_EQ(w.ListBox1->count(), 0);
  EXPECT_EQ(w.Label1->Caption(), U("抓取失败：") + Q(w.Label1->toolTip().toStdString()) + "  ");
  EXPECT_EQ(w.Label1->toolTip().toStdString().rfind("cannot connect to " + refused, 0), 0u)
      << w.Label1->toolTip().toStdString();
  EXPECT_TRUE(CapturedReports().empty());
  EXPECT_TRUE(CapturedFailures().empty());
}

TEST_F(GrabWindowTest, SelectedRowsAreSavedAndTheStatusShowsBeforeTheFirstTransfer) {
  ServeMovies();
  TFrmPelmar& w = Shown();
  Grab(w, nginx_.Url("/page.html"));
  ASSERT_EQ(w.ListBox1->currentItem(), nullptr);
  w.outPath.Assign(OutFolder());
  Select(w,
         {origin_ + "/movies/red.swf", origin_ + "/movies/big.swf", origin_ + "/movies/one.swf"});

  PaintRecorder painted(w.Label1);
  std::vector<QString> paintedBeforeTransfer;
  int statusEvents = 0;
  w.UdownFileHttp->OnStatus = [&](TObject*, TNetStatus, const std::string&) {
    if (statusEvents++ == 0) paintedBeforeTransfer = painted.Captions;
  };
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);

  EXPECT_GT(statusEvents, 0);
  // Painted at once, not at the next turn of the event loop (which comes after the run).
  ASSERT_FALSE(paintedBeforeTransfer.empty());
  EXPECT_NE(std::find(paintedBeforeTransfer.begin(), paintedBeforeTransfer.end(), U("正在下载  ")),
            paintedBeforeTransfer.end());
  // The window may have had its turn since, showing the first file's number and name.
  EXPECT_TRUE(paintedBeforeTransfer.back() == U("正在下载  ") ||
              paintedBeforeTransfer.back().startsWith(U("正在下载 1/3  ")))
      << paintedBeforeTransfer.back().toStdString();
  EXPECT_EQ(w.Label1->Caption(), U("下载成功  "));
  EXPECT_EQ(FileNamesIn(OutFolder()), (std::vector<std::string>{"big.swf", "one.swf", "red.swf"}));
  EXPECT_EQ(ReadFileBytes(OutFolder() + "/red.swf"), RedSwfBytes());
  EXPECT_TRUE(FileHoldsGeneratedBytes(OutFolder() + "/big.swf", kBigSize));
  EXPECT_EQ(ReadFileBytes(OutFolder() + "/one.swf"), "movie one");
  // The field keeps the last row handled, in list order.
  const std::vector<std::string> rows = Rows(w.ListBox1);
  std::string last;
  for (const std::string& row : rows)
    if (row == origin_ + "/movies/red.swf" || row == origin_ + "/movies/big.swf" ||
        row == origin_ + "/movies/one.swf")
      last = row;
  EXPECT_EQ(w.swfUrlPathTxt->text().toStdString(), last);
  EXPECT_FALSE(w.UdownFileHttp->IsConnected());
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(GrabWindowTest, WithDependentFilesTheGameIsSavedWithWhatItLoads) {
  nginx_.Start();
  origin_ = nginx_.Url("");
  nginx_.WriteFile("page.html", "<embed src=\"" + origin_ + "/arcade/game.swf\">");
  nginx_.WriteFile(
      "arcade/game.swf",
      Movie(TMovieKind::mkZlib, {StoringActionTag({"levels/second.swf", "data/list.xml"})}));
  nginx_.WriteFile("arcade/levels/second.swf", Movie(TMovieKind::mkLzma, {}));
  nginx_.WriteFile("arcade/data/list.xml", "<l><s f=\"a.mp3\"/><s f=\"gone.mp3\"/></l>");
  nginx_.WriteFile("arcade/data/a.mp3", "sound");
  TFrmPelmar& w = Shown();
  Grab(w, nginx_.Url("/page.html"));
  w.outPath.Assign(OutFolder());
  Select(w, {origin_ + "/arcade/game.swf"});
  w.DepsCheck->setChecked(true);
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);

  // With the files it loads, the game is saved as its site has it.
  EXPECT_EQ(w.Label1->Caption(), U("下载成功  依赖文件 3 个，缺失 1 个  "));
  const std::string site = "127.0.0.1_" + origin_.substr(origin_.rfind(':') + 1) + "/arcade/";
  EXPECT_EQ(FilesBelow(OutFolder()),
            (std::vector<std::string>{site + "data/a.mp3", site + "data/list.xml",
                                      site + "game.swf", site + "levels/second.swf"}));
  EXPECT_TRUE(CapturedFailures().empty());
  // The game's row says what is missing, and lists what became of each of its files.
  const QListWidgetItem* game = w.ListBox1->item(0);
  EXPECT_EQ(game->data(rrState).toString(), U("已保存，缺失依赖 1"));
  const QString details = game->toolTip();
  EXPECT_EQ(details.count(U("已保存 ")), 3) << details.toStdString();
  EXPECT_TRUE(details.contains(U("缺失 ") + Q(origin_) + U("/arcade/data/gone.mp3：HTTP/1.1 404")))
      << details.toStdString();
  // Opened, the row shows it all in a box of its own, which leaves the window usable.
  w.ShowRowDetails(*game);
  ASSERT_NE(w.RowDetails(), nullptr);
  EXPECT_TRUE(w.RowDetails()->isVisible());
  EXPECT_EQ(w.RowDetails()->windowModality(), Qt::NonModal);
  EXPECT_EQ(w.RowDetails()->text(), Q(origin_) + U("/arcade/game.swf\n") +
                                        game->data(rrSize).toString() +
                                        U("  已保存，缺失依赖 1\n\n") + details);
  w.RowDetails()->close();

  // Off again: the movie alone.
  fs::remove_all(OutFolder());
  w.DepsCheck->setChecked(false);
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_EQ(w.Label1->Caption(), U("下载成功  "));
  EXPECT_EQ(FilesBelow(OutFolder()), std::vector<std::string>{"game.swf"});
}

TEST_F(GrabWindowTest, WithoutASelectionTheRunOnlyChangesTheStatus) {
  RecordingPeer peer(AlwaysAnswer(HttpResponse(200, "OK", {}, "x")));
  TFrmPelmar& w = Shown();
  w.outPath.Assign(OutFolder());
  w.ListBox1->addItems({Q(peer.Url("/a.swf")), Q(peer.Url("/b.swf"))});
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_EQ(w.Label1->Caption(), U("下载成功  "));
  EXPECT_EQ(peer.RequestCount(), 0);
  EXPECT_FALSE(fs::exists(OutFolder()));
  EXPECT_EQ(w.swfUrlPathTxt->text(), "");
}

// The real box, closed from here: failing rows do not stop the run, and one box at its end lists
// each failed address with its reason, under the full summary.
TEST_F(GrabWindowTest, FailingRowsShowOneBoxAtTheEndAndTheOthersAreStillSaved) {
  ServeMovies();
  TFrmPelmar& w = Shown();
  Grab(w, nginx_.Url("/page.html"));
  w.outPath.Assign(OutFolder());
  // play.php does not exist: 404. An earlier file of that name must survive.
  const std::string older = OutFolder() + "/play.php";
  out_.WriteFile("saved/movies/play.php", "older file");
  Select(w, {origin_ + "/movies/red.swf", origin_ + "/play.php?file=red.swf",
             origin_ + "/movies/two.swf", origin_ + "/movies/rooted.swf"});

  struct Seen {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    int buttons = 0;
    Qt::WindowModality modality = Qt::NonModal;
    // When the box showed: the status, and whether the last good file was saved already.
    QString status;
    bool lastSaved = false;
  };
  std::vector<Seen> boxes;
  QTimer closer;
  closer.setInterval(10);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    boxes.push_back({box->windowTitle(), box->text(), box->icon(),
                     static_cast<int>(box->buttons().size()), box->windowModality(),
                     w.Label1->Caption(), fs::exists(OutFolder() + "/two.swf")});
    box->button(QMessageBox::Ok)->click();
  });
  closer.start();
  SetDownloadFailureHook(nullptr);
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  SetDownloadFailureHook([](const QString& caption, const QString& text) {
    CapturedFailures().push_back({caption, text});
  });
  closer.stop();

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, U("错误"));
  // In the order of the list.
  EXPECT_EQ(boxes[0].text, U("下载失败，请与Tamsel网联系，谢谢\n\n") + Q(origin_) +
                               "/movies/rooted.swf\nHTTP/1.1 404 Not Found\n\n" + Q(origin_) +
                               "/play.php?file=red.swf\nHTTP/1.1 404 Not Found")
      << boxes[0].text.toStdString();
  EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(boxes[0].buttons, 1);
  EXPECT_EQ(boxes[0].modality, Qt::ApplicationModal);
  EXPECT_TRUE(boxes[0].lastSaved);
  // Each row says what became of it.
  const auto row = [&w, this](const std::string& path) {
    const auto items = w.ListBox1->findItems(Q(origin_ + path), Qt::MatchExactly);
    return items.size() == 1
               ? items[0]->data(rrSize).toString() + " | " + items[0]->data(rrState).toString()
               : QString("(no row)");
  };
  EXPECT_EQ(row("/movies/red.swf"),
            Q(ByteCountText(static_cast<int64_t>(RedSwfBytes().size()))) + U(" | 已保存"));
  EXPECT_EQ(row("/movies/two.swf"), U("9 B | 已保存"));
  EXPECT_EQ(row("/movies/rooted.swf"), U(" | 失败：HTTP/1.1 404 Not Found"));
  EXPECT_EQ(row("/play.php?file=red.swf"), U(" | 失败：HTTP/1.1 404 Not Found"));
  EXPECT_EQ(row("/movies/one.swf"), " | ");  // not selected: untouched
  // A run with a failure does not say it succeeded, and says so before the box.
  EXPECT_EQ(boxes[0].status, U("下载结束：成功 2，失败 2  "));
  EXPECT_EQ(w.Label1->Caption(), U("下载结束：成功 2，失败 2  "));
  EXPECT_EQ(FileNamesIn(OutFolder()), (std::vector<std::string>{"play.php", "red.swf", "two.swf"}));
  EXPECT_EQ(ReadFileBytes(older), "older file");
  EXPECT_EQ(ReadFileBytes(OutFolder() + "/two.swf"), "movie two");
  EXPECT_TRUE(CapturedReports().empty());
}

// An installer movie that is gone is a note in the status, not a failure: no box.
TEST_F(GrabWindowTest, AMissingInstallerIsANoteNotAFailure) {
  ServeMovies();
  TFrmPelmar& w = Shown();
  w.outPath.Assign(OutFolder());
  w.swfUrlPathTxt->setText(Q(origin_ + "/swfobject/expressInstall.swf"));
  QTest::keyClick(w.ListBox1, Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(w.Label1->Caption(), U("（播放器安装文件 1 个未保存，无需保存）  "));
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(GrabWindowTest, CtrlDSavesTheAddressShownWhateverIsSelected) {
  ServeMovies();
  TFrmPelmar& w = Shown();
  Grab(w, nginx_.Url("/page.html"));
  w.outPath.Assign(OutFolder());
  Select(w, {origin_ + "/movies/two.swf"});
  w.swfUrlPathTxt->setText(Q(origin_ + "/movies/one.swf"));

  QTest::keyClick(w.ListBox1, Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(FileNamesIn(OutFolder()), std::vector<std::string>{"one.swf"});
  EXPECT_EQ(ReadFileBytes(OutFolder() + "/one.swf"), "movie one");
  // The status stays as the grab left it.
  EXPECT_EQ(w.Label1->Caption(), U("总数19   "));

  // Code 4 typed without the Control key, a plain "d", and Ctrl+D over a blank field: nothing.
  fs::remove(OutFolder() + "/one.swf");
  QKeyEvent bare(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\x04"));
  QApplication::sendEvent(w.ListBox1, &bare);
  QTest::keyClick(w.ListBox1, Qt::Key_D);
  w.swfUrlPathTxt->setText(" \t ");
  QTest::keyClick(w.ListBox1, Qt::Key_D, Qt::ControlModifier);
  EXPECT_TRUE(FileNamesIn(OutFolder()).empty());

  // The character itself, with Control down, as some platforms report Ctrl+D.
  w.swfUrlPathTxt->setText(Q(origin_ + "/movies/red.swf"));
  QKeyEvent code4(QEvent::KeyPress, 0, Qt::ControlModifier, QStringLiteral("\x04"));
  QApplication::sendEvent(w.ListBox1, &code4);
  EXPECT_EQ(FileNamesIn(OutFolder()), std::vector<std::string>{"red.swf"});
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(GrabWindowTest, NamesStayInTheFolderAndAMissingFolderIsRefused) {
  RecordingPeer peer(AlwaysAnswer(HttpResponse(200, "OK", {}, "would be written")));
  TFrmPelmar& w = Shown();
  w.outPath.Assign(OutFolder());
  // Dot segments go, as browsers take them out ("/movies/." is "/movies/"); a folder's address
  // is saved as index.swf, and another address of that name in the run takes a number.
  w.ListBox1->addItems(
      {Q(peer.Url("/movies/..")), Q(peer.Url("/movies/.")), Q(peer.Url("/movies/")), "   "});
  w.ListBox1->selectAll();
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_EQ(w.Label1->Caption(), U("下载成功  "));
  EXPECT_EQ(FilesBelow(out_.Path()),
            (std::vector<std::string>{"saved/movies/index (2).swf", "saved/movies/index.swf"}));
  EXPECT_EQ(peer.RequestCount(), 3);

  // No output folder (an unreadable settings file leaves it empty): files would land in "/".
  w.outPath.Assign("");
  w.swfUrlPathTxt->setText(Q(peer.Url("/movies/flashgrab-must-not-exist.swf")));
  QTest::keyClick(w.ListBox1, Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(CapturedFailures().size(), 1u);
  EXPECT_FALSE(fs::exists("/flashgrab-must-not-exist.swf"));
  EXPECT_EQ(peer.RequestCount(), 3);
  EXPECT_TRUE(CapturedReports().empty());
}

}  // namespace
