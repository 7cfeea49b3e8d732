// The message box that reports one file that could not be saved.
#pragma once

#include <QString>

#include <functional>

// "下载失败，请与Tamsel网联系，谢谢" captioned "错误", one OK button, no icon, modal to the whole
// application; returns once the user has pressed OK.
void ShowDownloadFailure();

// Replaces the message box (tests): receives the caption and the text that would be shown.
using TDownloadFailureHook = std::function<void(const QString& caption, const QString& text)>;
void SetDownloadFailureHook(TDownloadFailureHook hook);
