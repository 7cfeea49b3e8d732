#include "net/connection_intercept.h"

#include "base/net_exceptions.h"

TNetConnectionIntercept::TNetConnectionIntercept(TComponent* owner) : TNetBaseComponent(owner) {}

TNetConnectionIntercept::~TNetConnectionIntercept() = default;

void TNetConnectionIntercept::SetNestedIntercept(TNetConnectionIntercept* nested) {
  if (nested == nested_) return;
  // A chain that leads back here would pass every block round for ever.
  for (TNetConnectionIntercept* i = nested; i; i = i->nested_)
    if (i == this) throw ENetException("Circular intercept chain.");
  if (nested_) RemoveFreeNotification(nested_);
  nested_ = nested;
  if (nested_) FreeNotification(nested_);
}

void TNetConnectionIntercept::Connect(TNetTCPConnection* connection) {
  connected_to_ = connection;
  if (OnConnect) OnConnect(this);
  if (nested_) nested_->Connect(connection);
}

void TNetConnectionIntercept::Disconnect() {
  if (nested_) nested_->Disconnect();
  if (OnDisconnect) OnDisconnect(this);
  connected_to_ = nullptr;
}

void TNetConnectionIntercept::Receive(TNetSimpleBuffer& buffer) {
  if (nested_) nested_->Receive(buffer);
  if (OnReceive) {
    OnReceive(this, buffer);
    buffer.SetPosition(0);
  }
}

void TNetConnectionIntercept::Send(TNetSimpleBuffer& buffer) {
  if (OnSend) {
    OnSend(this, buffer);
    buffer.SetPosition(0);
  }
  if (nested_) nested_->Send(buffer);
}

void TNetConnectionIntercept::Notification(TComponent* component, TOperation operation) {
  TNetBaseComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == nested_) nested_ = nullptr;
}
