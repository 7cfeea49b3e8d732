// The I/O handler over one socket: it binds, resolves, connects (with or without a
// time-out thread), hands over to the SOCKS negotiation, and moves bytes.
#pragma once

#include <memory>
#include <string>

#include "net/io_handler.h"
#include "net/socket_handle.h"
#include "net/socks_info.h"

class TNetIOHandlerSocket : public TNetIOHandler {
 public:
  explicit TNetIOHandlerSocket(TComponent* owner = nullptr);
  // Closes the socket, then frees the socket handle and a private SocksInfo.
  ~TNetIOHandlerSocket() override;

  // Created by the first OpenHandler (or ConnectToPeer); owned.
  TNetSocketHandle* SocketHandle() const { return socket_handle_.get(); }
  // False switches the Nagle algorithm off before connecting.
  bool UseNagle = true;
  // Reading it when none is set creates a private instance without SOCKS.
  TNetSocksInfo* SocksInfo();
  // An instance with an owner is referred to (and forgotten when it is destroyed); the
  // settings of one without an owner are copied into the private instance.
  void SetSocksInfo(TNetSocksInfo* value);

  void CloseHandler() override;
  // Binds, resolves the target (the SOCKS server when a version is set), reports
  // hsResolving for names and hsConnecting, connects and negotiates SOCKS. timeoutMs
  // kPlainConnect or kNoTimeout connects on this thread; other values use TimedConnect
  // (kWaitForever without limit).
  void ConnectToPeer(const std::string& host, int port, const std::string& boundIP, int boundPort,
                     int boundPortLow, int boundPortHigh, int timeoutMs) override;
  // "SOCKS server HOST:PORT" when a SOCKS version is set.
  std::string ConnectPlace(const std::string& host, int port) override;
  bool IsOpen() override;
  void OpenHandler() override;
  bool WaitReadable(int timeoutMs) override;
  // Raise ENetClosedSocket "Disconnected." when no socket is open.
  int ReceiveSome(void* buffer, int length) override;
  int SendSome(const void* buffer, int length) override;
  int SocketDescriptor() const override;

  // Connects on a TNetConnectThread while this thread sleeps in 125 ms steps; raises
  // ENetConnectTimeout "Connect timed out." when the time is up, and ENetConnectException
  // with the thread's failure message when the connect failed.
  void TimedConnect(int timeoutMs);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // Lets go of a SOCKS instance that is not this handler's own: it must not keep referring
  // to this handler, and its removal notice is no longer needed. Leaves socks_ empty.
  void ReleaseSocksInfo();

  std::unique_ptr<TNetSocketHandle> socket_handle_;
  std::unique_ptr<TNetSocksInfo> private_socks_;
  TNetSocksInfo* socks_ = nullptr;
};
