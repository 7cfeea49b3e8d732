// The message box that reports the files a download run could not save.
#pragma once

#include <QString>

#include <functional>
#include <vector>

struct TDownloadFailure {
  QString Address;  // as the list shows it
  QString Reason;
};

// One box for a whole run, captioned "错误", no icon, one OK button, modal to the whole
// application: "下载失败，请与Tamsel网联系，谢谢", then each address with its reason below it.
// Returns once the user has pressed OK.
void ShowDownloadFailures(const std::vector<TDownloadFailure>& failures);
// The box's text for `failures`.
QString DownloadFailuresText(const std::vector<TDownloadFailure>& failures);

// Replaces the message box (tests): receives the caption and the text that would be shown.
using TDownloadFailureHook = std::function<void(const QString& caption, const QString& text)>;
void SetDownloadFailureHook(TDownloadFailureHook hook);
