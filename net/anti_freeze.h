// The process-wide hook that blocking socket waits call, so that a window could go on
// handling its messages during long waits. Nothing registers an anti-freeze object by
// default, and then the hook does nothing.
#pragma once

#include "net/net_component.h"

class TNetAntiFreezeBase : public TNetBaseComponent {
 public:
  // Constructing one makes it the active instance (a later one replaces an earlier one).
  explicit TNetAntiFreezeBase(TComponent* owner = nullptr);
  ~TNetAntiFreezeBase() override;

  bool Active = true;
  bool ApplicationHasPriority = true;
  int IdleTimeOut = 250;
  bool OnlyWhenIdle = true;

  // Lets the window handle its pending messages.
  virtual void ProcessPending() = 0;
};

// The registered instance, none by default.
extern TNetAntiFreezeBase* ActiveAntiFreeze;

// True when an instance is registered and active and the caller runs on the main thread.
bool AntiFreezeInUse();
// Runs ProcessPending when in use and (not OnlyWhenIdle, or idle, or force).
void DoAntiFreeze(bool idle, bool force = false);
