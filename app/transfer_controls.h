// The window's side of a running grab or download: the stop button and the progress bar with
// its byte count, the controls that must not start a second transfer meanwhile, and the
// anti-freeze that keeps the window alive during the client's blocking waits.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "rescue/transfer_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;
class TNetAntiFreeze;
class TNetCustomHTTP;

class TTransferControls {
 public:
  // Places of the new controls, in free space beside the grab button.
  static constexpr int kStopLeft = 398, kStopTop = 6, kStopWidth = 49, kStopHeight = 27;
  static constexpr int kBarLeft = 452, kBarTop = 7, kBarWidth = 170, kBarHeight = 13;
  static constexpr int kCountLeft = 452, kCountTop = 21, kCountWidth = 170, kCountHeight = 12;

  // Creates the controls on `window`; `clients` are the HTTP clients whose reading the bar
  // follows, `guarded` the controls that are disabled while a transfer runs.
  TTransferControls(QWidget* window, TNetAntiFreeze& antiFreeze,
                    const std::vector<TNetCustomHTTP*>& clients, std::vector<QWidget*> guarded);
  ~TTransferControls();

  QPushButton* StopBtn = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QLabel* ByteCount = nullptr;

  bool Busy() const { return busy_; }
  bool StopRequested() const;
  // Asks the running transfer to end (nothing when none runs).
  void RequestStop();
  // Called each time a run has ended and the controls are usable again.
  std::function<void()> OnRunEnded;
  // Called with each state the bar shows.
  std::function<void(const TTransferState&)> OnProgress;

  // One grab or download run, from construction to destruction. Only one at a time: Busy()
  // tells the handlers to ignore what would start a second one.
  class TRun {
   public:
    explicit TRun(TTransferControls& controls);
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;
    ~TRun();
    // A new file or page: the bar starts from nothing.
    void StartItem();

   private:
    TTransferControls& controls_;
  };

 private:
  void Show(const TTransferState& state);

  QWidget* window_;
  TNetAntiFreeze& anti_freeze_;
  std::vector<QWidget*> guarded_;
  std::vector<bool> were_enabled_;
  QPointer<QWidget> focus_before_;
  std::vector<std::unique_ptr<TTransferProgress>> progress_;
  // Counts the bytes still in the clients' input buffers while a run goes.
  QTimer refresh_;
  bool busy_ = false;
};
