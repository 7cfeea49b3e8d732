// The window's language follows the system's: its Chinese texts as written where the language
// is Chinese (with Qt's own dialogs in Chinese), English elsewhere, the title included.
#include "app/translations.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QXmlStreamReader>

#include "app/auto_size_label.h"
#include "app/download_failure.h"
#include "tests/app/window_fixture.h"

namespace {

TEST_F(WindowTest, CaptionsFollowTheSystemsLanguage) {
  struct Row {
    const char* Locale;
    QString Grab, Download, Stop, Deps, Title, Summary, QtCancel;
  };
  const Row rows[] = {
      {"zh_CN", U("抓取"), U("下载 Ctrl+D"), U("停止"), U("连同依赖文件"),
       U("Tamsel网页Flash抓取器"), U("下载结束：成功 2，失败 1  "), U("取消")},
      {"en_US", "Grab", "Download Ctrl+D", "Stop", "With their files", "Tamsel Web Flash Grabber",
       "Download finished: 2 saved, 1 failed  ", "Cancel"},
      {"de_DE", "Grab", "Download Ctrl+D", "Stop", "With their files", "Tamsel Web Flash Grabber",
       "Download finished: 2 saved, 1 failed  ", "Cancel"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Locale);
    const TTranslations translations{QLocale(QString::fromLatin1(row.Locale))};
    TFrmPelmar& w = Open();
    EXPECT_EQ(w.stratBtn->text(), row.Grab);
    EXPECT_EQ(w.DownBtn->text(), row.Download);
    EXPECT_EQ(w.StopBtn->text(), row.Stop);
    EXPECT_EQ(w.DepsCheck->text(), row.Deps);
    EXPECT_EQ(w.windowTitle(), row.Title);
    EXPECT_EQ(
        QCoreApplication::translate("TFrmPelmar", "下载结束：成功 %1，失败 %2  ").arg(2).arg(1),
        row.Summary);
    // Qt's own buttons (the folder chooser's) speak the same language.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), row.QtCancel);
    window_.reset();
  }
  // Without a translation the texts are as written.
  EXPECT_EQ(Open().stratBtn->text(), U("抓取"));
}

// Every text the window shows has its English: a text added without one would show in Chinese
// to every other user.
TEST_F(WindowTest, EveryTextHasItsEnglish) {
  QFile file(QStringLiteral(FLASHGRAB_SOURCE_DIR "/app/translations/flashgrab_en.ts"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const TTranslations english{QLocale(QLocale::English)};
  QXmlStreamReader xml(&file);
  QString context, source;
  int texts = 0;
  while (!xml.atEnd()) {
    if (!xml.readNextStartElement()) continue;
    if (xml.name() == QLatin1String("name")) context = xml.readElementText();
    if (xml.name() == QLatin1String("source")) {
      source = xml.readElementText();
      ++texts;
      const QString translated =
          QCoreApplication::translate(context.toUtf8().constData(), source.toUtf8().constData());
      EXPECT_NE(translated, source) << context.toStdString() << ": " << source.toStdString();
    }
  }
  EXPECT_GE(texts, 30);
}

}  // namespace
