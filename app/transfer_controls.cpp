#include "app/transfer_controls.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include "app/anti_freeze.h"
#include "app/window_text.h"

namespace {

// The bar counts in thousandths: its value is an int, a file's size need not be.
constexpr int kBarSteps = 1000;
// How often the bar looks at bytes that have come but not yet been reported.
constexpr int kRefreshMs = 100;

}  // namespace

TTransferControls::TTransferControls(QWidget* window, TNetAntiFreeze& antiFreeze,
                                     const std::vector<TNetCustomHTTP*>& clients,
                                     std::vector<QWidget*> guarded)
    : window_(window), anti_freeze_(antiFreeze), guarded_(std::move(guarded)) {
  StopBtn = new QPushButton(QCoreApplication::translate("TTransferControls", "停止"), window);
  StopBtn->setObjectName("StopBtn");
  StopBtn->setGeometry(kStopLeft, kStopTop, kStopWidth, kStopHeight);
  StopBtn->setEnabled(false);
  // The click arrives inside a client's wait; it only marks the stop, which the wait then acts
  // on once the click has been handled.
  QObject::connect(StopBtn, &QPushButton::clicked, window, [this] { RequestStop(); });

  ProgressBar = new QProgressBar(window);
  ProgressBar->setObjectName("ProgressBar1");
  ProgressBar->setGeometry(kBarLeft, kBarTop, kBarWidth, kBarHeight);
  ProgressBar->setRange(0, kBarSteps);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);

  ByteCount = new QLabel(window);
  ByteCount->setObjectName("ByteCount1");
  ByteCount->setGeometry(kCountLeft, kCountTop, kCountWidth, kCountHeight);

  for (TNetCustomHTTP* client : clients)
    progress_.push_back(std::make_unique<TTransferProgress>(
        *client, [this](const TTransferState& state) { Show(state); }));
  refresh_.setInterval(kRefreshMs);
  QObject::connect(&refresh_, &QTimer::timeout, [this] {
    for (auto& progress : progress_)
      progress->Refresh();
  });
}

TTransferControls::~TTransferControls() = default;

bool TTransferControls::StopRequested() const {
  return anti_freeze_.StopRequested();
}

void TTransferControls::RequestStop() {
  if (busy_) anti_freeze_.RequestStop();
}

void TTransferControls::Show(const TTransferState& state) {
  if (state.Total >= 0) {
    ProgressBar->setRange(0, kBarSteps);
    const int64_t steps = state.Total > 0 ? state.Bytes * kBarSteps / state.Total : kBarSteps;
    ProgressBar->setValue(static_cast<int>(std::min<int64_t>(steps, kBarSteps)));
  } else {
    // A length nobody told us: a busy bar.
    ProgressBar->setRange(0, 0);
  }
  // The bytes, the rate and the time left, as far as the label has room; all of it on hover.
  const QString line = Local(ProgressMeterLine(state)).trimmed();
  ByteCount->setText(ByteCount->fontMetrics().elidedText(line, Qt::ElideRight, ByteCount->width()));
  ByteCount->setToolTip(line);
  if (OnProgress) OnProgress(state);
}

TTransferControls::TRun::TRun(TTransferControls& controls) : controls_(controls) {
  controls_.busy_ = true;
  controls_.anti_freeze_.ClearStop();
  // The focus waits on the stop button: a disabled control would pass it on along the tab
  // order, and a list that gets it makes its first row current (and previews it).
  controls_.focus_before_ = controls_.window_->focusWidget();
  controls_.StopBtn->setEnabled(true);
  controls_.StopBtn->setFocus();
  controls_.refresh_.start();
  controls_.were_enabled_.clear();
  for (QWidget* widget : controls_.guarded_) {
    controls_.were_enabled_.push_back(widget->isEnabled());
    widget->setEnabled(false);
  }
}

TTransferControls::TRun::~TRun() {
  controls_.refresh_.stop();
  // The last update of a body may have fallen within the interval; the bar shows the end.
  for (auto& progress : controls_.progress_)
    if (progress->Began()) progress->Finish();
  for (size_t i = 0; i < controls_.guarded_.size(); ++i)
    controls_.guarded_[i]->setEnabled(controls_.were_enabled_[i]);
  if (controls_.focus_before_ && controls_.focus_before_->isEnabled())
    controls_.focus_before_->setFocus();
  else if (controls_.StopBtn->hasFocus())
    controls_.StopBtn->clearFocus();
  controls_.StopBtn->setEnabled(false);
  const bool stopped = controls_.anti_freeze_.StopRequested();
  controls_.anti_freeze_.ClearStop();
  controls_.busy_ = false;
  // The last bar stays: it shows how far the run came. A busy one has nothing to show.
  if (controls_.ProgressBar->maximum() == 0) {
    controls_.ProgressBar->setRange(0, kBarSteps);
    controls_.ProgressBar->setValue(stopped ? 0 : kBarSteps);
  }
  if (controls_.OnRunEnded) controls_.OnRunEnded();
}

void TTransferControls::TRun::StartItem() {
  controls_.ProgressBar->setRange(0, kBarSteps);
  controls_.ProgressBar->setValue(0);
  controls_.ByteCount->clear();
  for (auto& progress : controls_.progress_)
    progress->Start();
}
