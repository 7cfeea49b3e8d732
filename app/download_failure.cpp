#include "app/download_failure.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include <algorithm>
#include <utility>

namespace {

// Failures listed in the box; the rest are counted.
constexpr size_t kMaxListed = 12;

TDownloadFailureHook& Hook() {
  static TDownloadFailureHook hook;
  return hook;
}

}  // namespace

void SetDownloadFailureHook(TDownloadFailureHook hook) {
  Hook() = std::move(hook);
}

QString DownloadFailuresText(const std::vector<TDownloadFailure>& failures) {
  QString text =
      QCoreApplication::translate("TDownloadFailures", "下载失败，请与Tamsel网联系，谢谢");
  // A box taller than the screen helps nobody: the rest is counted.
  const size_t shown = std::min(failures.size(), kMaxListed);
  for (size_t i = 0; i < shown; ++i)
    text +=
        QStringLiteral("\n\n") + failures[i].Address + QStringLiteral("\n") + failures[i].Reason;
  if (failures.size() > shown)
    text += QCoreApplication::translate("TDownloadFailures", "\n\n……另有 %1 个")
                .arg(failures.size() - shown);
  return text;
}

void ShowDownloadFailures(const std::vector<TDownloadFailure>& failures) {
  const QString caption = QCoreApplication::translate("TDownloadFailures", "错误");
  const QString text = DownloadFailuresText(failures);
  if (Hook()) {
    Hook()(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}
