#include "app/web_browser.h"

#include <QByteArray>
#include <QDir>
#include <QUrl>
#include <QWebEngineView>

#include <unistd.h>

namespace {

void AddChromiumFlag(const QByteArray& flag) {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags.contains(flag)) return;
  if (!flags.isEmpty()) flags += ' ';
  flags += flag;
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

}  // namespace

void PrepareWebEngine() {
  // The user starts a preview by clicking its row; a movie with sound is heard at once rather
  // than after a second click inside the pane.
  AddChromiumFlag("--autoplay-policy=no-user-gesture-required");
  if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const bool noRenderNode = QDir(QStringLiteral("/dev/dri"))
                                .entryList({QStringLiteral("renderD*")}, QDir::System)
                                .isEmpty();
  const bool virtualDisplay = platform.startsWith("offscreen") || platform.startsWith("minimal");
  if (noRenderNode || virtualDisplay) AddChromiumFlag("--disable-gpu");
}

TWebBrowser::TWebBrowser(QWidget* parent) : QWidget(parent) {
  // An empty page is white.
  QPalette blank = palette();
  blank.setColor(QPalette::Window, Qt::white);
  setPalette(blank);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::TabFocus);
}

void TWebBrowser::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (view_) view_->setGeometry(rect());
}

void TWebBrowser::Clear() {
  if (view_) view_->setHtml(QString());
}

void TWebBrowser::Prepare() {
  if (view_) return;
  view_ = new QWebEngineView(this);
  view_->setGeometry(rect());
  view_->show();
  // The browser takes the focus given to the pane from now on.
  setFocusProxy(view_);
}

void TWebBrowser::Navigate(const QString& address) {
  Prepare();
  view_->load(QUrl(address));
}
