#include "net/socket_handle.h"

#include <sys/socket.h>

#include "base/net_exceptions.h"
#include "base/text.h"
#include "net/anti_freeze.h"
#include "net/stack.h"

namespace {

constexpr int kShutdownSends = 1;

}  // namespace

TNetSocketHandle::TNetSocketHandle() {
  ResetHandle(true);
}

TNetSocketHandle::~TNetSocketHandle() {
  ShutAndClose();
}

void TNetSocketHandle::CopyAddresses(const TNetSocketHandle& source) {
  IP = source.IP;
  Port = source.Port;
  RemoteIP = source.RemoteIP;
  RemotePort = source.RemotePort;
}

void TNetSocketHandle::ShutAndClose() {
  if (!allocated_) return;
  allocated_ = false;
  // Shutting down first also wakes a connect that another thread is blocked in.
  GlobalStack->ShutdownSocket(handle_, kShutdownSends);
  GlobalStack->ReleaseSocket(handle_);
}

int TNetSocketHandle::ConnectHandle(int family) {
  const int result = GlobalStack->ConnectTo(handle_, family, RemotePort, RemoteIP);
  if (result != kSocketError) {
    RefreshLocalAddress();
    RefreshPeerAddress();
  }
  return result;
}

int TNetSocketHandle::ReceiveFromSome(void* buffer, int length, int flags, std::string& ip,
                                      int& port) {
  return GlobalStack->ReceiveDatagram(handle_, buffer, length, flags, ip, port);
}

void TNetSocketHandle::AllocateHandle(int socketType, int protocol) {
  ShutAndClose();
  handle_ = GlobalStack->NewSocketHandle(socketType, protocol);
  allocated_ = true;
}

int TNetSocketHandle::ReceiveSome(void* buffer, int length, int flags) {
  return GlobalStack->ReceiveOn(handle_, buffer, length, flags);
}

int TNetSocketHandle::SendSome(const void* buffer, int length, int flags) {
  return GlobalStack->SendOn(handle_, buffer, length, flags);
}

void TNetSocketHandle::SetHandleOption(int level, int option, const void* value, int length) {
  GlobalStack->CheckSocketResult(GlobalStack->SetOption(handle_, level, option, value, length));
}

void TNetSocketHandle::BindHandle() {
  if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
    if (!TryBindOnce())
      throw ENetCouldNotBindSocket("Could not bind socket. Address and port are already in use.");
    return;
  }
  if (ClientPortMax < ClientPortMin)
    throw ENetInvalidPortRange(
        Format("Invalid Port Range (%d - %d)", ClientPortMin, ClientPortMax));
  if (!BindInPortRange())
    throw ENetCanNotBindPortInRange(
        Format("Can not bind in port range (%d - %d)", ClientPortMin, ClientPortMax));
}

bool TNetSocketHandle::TryBindOnce() {
  const int result = GlobalStack->BindTo(handle_, AF_INET, Port, IP);
  if (GlobalStack->CheckSocketResult(result, {kErrAddressInUse})) return false;
  RefreshLocalAddress();
  return true;
}

bool TNetSocketHandle::BindInPortRange() {
  if (ClientPortMax < ClientPortMin) return false;
  for (int port = ClientPortMax; port >= ClientPortMin; --port) {
    Port = port;
    if (TryBindOnce()) return true;
  }
  return false;
}

void TNetSocketHandle::SetPeerAddress(const std::string& ip, int port) {
  RemoteIP = ip;
  RemotePort = port;
}

bool TNetSocketHandle::WaitReadable(int timeoutMs) {
  if (!allocated_) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
  if (AntiFreezeInUse()) {
    // Long waits go in slices of the idle time, so that the window gets its turn
    // between them.
    const int idle = ActiveAntiFreeze->IdleTimeOut;
    if (timeoutMs == kWaitForever) {
      while (!WaitReadableOnce(idle)) {
      }
      return true;
    }
    int first = timeoutMs;
    int slices = 0;
    while (idle > 0 && first > idle) {
      first -= idle;
      ++slices;
    }
    if (WaitReadableOnce(first)) return true;
    for (int i = 0; i < slices; ++i)
      if (WaitReadableOnce(idle)) return true;
    return false;
  }
  return WaitReadableOnce(timeoutMs);
}

bool TNetSocketHandle::WaitReadableOnce(int timeoutMs) {
  // An error of the wait counts as not readable.
  const bool readable = GlobalStack->WaitReadableOn(handle_, timeoutMs) == 1;
  DoAntiFreeze(!readable);
  return readable;
}

void TNetSocketHandle::RefreshLocalAddress() {
  int family = 0;
  GlobalStack->LocalAddressOf(handle_, family, Port, IP);
}

void TNetSocketHandle::RefreshPeerAddress() {
  int family = 0;
  GlobalStack->PeerAddressOf(handle_, family, RemotePort, RemoteIP);
}

void TNetSocketHandle::ResetHandle(bool resetLocal) {
  allocated_ = false;
  handle_ = kInvalidSocket;
  if (resetLocal) {
    IP.clear();
    Port = 0;
  }
  RemoteIP.clear();
  RemotePort = 0;
}

bool TNetSocketHandle::AcceptInto(int listeningHandle) {
  ResetHandle(true);
  std::string ip;
  int port = 0;
  const int accepted = GlobalStack->AcceptOn(listeningHandle, ip, port);
  if (GlobalStack->CheckSocketResult(accepted, {kErrInterrupted, kErrNotSocket})) return false;
  handle_ = accepted;
  allocated_ = true;
  RefreshLocalAddress();
  RefreshPeerAddress();
  return true;
}
