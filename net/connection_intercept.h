// An optional hook that a connection passes every received and sent block through, for
// example to log or transform the traffic. Intercepts can be chained: each one may pass
// its blocks on to a nested intercept.
#pragma once

#include <functional>

#include "base/net_base_component.h"
#include "net/simple_buffer.h"

class TNetTCPConnection;
class TNetConnectionIntercept;

using TNetInterceptNotifyEvent = std::function<void(TNetConnectionIntercept* ASender)>;
// The handler may replace the block's content and size.
using TNetInterceptDataEvent =
    std::function<void(TNetConnectionIntercept* ASender, TNetSimpleBuffer& ABuffer)>;

class TNetConnectionIntercept : public TNetBaseComponent {
 public:
  explicit TNetConnectionIntercept(TComponent* owner = nullptr);
  ~TNetConnectionIntercept() override;

  TNetInterceptNotifyEvent OnConnect;
  TNetInterceptNotifyEvent OnDisconnect;
  TNetInterceptDataEvent OnReceive;
  TNetInterceptDataEvent OnSend;

  // The connection this intercept serves while connected; none otherwise.
  TNetTCPConnection* ConnectedTo() const { return connected_to_; }
  // A further intercept that sees the blocks too; forgotten when it is destroyed.
  TNetConnectionIntercept* NestedIntercept() const { return nested_; }
  void SetNestedIntercept(TNetConnectionIntercept* nested);
  // Set on creation: intercepts here serve the connecting side.
  bool IsClient() const { return is_client_; }

  // The hooks a connection calls.
  virtual void Connect(TNetTCPConnection* connection);
  virtual void Disconnect();
  // The nested intercept sees a received block first, then OnReceive.
  virtual void Receive(TNetSimpleBuffer& buffer);
  // OnSend sees a block to send first, then the nested intercept.
  virtual void Send(TNetSimpleBuffer& buffer);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TNetTCPConnection* connected_to_ = nullptr;
  TNetConnectionIntercept* nested_ = nullptr;
  bool is_client_ = true;
};
