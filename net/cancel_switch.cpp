#include "net/cancel_switch.h"

#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "net/io_handler.h"
#include "net/special_values.h"
#include "net/tcp_connection.h"

// The switch keeps a duplicate of the watched socket's descriptor: the connection may close
// its own descriptor at any moment, and a number closed there can be reused at once by an
// unrelated socket elsewhere in the process; the duplicate stays ours until we close it.
struct TNetCancelSwitch::TState {
  std::mutex lock;
  bool cancelled = false;
  bool attached = false;
  int watched = kInvalidSocket;    // the connection's descriptor that `duplicate` copies
  int duplicate = kInvalidSocket;  // ours

  void Release() {
    if (duplicate >= 0) ::close(duplicate);
    duplicate = kInvalidSocket;
    watched = kInvalidSocket;
  }
  void Watch(int handle) {
    std::lock_guard<std::mutex> guard(lock);
    if (!attached || handle < 0) return;
    if (handle != watched) {
      Release();
      duplicate = ::dup(handle);
      if (duplicate < 0) return;
      watched = handle;
    }
    // Again once connected: a shutdown before the connect began has no effect on it.
    if (cancelled) ::shutdown(duplicate, SHUT_RDWR);
  }
};

namespace {

// The descriptor of the socket the connection's I/O handler holds, or kInvalidSocket.
int SocketOf(TNetTCPConnection& connection) {
  const TNetIOHandler* handler = connection.IOHandler();
  return handler ? handler->SocketDescriptor() : kInvalidSocket;
}

}  // namespace

TNetCancelSwitch::TNetCancelSwitch() : state_(std::make_shared<TState>()) {}

TNetCancelSwitch::~TNetCancelSwitch() {
  Detach();
}

void TNetCancelSwitch::Attach(TNetTCPConnection& connection) {
  Detach();
  connection_ = &connection;
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->attached = true;
  }
  // The socket exists from the connecting report on (the handler allocates and binds it
  // first), so a connect that hangs can be stopped too; the handler that the connection
  // creates at connect reports through a copy of the connection's status handler. A copy that
  // outlives the switch finds the state gone and only passes reports on.
  std::weak_ptr<TState> weak = state_;
  TNetTCPConnection* watched = &connection;
  TNetStatusEvent previous = connection.OnStatus;
  previous_status_ = previous;
  connection.OnStatus = [weak, watched, previous](TObject* sender, TNetStatus status,
                                                  const std::string& text) {
    if (status == TNetStatus::hsConnecting || status == TNetStatus::hsConnected) {
      if (auto state = weak.lock()) state->Watch(SocketOf(*watched));
    }
    if (previous) previous(sender, status, text);
  };
  state_->Watch(SocketOf(connection));
}

void TNetCancelSwitch::Detach() {
  if (!connection_) return;
  connection_->OnStatus = previous_status_;
  previous_status_ = nullptr;
  connection_ = nullptr;
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->attached = false;
  state_->Release();
}

void TNetCancelSwitch::Cancel() {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->cancelled = true;
  if (state_->duplicate >= 0) ::shutdown(state_->duplicate, SHUT_RDWR);
}

bool TNetCancelSwitch::Cancelled() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->cancelled;
}
