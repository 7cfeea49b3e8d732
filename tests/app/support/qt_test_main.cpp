#include "tests/app/support/qt_test_main.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "app/desktop_services.h"
#include "app/download_failure.h"
#include "app/error_report.h"
#include "app/frm_pelmar.h"
#include "app/movie_preview.h"
#include "app/web_browser.h"

namespace {
bool open_succeeds = true;
}

std::vector<TCapturedReport>& CapturedReports() {
  static std::vector<TCapturedReport> reports;
  return reports;
}

std::vector<TCapturedReport>& CapturedFailures() {
  static std::vector<TCapturedReport> failures;
  return failures;
}

std::vector<QUrl>& OpenedUrls() {
  static std::vector<QUrl> urls;
  return urls;
}

void SetOpenSucceeds(bool succeeds) {
  open_succeeds = succeeds;
}

void ResetCaptures() {
  CapturedReports().clear();
  CapturedFailures().clear();
  OpenedUrls().clear();
  open_succeeds = true;
}

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  PrepareWebEngine();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("flashgrab-tests"));
  QApplication::setApplicationDisplayName(ApplicationTitle());
  // No test may block on a modal dialog or start a desktop program.
  SetErrorReportHook([](const QString& caption, const QString& text) {
    CapturedReports().push_back({caption, text});
  });
  SetDownloadFailureHook([](const QString& caption, const QString& text) {
    CapturedFailures().push_back({caption, text});
  });
  SetOpenUrlHook([](const QUrl& url) {
    OpenedUrls().push_back(url);
    return open_succeeds;
  });
  SetSelectSaveDirHook([](const QString&, QWidget*, QString&) {
    ADD_FAILURE() << "folder browser opened without a test hook";
    return false;
  });
  // The test programs do not live beside the window's program and its player.
  SetPreviewPlayerFolder(QStringLiteral(FLASHGRAB_BINARY_DIR "/app/player/"));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
