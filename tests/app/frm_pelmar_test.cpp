#include "app/frm_pelmar.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <vector>

#include "app/auto_size_label.h"
#include "app/url_label.h"
#include "app/web_browser.h"
#include "rescue/setting_file.h"
#include "tests/app/window_fixture.h"

namespace {

namespace fs = std::filesystem;

QString TextOf(QWidget* w) {
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  return QString();
}

TEST_F(WindowTest, ControlsSitAtTheirPlacesWithTheirTexts) {
  TFrmPelmar& w = Open();
  struct Row {
    QWidget* control;
    QRect place;
    QString text;
  } const rows[] = {
      {w.sourceUrl, {18, 8, 302, 21}, "http://www.portal.example/"},
      {w.stratBtn, {326, 6, 67, 27}, U("抓取")},
      {w.URLLabel1, {627, 6, 126, 13}, U("更多精品工具-Tamsel网     ")},
      {w.swfUrlPathTxt, {16, 36, 739, 21}, ""},
      {w.ListBox1, {14, 60, 366, 368}, ""},
      {w.WebBrowser1, {385, 60, 368, 369}, ""},
      {w.outPathTxt, {120, 436, 201, 21}, QString::fromLocal8Bit(DefaultOutPath())},
      {w.SelOutPath, {326, 434, 49, 25}, ">>"},
      {w.openPath, {378, 434, 49, 25}, U("打开")},
      {w.DownBtn, {648, 432, 105, 28}, U("下载 Ctrl+D")},
      {w.DepsCheck, {436, 437, 150, 19}, U("连同依赖文件")},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.control->parentWidget(), &w) << row.control->objectName().toStdString();
    EXPECT_EQ(row.control->geometry(), row.place) << row.control->objectName().toStdString();
    EXPECT_EQ(TextOf(row.control), row.text) << row.control->objectName().toStdString();
  }
  EXPECT_EQ(w.Label1->pos(), QPoint(17, 437));
  EXPECT_FALSE(w.DepsCheck->isChecked());
  EXPECT_EQ(w.windowTitle(), U("Tamsel网页Flash抓取器"));
  EXPECT_EQ(w.font().pointSize(), 8);
  EXPECT_EQ(w.outPathTxt->font(), w.font());
}

