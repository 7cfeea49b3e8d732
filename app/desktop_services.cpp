#include "app/desktop_services.h"

#include <QDesktopServices>

#include <utility>

namespace {

TOpenUrlHook& Hook() {
  static TOpenUrlHook hook;
  return hook;
}

}  // namespace

bool OpenDesktopUrl(const QUrl& url) {
  if (Hook()) return Hook()(url);
  return QDesktopServices::openUrl(url);
}

void SetOpenUrlHook(TOpenUrlHook hook) {
  Hook() = std::move(hook);
}
