#include "net/tcp_connection.h"

#include <algorithm>

#include "base/net_exceptions.h"

namespace {

// How long ProbePeerClosed waits for bytes or a close: not at all. A close already made is
// there to be read at once; waiting even a millisecond before every reuse of a kept-alive
// connection would hold each request of a run of small files back by that much.
constexpr int kProbeWaitMs = 0;

}  // namespace

TNetTCPConnection::TNetTCPConnection(TComponent* owner) : TNetComponent(owner) {
  // Read progress is counted as bytes leave the input buffer, not as they arrive.
  input_data_.OnBytesRemoved = [this](TObject*, int64_t count) {
    WorkProgress(TWorkMode::wmRead, count);
  };
}

TNetTCPConnection::~TNetTCPConnection() {
  try {
    TNetTCPConnection::DropSocket();
  } catch (...) {
    // A destructor cannot report a failing intercept or handler.
  }
  ReleaseIOHandler();
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler) {
  if (handler == io_handler_) return;
  if (io_handler_) RemoveFreeNotification(io_handler_);
  io_handler_ = nullptr;
  owned_io_handler_.reset();
  io_handler_ = handler;
  if (handler) FreeNotification(handler);
}

void TNetTCPConnection::AdoptIOHandler(std::unique_ptr<TNetIOHandler> handler) {
  SetIOHandler(handler.get());
  owned_io_handler_ = std::move(handler);
}

void TNetTCPConnection::ReleaseIOHandler() {
  if (!owned_io_handler_) return;
  std::unique_ptr<TNetIOHandler> handler = std::move(owned_io_handler_);
  if (io_handler_ == handler.get()) {
    RemoveFreeNotification(io_handler_);
    io_handler_ = nullptr;
  }
}

void TNetTCPConnection::SetIntercept(TNetConnectionIntercept* intercept) {
  if (intercept == intercept_) return;
  if (intercept_) RemoveFreeNotification(intercept_);
  intercept_ = intercept;
  if (intercept_) FreeNotification(intercept_);
}

void TNetTCPConnection::Notification(TComponent* component, TOperation operation) {
  TNetComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == io_handler_) {
    io_handler_ = nullptr;
    // Destroyed by someone else (its component owner): it is no longer ours to free.
    if (owned_io_handler_.get() == component) (void)owned_io_handler_.release();
  }
  if (component == intercept_) intercept_ = nullptr;
}

void TNetTCPConnection::NotifyDisconnected() {
  if (OnDisconnected) OnDisconnected(this);
}

void TNetTCPConnection::ResetInputState() {
  input_data_.Clear();
  peer_closed_ = false;
}

void TNetTCPConnection::CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer) {
  bool closed = false;
  if (peer_closed_ || !io_handler_) {
    if (io_handler_) {
      // The first check after the close closes our side and tells the user, once.
      if (io_handler_->IsOpen()) {
        DropSocket();
        ReportStatus(TNetStatus::hsDisconnected);
        NotifyDisconnected();
      }
      closed = true;
    }
  } else {
    closed = !io_handler_->IsOpen();
  }
  if (closed && raiseIfClosed && (input_data_.Size() == 0 || ignoreBuffer))
    throw ENetConnClosedGracefully("Connection Closed Gracefully.");
}

void TNetTCPConnection::ProbePeerClosed(bool raiseIfClosed) {
  FillInputBuffer(raiseIfClosed, kProbeWaitMs, false);
}

int TNetTCPConnection::DeadlineLeftMs() const {
  if (!deadline_) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - TClock::now());
  return static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
}

bool TNetTCPConnection::IsConnected() {
  CheckPeerClosed(false, false);
  return io_handler_ && io_handler_->IsOpen();
}

void TNetTCPConnection::CloseConnection() {
  ReportStatus(TNetStatus::hsDisconnecting);
  DropSocket();
  ReleaseIOHandler();
  NotifyDisconnected();
  ReportStatus(TNetStatus::hsDisconnected);
}

void TNetTCPConnection::DropSocket() {
  if (!io_handler_) return;
  peer_closed_ = true;
  if (intercept_) intercept_->Disconnect();
  if (io_handler_) io_handler_->CloseHandler();
}
