// Opening an address or a folder with the desktop's own program.
#pragma once

#include <QUrl>

#include <functional>

// Hands `url` to the desktop (QDesktopServices::openUrl); true when that succeeded.
bool OpenDesktopUrl(const QUrl& url);

// Replaces the desktop's open action (tests): nothing is started, the hook answers instead.
using TOpenUrlHook = std::function<bool(const QUrl& url)>;
void SetOpenUrlHook(TOpenUrlHook hook);
