// What the window tests share: the application object on Qt's offscreen platform, and the
// message boxes, folder browser and desktop open action replaced by recorders.
#pragma once

#include <QString>
#include <QUrl>

#include <vector>

struct TCapturedReport {
  QString caption;
  QString text;
};

// Error reports shown since the last ResetCaptures().
std::vector<TCapturedReport>& CapturedReports();
// Download failure boxes shown since the last ResetCaptures().
std::vector<TCapturedReport>& CapturedFailures();
// Addresses handed to the desktop since the last ResetCaptures().
std::vector<QUrl>& OpenedUrls();
// What the desktop's open action answers (true until changed).
void SetOpenSucceeds(bool succeeds);
void ResetCaptures();
