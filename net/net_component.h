// The base of every network component: it keeps the process-wide socket stack alive while
// it exists, reports connection status through OnStatus with fixed texts, and reports
// transfer progress through three work events with nested work phases.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "base/net_base_component.h"

enum class TNetStatus {
  hsResolving,
  hsConnecting,
  hsConnected,
  hsDisconnecting,
  hsDisconnected,
  hsStatusText,
  ftpTransfer,
  ftpReady,
  ftpAborted
};

enum class TWorkMode { wmRead, wmWrite };

// The status text of each value, a template for the report's arguments.
const char* StatusTemplate(TNetStatus status);

using TNetStatusEvent =
    std::function<void(TObject* ASender, TNetStatus AStatus, const std::string& AStatusText)>;
// Work counts are 64-bit so that a transfer beyond 2 GiB cannot overflow the running total.
using TWorkEvent = std::function<void(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCount)>;
using TWorkBeginEvent =
    std::function<void(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax)>;
using TWorkEndEvent = std::function<void(TObject* Sender, TWorkMode AWorkMode)>;

class TNetComponent : public TNetBaseComponent {
 public:
  // Takes a reference on the process-wide socket stack (creating it on the first one).
  explicit TNetComponent(TComponent* owner = nullptr);
  // Drops the stack reference (freeing the stack with the last one).
  ~TNetComponent() override;

  TNetStatusEvent OnStatus;
  TWorkEvent OnWork;
  TWorkBeginEvent OnWorkBegin;
  TWorkEndEvent OnWorkEnd;

  // Fires OnStatus with the status's text filled from the arguments ("%s" takes the next
  // one; extra arguments are ignored). Nothing is formatted when OnStatus is unassigned.
  void ReportStatus(TNetStatus status, std::initializer_list<std::string> arguments = {});

  // Nested phases of one mode give one begin and one end event; progress outside any
  // phase is dropped, and OnWork carries the total since the phase began.
  virtual void WorkStarted(TWorkMode mode, int64_t maximum);
  virtual void WorkProgress(TWorkMode mode, int64_t count);
  virtual void WorkFinished(TWorkMode mode);

  // Runs `body` as one work phase: WorkStarted before it and WorkFinished after it, also when
  // it raises. `finish` runs right after WorkFinished, either way.
  template <typename Body, typename Finish>
  void InWorkPhase(TWorkMode mode, int64_t maximum, Body&& body, Finish&& finish) {
    WorkStarted(mode, maximum);
    try {
      body();
    } catch (...) {
      WorkFinished(mode);
      finish();
      throw;
    }
    WorkFinished(mode);
    finish();
  }
  template <typename Body>
  void InWorkPhase(TWorkMode mode, int64_t maximum, Body&& body) {
    InWorkPhase(mode, maximum, body, [] {});
  }

 private:
  struct WorkState {
    int64_t count = 0;
    int64_t maximum = 0;
    int level = 0;
  };
  WorkState work_[2];
};