// Grown, the window gives the list and the preview the room; the fields stretch and the
// controls beside and below them follow. Back at its size, everything is where it started.
TEST_F(WindowTest, TheLayoutGrowsWithTheWindow) {
  TFrmPelmar& w = Shown();
  // The size the window is made at, whatever a frame took from it since.
  const QSize start(TFrmPelmar::kWidth, TFrmPelmar::kHeight);
  w.resize(start + QSize(400, 100));
  QApplication::processEvents();
  struct Row {
    QWidget* control;
    QRect place;
  } const rows[] = {
      {w.sourceUrl, {18, 8, 702, 21}},       {w.stratBtn, {726, 6, 67, 27}},
      {w.swfUrlPathTxt, {16, 36, 1139, 21}}, {w.ListBox1, {14, 60, 566, 468}},
      {w.WebBrowser1, {585, 60, 568, 469}},  {w.outPathTxt, {120, 536, 401, 21}},
      {w.SelOutPath, {526, 534, 49, 25}},    {w.DownBtn, {1048, 532, 105, 28}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(row.control->geometry(), row.place) << row.control->objectName().toStdString();
  EXPECT_EQ(w.Label1->pos(), QPoint(17, 537));
  w.resize(start);
  QApplication::processEvents();
  EXPECT_EQ(w.ListBox1->geometry(), QRect(14, 60, 366, 368));
  EXPECT_EQ(w.DownBtn->geometry(), QRect(648, 432, 105, 28));
}

// A status longer than the room beside the folder field is never cut: the label shows what
// fits, and the line under the controls the whole of it.
TEST_F(WindowTest, ALongStatusShowsWholeUnderTheControls) {
  TFrmPelmar& w = Shown();
  const QString summary = U("下载结束：成功 2，失败 1  依赖文件 7 个，缺失 3 个  ");
  w.Label1->SetCaption(summary);
  EXPECT_EQ(w.Label1->Caption(), summary);
  EXPECT_LE(w.Label1->geometry().right(), w.outPathTxt->x());
  EXPECT_TRUE(w.StatusLine->isVisibleTo(&w));
  EXPECT_EQ(w.StatusLine->text(), summary);
  EXPECT_GE(w.StatusLine->width(), TextPixelWidth(w.StatusLine, summary));
  w.Label1->SetCaption(U("总数3   "));
  EXPECT_EQ(w.Label1->text(), U("总数3   "));
  EXPECT_FALSE(w.StatusLine->isVisibleTo(&w));
}

TEST_F(WindowTest, TheDependencyCheckBoxCoversNoOtherControl) {
  TFrmPelmar& w = Open();
  for (QWidget* other : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other == w.DepsCheck || !other->isVisibleTo(&w)) continue;
    EXPECT_FALSE(other->geometry().intersects(w.DepsCheck->geometry()))
        << other->objectName().toStdString();
  }
}

TEST_F(WindowTest, TabOrderFollowsTheLayout) {
  TFrmPelmar& w = Open();
  const std::vector<QWidget*> expected = {w.stratBtn,      w.ListBox1, w.WebBrowser1, w.sourceUrl,
                                          w.swfUrlPathTxt, w.DownBtn,  w.outPathTxt,  w.SelOutPath,
                                          w.openPath,      w.DepsCheck};
  std::vector<QWidget*> chain;
  QWidget* at = w.stratBtn;
  do {
    if (std::find(expected.begin(), expected.end(), at) != expected.end()) chain.push_back(at);
    at = at->nextInFocusChain();
  } while (at != w.stratBtn && chain.size() < 20);
  EXPECT_EQ(chain, expected);
  for (QWidget* label : {static_cast<QWidget*>(w.Label1), static_cast<QWidget*>(w.URLLabel1)})
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
  for (QWidget* control : expected)
    EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << control->objectName().toStdString();
}

TEST_F(WindowTest, TabMovesThroughTheControlsInOrder) {
  TFrmPelmar& w = Shown();
  QApplication::setActiveWindow(&w);
  w.stratBtn->setFocus();
  const std::vector<QWidget*> expected = {w.ListBox1,  w.WebBrowser1, w.sourceUrl,  w.swfUrlPathTxt,
                                          w.DownBtn,   w.outPathTxt,  w.SelOutPath, w.openPath,
                                          w.DepsCheck, w.stratBtn};
  for (QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
}

TEST_F(WindowTest, ReadOnlyFieldsShowTheScrollBarColour) {
  TFrmPelmar& w = Open();
  const QColor expected = w.palette().color(QPalette::Active, QPalette::Button).darker(120);
  for (QLineEdit* field : {w.swfUrlPathTxt, w.outPathTxt}) {
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->palette().color(QPalette::Base), expected);
    EXPECT_NE(field->palette().color(QPalette::Base), w.sourceUrl->palette().color(QPalette::Base));
  }
  EXPECT_FALSE(w.sourceUrl->isReadOnly());
}

TEST_F(WindowTest, TheListSelectsManyRowsKeepsItsOrderAndHasRowsOf13Pixels) {
  TFrmPelmar& w = Shown();
  EXPECT_EQ(w.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_FALSE(w.ListBox1->isSortingEnabled());
  w.ListBox1->addItems({"http://b/2.swf", "http://a/1.swf", U("http://c/中.swf")});
  EXPECT_EQ(w.ListBox1->item(0)->text(), "http://b/2.swf");
  EXPECT_EQ(w.ListBox1->item(1)->text(), "http://a/1.swf");
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(w.ListBox1->visualItemRect(w.ListBox1->item(row)).height(), 13);
  // Shift extends the selection.
  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {},
                    w.ListBox1->visualItemRect(w.ListBox1->item(0)).center());
  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    w.ListBox1->visualItemRect(w.ListBox1->item(2)).center());
  EXPECT_EQ(w.ListBox1->selectedItems().size(), 3);
  // The list has rows now: leave the preview out of this test.
  w.ListBox1->clear();
  QApplication::processEvents();
}

TEST_F(WindowTest, TheWindowOpensAtItsPlaceWithItsOuterSize) {
  TFrmPelmar& w = Shown();
  EXPECT_EQ(w.frameGeometry(), QRect(425, 205, 781, 506));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(QApplication::applicationDisplayName(), U("Tamsel网页Flash抓取器"));
}

