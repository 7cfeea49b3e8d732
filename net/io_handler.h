// The abstract byte mover that a connection talks to. TNetIOHandlerSocket implements it
// over one socket; tests may implement it in memory.
#pragma once

#include <string>

#include "net/net_component.h"
#include "net/special_values.h"

class TNetIOHandler : public TNetComponent {
 public:
  using TNetComponent::TNetComponent;
  // A descendant's destructor must run its own CloseHandler: by the time this base
  // destructor runs, the descendant's override is gone.
  ~TNetIOHandler() override = default;

  virtual void FinishAccept() {}
  // Closes the socket.
  virtual void CloseHandler() {}
  // Binds, resolves, connects and negotiates a proxy if one is configured.
  // Arguments: host, port, bound IP, bound port, bound port range (low, high), time-out in ms.
  virtual void ConnectToPeer(const std::string&, int, const std::string&, int, int, int, int) {}
  // The connected test: a socket is open.
  virtual bool IsOpen() = 0;
  // Prepares a fresh socket before every connect.
  virtual void OpenHandler() {}
  // Where ConnectToPeer with `host` and `port` really connects, for a message about a connect
  // that failed: "HOST:PORT", or the proxy the handler goes through.
  virtual std::string ConnectPlace(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
  }
  // True when data can be read within the time-out (ms; kWaitForever = no limit; 0 = a poll).
  virtual bool WaitReadable(int timeoutMs) = 0;
  // The count received; 0 when the peer closed; kSocketError, whose code is left
  // for the stack's LastErrorCode.
  virtual int ReceiveSome(void* buffer, int length) = 0;
  // The count sent; 0 when closed; kSocketError on a socket error.
  virtual int SendSome(const void* buffer, int length) = 0;

  // TLS, for a handler that carries it; the others move bytes as they are and let these be.
  // The client asks rather than looks at the handler's class, so that any handler can stand
  // in for another.
  virtual bool CarriesTLS() const { return false; }
  // TLS has been negotiated on the current connection.
  virtual bool TLSActive() const { return false; }
  // True: bytes pass unchanged. Switching it off on an open connection starts TLS at once;
  // otherwise TLS starts right after the next connect.
  virtual void SetPassThrough(bool) {}
  // The name TLS sends (SNI) and checks the server's certificate against: a tunnel's origin.
  virtual void SetTLSServerName(const std::string&) {}
  // The descriptor of the socket the handler holds, or kInvalidSocket.
  virtual int SocketDescriptor() const { return kInvalidSocket; }
};
