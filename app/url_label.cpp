#include "app/url_label.h"

#include <QMouseEvent>
#include <QUrl>

#include "app/desktop_services.h"
#include "app/error_report.h"

TURLLabel::TURLLabel(QWidget* parent) : QLabel(parent) {
  // Only the underline is set here; family and size still follow the window's font.
  QFont underlined;
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  ApplyColor();
}

void TURLLabel::SetLinkColor(const QColor& color) {
  link_color_ = color;
  ApplyColor();
}

void TURLLabel::SetVisitedLinkColor(const QColor& color) {
  visited_link_color_ = color;
  ApplyColor();
}

bool TURLLabel::Open() {
  if (!OpenDesktopUrl(QUrl(URL))) return false;
  visited_ = true;
  ApplyColor();
  return true;
}

void TURLLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    RunHandler([this] { Open(); });
}

void TURLLabel::ApplyColor() {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, visited_ ? visited_link_color_ : link_color_);
  setPalette(colors);
}