TEST_F(WindowTest, FormCreateEmptiesTheStatusAndSeedsTheDefaultFolder) {
  TFrmPelmar& w = Open();
  EXPECT_EQ(w.Label1->Caption(), "");
  EXPECT_EQ(w.outPathTxt->text(), QString::fromLocal8Bit(DefaultOutPath()));
  EXPECT_EQ(w.outPath.Text(), DefaultOutPath());
  ASSERT_NE(w.SwfUrlList(), nullptr);
  EXPECT_EQ(w.SwfUrlList()->Count(), 0);
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(WindowTest, FormShowFitsTheLinkLabelToItsCaptionWithTrailingSpaces) {
  TFrmPelmar& w = Shown();
  const QFontMetrics metrics(w.URLLabel1->font());
  const QString caption = U("更多精品工具-Tamsel网     ");
  EXPECT_EQ(w.URLLabel1->width(), metrics.horizontalAdvance(caption));
  EXPECT_GT(w.URLLabel1->width(), metrics.horizontalAdvance(caption.trimmed()));
  EXPECT_EQ(w.URLLabel1->pos(), QPoint(627, 6));
  EXPECT_EQ(w.URLLabel1->height(), 13);
}

TEST_F(WindowTest, TheLinkLabelIsBlueUnderlinedAndTurnsPurpleAfterASuccessfulOpen) {
  TFrmPelmar& w = Shown();
  TURLLabel* link = w.URLLabel1;
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));

  SetOpenSucceeds(false);
  QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_EQ(OpenedUrls().size(), 1u);
  EXPECT_FALSE(link->Visited());
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));

  SetOpenSucceeds(true);
  QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_EQ(OpenedUrls().size(), 2u);
  EXPECT_EQ(OpenedUrls()[1], QUrl(link->URL));
  EXPECT_EQ(OpenedUrls()[1].scheme(), "http");
  EXPECT_TRUE(link->Visited());
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));

  QTest::mouseClick(link, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(OpenedUrls().size(), 2u);
}

TEST_F(WindowTest, AFirstStartSeedsTheDefaultAndEveryCloseWritesTheFile) {
  {
    TFrmPelmar& w = Shown();
    w.close();
  }
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(window_->SwfUrlList(), nullptr);
  std::string bytes = ReadFileBytes(SettingName());
  ASSERT_EQ(bytes.size(), 255u);
  const std::string folder = DefaultOutPath();
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), folder.size());
  EXPECT_EQ(bytes.substr(1, folder.size()), folder);

  // Unchanged, the file is written again at the next close.
  fs::remove(SettingName());
  Shown().close();
  EXPECT_EQ(ReadFileBytes(SettingName()).size(), 255u);
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(WindowTest, ARememberedFolderIsShownAndKept) {
  const std::string folder = "/srv/movies/" + std::string(300, 'm');
  TShortString stored;
  stored.Assign(folder);
  WriteSettingFile(SettingName(), stored);
  TFrmPelmar& w = Open();
  EXPECT_EQ(w.outPathTxt->text().toStdString(), folder.substr(0, 254));
  EXPECT_EQ(w.outPath.Text(), folder.substr(0, 254));
  EXPECT_EQ(w.Label1->Caption(), "");
}

TEST_F(WindowTest, AnUnreadableSettingsFileIsReportedAndTheRestOfFormCreateIsSkipped) {
  fs::create_directory(SettingName());
  TFrmPelmar& w = Open();
  ASSERT_EQ(CapturedReports().size(), 1u);
  EXPECT_EQ(CapturedReports()[0].caption, U("Tamsel网页Flash抓取器"));
  EXPECT_EQ(CapturedReports()[0].text,
            QString::fromLocal8Bit("Cannot open file \"" + SettingName() + "\". Is a directory."));
  EXPECT_TRUE(w.outPath.Empty());
  EXPECT_EQ(w.outPathTxt->text(), QString::fromLocal8Bit(DefaultOutPath()));
  EXPECT_EQ(w.Label1->Caption(), U("文件总数   "));
  ASSERT_NE(w.SwfUrlList(), nullptr);
}

TEST_F(WindowTest, ASettingsFileThatCannotBeWrittenIsReportedAndTheWindowClosesAnyway) {
  TFrmPelmar& w = Shown();
  fs::create_directory(SettingName());
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.SwfUrlList(), nullptr);
  ASSERT_EQ(CapturedReports().size(), 1u);
  EXPECT_EQ(
      CapturedReports()[0].text,
      QString::fromLocal8Bit("Cannot create file \"" + SettingName() + "\". Is a directory."));
}

