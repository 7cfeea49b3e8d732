// The window's anti-freeze: every blocking wait of the network clients on the GUI thread lets
// Qt handle the events that are pending, so the window repaints, moves and answers input
// during a grab or a download. The window creates one at start-up.
#pragma once

#include <chrono>

#include "net/anti_freeze.h"

class TNetAntiFreeze : public TNetAntiFreezeBase {
 public:
  // Registers itself as the active anti-freeze (see TNetAntiFreezeBase).
  explicit TNetAntiFreeze(TComponent* owner = nullptr);

  // While bytes keep arriving the hook runs after every receive; handling the events that often
  // would cost the transfer time, so they are handled at most once per this many milliseconds.
  // Waits that find nothing to read come IdleTimeOut apart and are always answered.
  int ProcessInterval = 100;

  // Handles the pending events: all of them when ApplicationHasPriority, otherwise for at most
  // a few milliseconds. Does nothing off the thread of the Qt application. Raises
  // ENetTransferStopped "Transfer stopped." afterwards while a stop is requested.
  void ProcessPending() override;

  // Ends the transfer in progress: from now on every hook call raises, which ends the blocking
  // wait it was called from, until ClearStop. A stop clicked during a wait is seen as soon as
  // the click has been handled.
  void RequestStop() { stop_requested_ = true; }
  void ClearStop() { stop_requested_ = false; }
  bool StopRequested() const { return stop_requested_; }

  // How many times events were handled (for tests and benchmarks).
  long long ProcessedCount() const { return processed_; }

 private:
  std::chrono::steady_clock::time_point last_processed_{};
  bool stop_requested_ = false;
  long long processed_ = 0;
};
