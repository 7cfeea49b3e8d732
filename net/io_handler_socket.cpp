#include "net/io_handler_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>

#include "base/net_exceptions.h"
#include "net/anti_freeze.h"
#include "net/connect_thread.h"
#include "net/stack.h"

namespace {

// How often a timed connect runs the anti-freeze hook while the thread has not finished.
constexpr int kConnectPollStepMs = 125;
// An untimed connect becomes a timed one of this length while an anti-freeze is active.
constexpr int kAntiFreezeConnectTimeoutMs = 120000;

}  // namespace

TNetIOHandlerSocket::TNetIOHandlerSocket(TComponent* owner) : TNetIOHandler(owner) {}

TNetIOHandlerSocket::~TNetIOHandlerSocket() {
  CloseHandler();
  ReleaseSocksInfo();
  private_socks_.reset();
  socket_handle_.reset();
}

TNetSocksInfo* TNetIOHandlerSocket::SocksInfo() {
  if (!socks_) {
    if (!private_socks_) private_socks_ = std::make_unique<TNetSocksInfo>();
    socks_ = private_socks_.get();
    socks_->SetIOHandler(this);
  }
  return socks_;
}

void TNetIOHandlerSocket::SetSocksInfo(TNetSocksInfo* value) {
  if (value == socks_) return;
  ReleaseSocksInfo();
  if (value && value->Owner()) {
    private_socks_.reset();
    socks_ = value;
    FreeNotification(socks_);
  } else if (value) {
    if (!private_socks_) private_socks_ = std::make_unique<TNetSocksInfo>();
    private_socks_->Assign(*value);
    socks_ = private_socks_.get();
  } else {
    private_socks_.reset();
    return;
  }
  socks_->SetIOHandler(this);
}

void TNetIOHandlerSocket::ReleaseSocksInfo() {
  if (socks_ && socks_ != private_socks_.get()) {
    if (socks_->IOHandler() == this) socks_->SetIOHandler(nullptr);
    RemoveFreeNotification(socks_);
  }
  socks_ = nullptr;
}

void TNetIOHandlerSocket::Notification(TComponent* component, TOperation operation) {
  TNetIOHandler::Notification(component, operation);
  if (operation == TOperation::opRemove && component == socks_ && component != private_socks_.get())
    socks_ = nullptr;
}

void TNetIOHandlerSocket::CloseHandler() {
  if (socket_handle_) socket_handle_->ShutAndClose();
}

void TNetIOHandlerSocket::ConnectToPeer(const std::string& host, int port,
                                        const std::string& boundIP, int boundPort, int boundPortLow,
                                        int boundPortHigh, int timeoutMs) {
  TNetSocksInfo* socks = SocksInfo();
  const bool viaSocks = socks->Version != TSocksVersion::svNoSocks;
  const std::string targetHost = viaSocks ? socks->Host : host;
  const int targetPort = viaSocks ? socks->Port : port;

  if (!socket_handle_) socket_handle_ = std::make_unique<TNetSocketHandle>();
  TNetSocketHandle& handle = *socket_handle_;
  handle.AllocateHandle(SOCK_STREAM, 0);
  // Every client socket is bound before it connects; with the defaults to any address and
  // an ephemeral port.
  handle.IP = boundIP;
  handle.Port = boundPort;
  handle.ClientPortMin = boundPortLow;
  handle.ClientPortMax = boundPortHigh;
  handle.BindHandle();

  if (!TNetStack::IsDottedIP(targetHost)) ReportStatus(TNetStatus::hsResolving, {targetHost});
  handle.SetPeerAddress(GlobalStack->ResolveHostToIP(targetHost), targetPort);
  if (!UseNagle) {
    const int on = 1;
    handle.SetHandleOption(IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  }
  ReportStatus(TNetStatus::hsConnecting, {handle.RemoteIP});

  if (timeoutMs != kPlainConnect && timeoutMs != kNoTimeout) {
    TimedConnect(timeoutMs);
  } else if (AntiFreezeInUse()) {
    TimedConnect(kAntiFreezeConnectTimeoutMs);
  } else {
    GlobalStack->CheckSocketResult(handle.ConnectHandle(AF_INET));
  }

  socks->SetIOHandler(this);
  // The handshake takes no longer than the connect may.
  socks->ReplyTimeout = timeoutMs > 0 ? timeoutMs : kNoTimeout;
  socks->NegotiateSocksConnect(host, port);
}

std::string TNetIOHandlerSocket::ConnectPlace(const std::string& host, int port) {
  const TNetSocksInfo* socks = SocksInfo();
  if (socks->Version == TSocksVersion::svNoSocks) return TNetIOHandler::ConnectPlace(host, port);
  return "SOCKS server " + TNetIOHandler::ConnectPlace(socks->Host, socks->Port);
}

bool TNetIOHandlerSocket::IsOpen() {
  return socket_handle_ && socket_handle_->IsAllocated();
}

void TNetIOHandlerSocket::OpenHandler() {
  if (!socket_handle_) {
    socket_handle_ = std::make_unique<TNetSocketHandle>();
  } else {
    // A socket still open here would be lost by the reset.
    socket_handle_->ShutAndClose();
    socket_handle_->ResetHandle(true);
  }
}

bool TNetIOHandlerSocket::WaitReadable(int timeoutMs) {
  if (!socket_handle_) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
  return socket_handle_->WaitReadable(timeoutMs);
}

int TNetIOHandlerSocket::ReceiveSome(void* buffer, int length) {
  if (!IsOpen()) throw ENetClosedSocket("Disconnected.");
  return socket_handle_->ReceiveSome(buffer, length, 0);
}

int TNetIOHandlerSocket::SendSome(const void* buffer, int length) {
  if (!IsOpen()) throw ENetClosedSocket("Disconnected.");
  return socket_handle_->SendSome(buffer, length, 0);
}

void TNetIOHandlerSocket::TimedConnect(int timeoutMs) {
  auto thread = std::make_unique<TNetConnectThread>();
  thread->TargetHandle = socket_handle_.get();
  thread->Start();

  int step = kConnectPollStepMs;
  if (AntiFreezeInUse()) step = std::min(ActiveAntiFreeze->IdleTimeOut, kConnectPollStepMs);
  // A step of nothing would never use up the time.
  step = std::max(step, 1);
  const bool unlimited = timeoutMs == kWaitForever;
  int remaining = unlimited ? step + 1 : timeoutMs;
  try {
    while (remaining > step) {
      // A connect that ends within the step is noticed at once, not at the step's end.
      if (thread->WaitTerminated(step)) {
        remaining = 0;
        break;
      }
      remaining = unlimited ? step + 1 : remaining - step;
      DoAntiFreeze(true);
      if (thread->Terminated()) {
        remaining = 0;
        break;
      }
    }
  } catch (...) {
    // The hook ended the wait (a stop the user asked for): the thread must not outlive it.
    thread->Terminate();
    CloseHandler();
    thread->WaitFor();
    throw;
  }
  thread->WaitTerminated(remaining);

  if (!thread->Terminated()) {
    thread->Terminate();
    // Closing the socket makes the blocked connect return.
    CloseHandler();
    thread->WaitFor();
    throw ENetConnectTimeout("Connect timed out.");
  }
  thread->WaitFor();
  if (thread->Failed()) throw ENetConnectException(thread->FailureText());
}

int TNetIOHandlerSocket::SocketDescriptor() const {
  if (!socket_handle_ || !socket_handle_->IsAllocated()) return kInvalidSocket;
  return socket_handle_->HandleValue();
}
