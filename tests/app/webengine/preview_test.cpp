#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QWebEngineView>

#include "app/movie_preview.h"
#include "app/preview_origin.h"
#include "app/web_browser.h"
#include "tests/app/window_fixture.h"

namespace {

// Nothing listens on port 1 of the loopback address: the preview's fetch fails at once, without
// any traffic leaving the machine, and the pane shows the failure.
const QString kFirst = "http://127.0.0.1:1/movies/first.swf";
const QString kSecond = "http://127.0.0.1:1/movies/second.swf";

// The page of the window's current preview.
QUrl CurrentPage(const TFrmPelmar& w) {
  return QUrl(w.Preview()->Origin()->PageUrl(w.Preview()->Generation()));
}

// The address the pane was last sent to, once the engine has taken it.
QUrl WaitForPaneUrl(QWebEngineView* view, const QUrl& expected) {
  QElapsedTimer clock;
  clock.start();
  while (view->url() != expected && clock.elapsed() < 5000)
    QTest::qWait(20);
  return view->url();
}

using PreviewTest = WindowTest;

TEST_F(PreviewTest, AListClickShowsTheAddressAndSendsThePaneToItsPreview) {
  TFrmPelmar& w = Shown();
  EXPECT_EQ(w.WebBrowser1->View(), nullptr);  // created on the first preview
  w.ListBox1->addItems({kFirst, kSecond});

  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {},
                    w.ListBox1->visualItemRect(w.ListBox1->item(1)).center());
  QApplication::processEvents();
  EXPECT_EQ(w.swfUrlPathTxt->text(), kSecond);
  QWebEngineView* view = w.WebBrowser1->View();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->mapTo(&w, QPoint(0, 0)), QPoint(385, 60));
  EXPECT_EQ(view->size(), QSize(368, 369));
  EXPECT_EQ(WaitForPaneUrl(view, CurrentPage(w)), CurrentPage(w));
  const QUrl secondPage = CurrentPage(w);

  // An arrow key moves the focus row and previews that row in turn.
  w.ListBox1->setFocus();
  QTest::keyClick(w.ListBox1, Qt::Key_Up);
  QApplication::processEvents();
  EXPECT_EQ(w.swfUrlPathTxt->text(), kFirst);
  EXPECT_NE(CurrentPage(w), secondPage);
  EXPECT_EQ(WaitForPaneUrl(view, CurrentPage(w)), CurrentPage(w));
  EXPECT_EQ(w.WebBrowser1->View(), view);  // one browser for the window's life

  // Ctrl+click on another row: the clicked row is previewed even though the selection grows.
  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    w.ListBox1->visualItemRect(w.ListBox1->item(1)).center());
  QApplication::processEvents();
  EXPECT_EQ(w.ListBox1->selectedItems().size(), 2);
  EXPECT_EQ(w.swfUrlPathTxt->text(), kSecond);
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(PreviewTest, TheTabOrderStillRunsThroughThePaneOnceTheBrowserExists) {
  TFrmPelmar& w = Shown();
  w.ListBox1->addItem(kFirst);
  w.ListBox1->setCurrentRow(0);
  QApplication::processEvents();
  QWebEngineView* view = w.WebBrowser1->View();
  ASSERT_NE(view, nullptr);
  // The browser makes its focus widget when it shows its first page.
  QElapsedTimer clock;
  clock.start();
  while (!view->focusProxy() && clock.elapsed() < 5000)
    QTest::qWait(20);
  ASSERT_NE(view->focusProxy(), nullptr);

  QApplication::setActiveWindow(&w);
  w.ListBox1->setFocus();
  QTest::keyClick(w.ListBox1, Qt::Key_Tab);
  EXPECT_TRUE(w.WebBrowser1->isAncestorOf(QApplication::focusWidget()));
  // Inside the pane the page may keep Tab for its own links, and it answers a key on its own
  // time; leaving it goes to sourceUrl.
  const auto inPane = [&w] { return w.WebBrowser1->isAncestorOf(QApplication::focusWidget()); };
  for (int presses = 0; presses < 5 && inPane(); ++presses) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    clock.restart();
    while (inPane() && clock.elapsed() < 1500)
      QTest::qWait(20);
  }
  EXPECT_EQ(QApplication::focusWidget(), w.sourceUrl);
  QTest::keyClick(w.sourceUrl, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(w.WebBrowser1->isAncestorOf(QApplication::focusWidget()));
}

}  // namespace
