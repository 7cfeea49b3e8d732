#include "app/download_failure.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace {

TDownloadFailureHook& Hook() {
  static TDownloadFailureHook hook;
  return hook;
}

}  // namespace

void SetDownloadFailureHook(TDownloadFailureHook hook) {
  Hook() = std::move(hook);
}

void ShowDownloadFailure() {
  const QString caption = QString::fromUtf8("错误");
  const QString text = QString::fromUtf8("下载失败，请与Tamsel网联系，谢谢");
  if (Hook()) {
    Hook()(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}
