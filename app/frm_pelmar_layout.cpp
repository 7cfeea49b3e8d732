// The main window's layout: the controls' tab order, the starting layout kept and grown with
// the window, and the outer size fitted to the frame a window manager gives it.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMoveEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>

#include <algorithm>

#include "app/auto_size_label.h"
#include "app/frm_pelmar.h"
#include "app/transfer_controls.h"
#include "app/url_label.h"
#include "app/web_browser.h"

namespace {

// The space kept between the status label and the folder field.
constexpr int kStatusGap = 3;

}  // namespace

std::vector<QWidget*> TFrmPelmar::TabStops() const {
  return {stratBtn, ListBox1,   WebBrowser1, sourceUrl, swfUrlPathTxt,
          DownBtn,  outPathTxt, SelOutPath,  openPath,  DepsCheck};
}

void TFrmPelmar::SetTabOrder() {
  const std::vector<QWidget*> stops = TabStops();
  for (size_t i = 1; i < stops.size(); ++i)
    QWidget::setTabOrder(stops[i - 1], stops[i]);
}

// Tab and Shift+Tab walk the tab stops themselves. The browser in the pane brings focus
// widgets of its own once it shows a page, and hands Tab back here when it leaves its page,
// so the pane keeps its place between the list and the address field.
bool TFrmPelmar::focusNextPrevChild(bool next) {
  const std::vector<QWidget*> stops = TabStops();
  const QWidget* focus = focusWidget();
  const auto at = std::find_if(stops.begin(), stops.end(), [focus](const QWidget* stop) {
    return focus && (stop == focus || stop->isAncestorOf(focus));
  });
  if (at == stops.end()) return QWidget::focusNextPrevChild(next);
  const int count = static_cast<int>(stops.size());
  const int from = static_cast<int>(at - stops.begin());
  for (int step = 1; step < count; ++step) {
    QWidget* stop = stops[static_cast<size_t>((from + (next ? step : count - step)) % count)];
    if (stop->isVisible() && stop->isEnabled()) {
      stop->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return false;
}

void TFrmPelmar::KeepStartLayout() {
  start_size_ = size();
  for (QWidget* widget :
       {static_cast<QWidget*>(sourceUrl), static_cast<QWidget*>(stratBtn),
        static_cast<QWidget*>(StopBtn), static_cast<QWidget*>(ProgressBar1),
        static_cast<QWidget*>(Transfer->ByteCount), static_cast<QWidget*>(URLLabel1),
        static_cast<QWidget*>(swfUrlPathTxt), static_cast<QWidget*>(ListBox1),
        static_cast<QWidget*>(WebBrowser1), static_cast<QWidget*>(Label1),
        static_cast<QWidget*>(outPathTxt), static_cast<QWidget*>(SelOutPath),
        static_cast<QWidget*>(openPath), static_cast<QWidget*>(DepsCheck),
        static_cast<QWidget*>(DownBtn), static_cast<QWidget*>(StatusLine)})
    start_places_.emplace_back(widget, widget->geometry());
  LayOut();
}

// Beyond its starting size the window gives the list and the preview each half of the new
// width and all the new height; the fields stretch, the controls right of them and below the
// list follow. Smaller than at the start, everything stays where it started.
void TFrmPelmar::LayOut() {
  if (start_places_.empty()) return;
  const int dx = std::max(0, width() - start_size_.width());
  const int dy = std::max(0, height() - start_size_.height());
  const int half = dx / 2;
  for (const auto& [widget, start] : start_places_) {
    QRect place = start;
    if (widget == sourceUrl || widget == swfUrlPathTxt) {
      place.setWidth(start.width() + dx);
    } else if (widget == ListBox1) {
      place.setSize(start.size() + QSize(half, dy));
    } else if (widget == WebBrowser1) {
      place = QRect(start.topLeft() + QPoint(half, 0), start.size() + QSize(dx - half, dy));
    } else if (widget == outPathTxt) {
      place = QRect(start.topLeft() + QPoint(0, dy), start.size() + QSize(half, 0));
    } else if (widget == SelOutPath || widget == openPath || widget == DepsCheck) {
      place.translate(half, dy);
    } else if (widget == DownBtn) {
      place.translate(dx, dy);
    } else if (widget == Label1) {
      place.translate(0, dy);
    } else if (widget == StatusLine) {
      place = QRect(start.topLeft() + QPoint(0, dy), start.size() + QSize(dx, 0));
    } else {
      place.translate(dx, 0);  // the controls right of the address field
    }
    // The labels that size themselves keep their size; only their place follows.
    if (widget == Label1 || widget == URLLabel1)
      widget->move(place.topLeft());
    else
      widget->setGeometry(place);
  }
  // The status has the room up to the folder field; more shows whole under the controls.
  Label1->SetMaxWidth(outPathTxt->x() - Label1->x() - kStatusGap, StatusLine);
}

void TFrmPelmar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void TFrmPelmar::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  FitOuterSize();
}

// The window's size counts its frame. The frame is known only once a window manager has
// framed the window; without one (a bare virtual display) there is none and the client area
// takes the whole size.
void TFrmPelmar::FitOuterSize() {
  if (outer_size_fitted_ || !isVisible()) return;
  const QSize frame = frameGeometry().size() - geometry().size();
  if (frame.width() <= 0 && frame.height() <= 0) return;
  outer_size_fitted_ = true;
  resize(kWidth - frame.width(), kHeight - frame.height());
}
