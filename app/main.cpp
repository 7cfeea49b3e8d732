// flashgrab: the window that lists a page's Flash movies, previews and saves them.
#include <QApplication>

#include "app/error_report.h"
#include "app/frm_pelmar.h"
#include "app/translations.h"
#include "app/web_browser.h"
#include "base/safe_file_writer.h"

int main(int argc, char** argv) {
  PrepareWebEngine();
  // Ended by Ctrl+C or a kill during a download, it leaves no partial file behind.
  RemoveUnfinishedFilesOnSignals();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  // English texts where the system's language is not Chinese.
  const TTranslations translations(QLocale::system());
  QApplication::setApplicationName(QStringLiteral("flashgrab"));
  QApplication::setApplicationDisplayName(ApplicationTitle());
  // The browser starts with the window, so that the first preview loses no click.
  TFrmPelmar::SetBrowserAtStart(true);
  TFrmPelmar FrmPelmar;
  FrmPelmar.show();
  return application.exec();
}