TEST_F(WindowTest, ChoosingAFolderUpdatesBothValuesAndCancelChangesNothing) {
  TFrmPelmar& w = Open();
  const QString longFolder = U("/srv/下载/") + QString(300, QChar('f'));
  QString seenTitle;
  QWidget* seenOwner = nullptr;
  QString seenPath = "not cleared";
  bool confirm = true;
  SetSelectSaveDirHook([&](const QString& title, QWidget* owner, QString& path) {
    seenTitle = title;
    seenOwner = owner;
    seenPath = path;
    if (confirm) path = longFolder;
    return confirm;
  });

  w.SelOutPath->click();
  EXPECT_EQ(seenTitle, U("选择保存目录"));
  EXPECT_EQ(seenOwner, &w);
  EXPECT_EQ(seenPath, "");  // nothing preselected
  EXPECT_EQ(w.outPathTxt->text(), longFolder);
  const std::string bytes = longFolder.toLocal8Bit().toStdString();
  EXPECT_EQ(w.outPath.Text(), bytes.substr(0, 254));

  confirm = false;
  w.SelOutPath->click();
  EXPECT_EQ(w.outPathTxt->text(), longFolder);
  EXPECT_EQ(w.outPath.Text(), bytes.substr(0, 254));

  // The choice reaches the file at the close, cut to 254 bytes.
  w.close();
  TShortString read;
  ReadSettingFile(SettingName(), read);
  EXPECT_EQ(read.Text(), bytes.substr(0, 254));
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(WindowTest, AShortChoiceAfterALongOneLeavesItsTailInThePadding) {
  TFrmPelmar& w = Open();
  QString next = "/srv/a-long-folder-name";
  SetSelectSaveDirHook([&](const QString&, QWidget*, QString& path) {
    path = next;
    return true;
  });
  w.SelOutPath->click();
  next = "/srv/b";
  w.SelOutPath->click();
  w.close();
  const std::string bytes = ReadFileBytes(SettingName());
  ASSERT_EQ(bytes.size(), 255u);
  EXPECT_EQ(bytes.substr(0, 24), "\x06/srv/b-long-folder-name");
  TFrmPelmar again(SettingName());
  EXPECT_EQ(again.outPathTxt->text(), "/srv/b");
}

TEST_F(WindowTest, OpenFolderOpensTheRememberedFolderNotTheShownText) {
  TFrmPelmar& w = Open();
  const QString longFolder = "/srv/" + QString(400, QChar('o'));
  SetSelectSaveDirHook([&](const QString&, QWidget*, QString& path) {
    path = longFolder;
    return true;
  });
  w.SelOutPath->click();
  w.openPath->click();
  ASSERT_EQ(OpenedUrls().size(), 1u);
  EXPECT_EQ(OpenedUrls()[0], QUrl::fromLocalFile(longFolder.left(254)));

  // Without a file manager no box, but the status says where the folder is.
  SetOpenSucceeds(false);
  w.openPath->click();
  EXPECT_TRUE(CapturedReports().empty());
  EXPECT_EQ(w.Label1->Caption(), U("无法打开文件夹，它在 ") + longFolder.left(254) + "  ");
}

TEST_F(WindowTest, AClickInAnEmptyListDoesNothing) {
  TFrmPelmar& w = Shown();
  QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
  w.ListBox1Click();
  QApplication::processEvents();
  EXPECT_EQ(w.swfUrlPathTxt->text(), "");
  EXPECT_EQ(w.WebBrowser1->View(), nullptr);
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(WindowTest, TheStatusLabelSizesItselfToItsCaption) {
  TFrmPelmar& w = Open();
  const QFontMetrics metrics(w.Label1->font());
  for (const QString& caption : {U("总数12   "), U("正在下载  "), QString("x")}) {
    w.Label1->SetCaption(caption);
    EXPECT_EQ(w.Label1->width(), metrics.horizontalAdvance(caption));
    EXPECT_EQ(w.Label1->height(), metrics.height());
    EXPECT_EQ(w.Label1->pos(), QPoint(17, 437));
  }
}

}  // namespace
