#include "net/tcp_client.h"

#include <memory>

#include "base/net_exceptions.h"
#include "net/io_handler_socket.h"

TNetTCPClient::TNetTCPClient(TComponent* owner) : TNetTCPConnection(owner) {}

TNetTCPClient::~TNetTCPClient() = default;

void TNetTCPClient::AssignHost(const std::string& host) {
  host_ = host;
}

void TNetTCPClient::AssignPort(int port) {
  port_ = port;
}

void TNetTCPClient::NotifyConnected() {
  if (OnConnected) OnConnected(this);
}

void TNetTCPClient::OpenConnection(int timeoutMs) {
  if (!IOHandler()) {
    auto handler = std::make_unique<TNetIOHandlerSocket>(nullptr);
    // The handler's resolving and connecting reports reach the same handler as ours.
    handler->OnStatus = OnStatus;
    AdoptIOHandler(std::move(handler));
  } else if (IOHandler()->IsOpen()) {
    throw ENetAlreadyConnected("Already connected.");
  }
  try {
    IOHandler()->OpenHandler();
    ResetInputState();
    IOHandler()->ConnectToPeer(host_, port_, BoundIP, BoundPort, BoundPortLow, BoundPortHigh,
                               timeoutMs);
    if (Intercept()) Intercept()->Connect(this);
    ReportStatus(TNetStatus::hsConnected, {host_});
    NotifyConnected();
  } catch (...) {
    try {
      DropSocket();
    } catch (...) {
      // The connect's own error is the one to report.
    }
    throw;
  }
}

std::string TNetTCPClient::ConnectAndReadAll() {
  OpenConnection(kPlainConnect);
  std::string result;
  try {
    result = ReadUntilClosed();
  } catch (...) {
    CloseConnection();
    throw;
  }
  CloseConnection();
  return result;
}
