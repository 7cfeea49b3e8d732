// The standard error report that every handler of the window runs in.
#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <string>

#include "base/exception.h"
#include "base/net_exceptions.h"

// The application's title: the caption of the window and of its message boxes.
QString ApplicationTitle();

// Shows an error's message (a byte string in the locale's code page) in an application-modal
// message box with the critical icon and an OK button, captioned with the application's display
// name; "." is appended by the rule of ErrorReportText.
void ShowErrorReport(const std::string& message);

// Replaces the message box (tests): receives the caption and the text that would be shown.
using TErrorReportHook = std::function<void(const QString& caption, const QString& text)>;
void SetErrorReportHook(TErrorReportHook hook);

// Runs one handler. An error that escapes it is reported, except the silent kind, and the
// program goes on: Qt must never see an exception leave an event handler.
template <class Handler>
void RunHandler(Handler&& handler) {
  try {
    handler();
  } catch (const ENetSilentException&) {
  } catch (const Exception& e) {
    ShowErrorReport(e.Message());
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  } catch (...) {
    ShowErrorReport("Unknown error");
  }
}
