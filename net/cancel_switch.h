// Lets another thread stop the blocking socket calls of a connection that one thread is
// using: a receive, a send or a connect in progress returns at once, as if the peer had
// closed. The connection itself is never touched from the other thread.
#pragma once

#include <memory>

#include "net/net_component.h"

class TNetTCPConnection;

class TNetCancelSwitch {
 public:
  TNetCancelSwitch();
  TNetCancelSwitch(const TNetCancelSwitch&) = delete;
  TNetCancelSwitch& operator=(const TNetCancelSwitch&) = delete;
  // Detaches.
  ~TNetCancelSwitch();

  // From the thread that uses `connection`: from now on every socket it connects (and the one
  // open now) is watched. Its status handler (and its I/O handler's) passes every report on
  // to the one assigned before.
  void Attach(TNetTCPConnection& connection);
  // From the same thread, before the connection is used by anyone else: the previous status
  // handlers come back and the watched socket is let go.
  void Detach();

  // From any thread, any number of times: shuts down the watched socket and every one the
  // connection opens later.
  void Cancel();
  bool Cancelled() const;

 private:
  struct TState;
  std::shared_ptr<TState> state_;
  TNetTCPConnection* connection_ = nullptr;
  TNetStatusEvent previous_status_;
};
