#include "app/anti_freeze.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include "base/net_exceptions.h"

namespace {

// The window's share of time per hook call when the transfer has priority.
constexpr int kTransferPriorityShareMs = 5;

}  // namespace

TNetAntiFreeze::TNetAntiFreeze(TComponent* owner) : TNetAntiFreezeBase(owner) {}

void TNetAntiFreeze::ProcessPending() {
  const QCoreApplication* application = QCoreApplication::instance();
  if (!application || application->thread() != QThread::currentThread()) return;
  const auto now = std::chrono::steady_clock::now();
  if (processed_ == 0 || now - last_processed_ >= std::chrono::milliseconds(ProcessInterval)) {
    last_processed_ = now;
    ++processed_;
    if (ApplicationHasPriority)
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    else
      QCoreApplication::processEvents(QEventLoop::AllEvents, kTransferPriorityShareMs);
  }
  if (stop_requested_) throw ENetTransferStopped("Transfer stopped.");
}
