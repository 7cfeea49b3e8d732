// One socket: its handle value, its local and remote addresses, binding to an address
// and port or a port range, connecting, one-shot receive and send, and a readable test.
#pragma once

#include <string>

#include "base/object.h"
#include "net/special_values.h"

class TNetSocketHandle : public TObject {
 public:
  // A new handle is reset: no socket, no addresses, no port range.
  TNetSocketHandle();
  TNetSocketHandle(const TNetSocketHandle&) = delete;
  TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;
  // Shuts the socket down and closes it.
  ~TNetSocketHandle() override;

  int HandleValue() const { return handle_; }
  bool IsAllocated() const { return allocated_; }
  // Local address as dotted text; before a bind, the address to bind to ("" = any).
  std::string IP;
  std::string RemoteIP;
  // Local port; before a bind, the port to bind to (0 = any).
  int Port = 0;
  int RemotePort = 0;
  // A local port range, used when no fixed Port is set and both ends are non-zero.
  int ClientPortMin = 0;
  int ClientPortMax = 0;

  // Copies IP, Port, RemoteIP and RemotePort.
  virtual void CopyAddresses(const TNetSocketHandle& source);
  // When a socket is open: shuts it down for sending and closes it, ignoring the results.
  // HandleValue keeps its value and the addresses stay until the next reset.
  virtual void ShutAndClose();
  // Connects to RemoteIP:RemotePort; 0 or kSocketError. On success both addresses are
  // refreshed.
  virtual int ConnectHandle(int family);
  virtual int ReceiveFromSome(void* buffer, int length, int flags, std::string& ip, int& port);

  // Closes any open socket, then opens a new one of family AF_INET.
  void AllocateHandle(int socketType, int protocol);
  // The count received, 0 when the peer closed, kSocketError on an error.
  int ReceiveSome(void* buffer, int length, int flags);
  // The count sent or kSocketError.
  int SendSome(const void* buffer, int length, int flags);
  // A failure raises ENetSocketError.
  void SetHandleOption(int level, int option, const void* value, int length);
  // Binds to IP:Port, or to the highest free port of the range ClientPortMin..ClientPortMax.
  void BindHandle();
  // False when the address is in use; other errors raise ENetSocketError.
  bool TryBindOnce();
  // Tries ClientPortMax down to ClientPortMin; False when all are in use.
  bool BindInPortRange();
  void SetPeerAddress(const std::string& ip, int port);
  // True when data can be read within timeoutMs (kWaitForever = no limit, 0 = a poll). Without a
  // socket it raises ENetConnClosedGracefully "Connection Closed Gracefully.".
  bool WaitReadable(int timeoutMs);
  void RefreshLocalAddress();
  void RefreshPeerAddress();
  // Forgets the socket without closing it; the remote address always, the local one when
  // resetLocal.
  void ResetHandle(bool resetLocal);
  // Takes over the next connection of a listening socket; False when the wait was
  // interrupted or the listening socket went away.
  bool AcceptInto(int listeningHandle);

 private:
  bool WaitReadableOnce(int timeoutMs);

  int handle_ = kInvalidSocket;
  bool allocated_ = false;
};
