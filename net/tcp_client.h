// The buffered connection plus where to connect: host, port and an optional local address
// and port. OpenConnection supplies a socket I/O handler when none is assigned, connects
// it and reports the result; a failure closes the socket again and passes the error on.
#pragma once

#include <string>

#include "net/tcp_connection.h"

class TNetTCPClient : public TNetTCPConnection {
 public:
  explicit TNetTCPClient(TComponent* owner = nullptr);
  ~TNetTCPClient() override;

  // Local address and port to bind to ("" and 0: any).
  std::string BoundIP;
  int BoundPort = 0;
  // The ends of a local port range; both 0 means no range.
  int BoundPortHigh = 0;
  int BoundPortLow = 0;
  TNotifyEvent OnConnected;
  // Kept for protocols that log in.
  std::string Password;
  std::string Username;

  // Host name or dotted IPv4 address, and port, to connect to.
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& host) { AssignHost(host); }
  int Port() const { return port_; }
  void SetPort(int port) { AssignPort(port); }

  // Overridable operations, in their fixed order.
  virtual void AssignHost(const std::string& host);
  virtual void AssignPort(int port);
  virtual void NotifyConnected();
  // timeoutMs kPlainConnect or kNoTimeout: a plain blocking connect; kWaitForever: a timed
  // connect without limit; otherwise the connect time-out in ms.
  virtual void OpenConnection(int timeoutMs = kPlainConnect);
  // Connects and returns everything the peer sends until it closes.
  virtual std::string ConnectAndReadAll();

 private:
  std::string host_;
  int port_ = 0;
};
