#include "app/error_report.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

#include "rescue/error_text.h"

namespace {

TErrorReportHook& Hook() {
  static TErrorReportHook hook;
  return hook;
}

}  // namespace

QString ApplicationTitle() {
  return QCoreApplication::translate("TFrmPelmar", "Tamsel网页Flash抓取器");
}

void SetErrorReportHook(TErrorReportHook hook) {
  Hook() = std::move(hook);
}

void ShowErrorReport(const std::string& message) {
  const QString caption = QGuiApplication::applicationDisplayName();
  const QString text = QString::fromLocal8Bit(ErrorReportText(message));
  if (Hook()) {
    Hook()(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}
