// Ctrl+D after a click on a row: the click shows the row (and previews it), and Ctrl+D saves
// the row shown, not the selected ones.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "app/auto_size_label.h"
#include "app/web_browser.h"
#include "tests/app/window_fixture.h"
#include "tests/support/movie_page.h"
#include "tests/support/nginx_server.h"

namespace {

TEST_F(WindowTest, CtrlDAfterAClickSavesTheClickedRowEvenWhenItIsNotSelected) {
  NginxServer nginx;
  nginx.Start();
  const std::string origin = nginx.Url("");
  nginx.WriteFile("page.html", MoviePage(origin));
  nginx.WriteFile("movies/red.swf", RedSwfBytes());
  nginx.WriteFile("movies/two.swf", "movie two");
  TempDir out;

  TFrmPelmar& w = Shown();
  w.sourceUrl->setText(QString::fromStdString(nginx.Url("/page.html")));
  QTest::mouseClick(w.stratBtn, Qt::LeftButton);
  w.outPath.Assign(out.Path());
  const auto red =
      w.ListBox1->findItems(QString::fromStdString(origin + "/movies/red.swf"), Qt::MatchExactly);
  const auto two =
      w.ListBox1->findItems(QString::fromStdString(origin + "/movies/two.swf"), Qt::MatchExactly);
  ASSERT_EQ(red.size(), 1);
  ASSERT_EQ(two.size(), 1);

  // Click red, then Ctrl+click it again: it stays the row shown but is no longer selected.
  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {},
                    w.ListBox1->visualItemRect(red[0]).center());
  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    w.ListBox1->visualItemRect(red[0]).center());
  two[0]->setSelected(true);
  QApplication::processEvents();
  ASSERT_FALSE(red[0]->isSelected());
  ASSERT_EQ(w.swfUrlPathTxt->text().toStdString(), origin + "/movies/red.swf");

  QTest::keyClick(w.ListBox1, Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(ReadFileBytes(out.Path() + "/red.swf"), RedSwfBytes());
  EXPECT_FALSE(std::filesystem::exists(out.Path() + "/two.swf"));
  EXPECT_EQ(w.Label1->Caption(), QString::fromUtf8("总数19   "));
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_TRUE(CapturedReports().empty());
}

// The browser starts with the window: a click on a row, then at once on the download button,
// saves the row, and the click that previews it is the first the browser sees.
TEST_F(WindowTest, AClickOnARowThenAtOnceOnDownloadSavesIt) {
  NginxServer nginx;
  nginx.Start();
  const std::string origin = nginx.Url("");
  nginx.WriteFile("page.html", MoviePage(origin));
  nginx.WriteFile("movies/red.swf", RedSwfBytes());
  TempDir out;

  TFrmPelmar::SetBrowserAtStart(true);
  TFrmPelmar& w = Shown();
  TFrmPelmar::SetBrowserAtStart(false);
  EXPECT_NE(w.WebBrowser1->View(), nullptr);
  w.sourceUrl->setText(QString::fromStdString(nginx.Url("/page.html")));
  QTest::mouseClick(w.stratBtn, Qt::LeftButton);
  w.outPath.Assign(out.Path());
  const auto red =
      w.ListBox1->findItems(QString::fromStdString(origin + "/movies/red.swf"), Qt::MatchExactly);
  ASSERT_EQ(red.size(), 1);
  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {},
                    w.ListBox1->visualItemRect(red[0]).center());
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_EQ(ReadFileBytes(out.Path() + "/red.swf"), RedSwfBytes());
  EXPECT_EQ(w.Label1->Caption(), QString::fromUtf8("下载成功  "));
  EXPECT_TRUE(CapturedReports().empty());
}

}  // namespace
