// SOCKS proxy settings of a socket I/O handler, and the SOCKS 4, 4A and 5 handshakes that
// turn a fresh TCP connection to the SOCKS server into a tunnel to the real destination.
#pragma once

#include <string>

#include "net/net_component.h"
#include "net/special_values.h"

class TNetIOHandler;

enum class TSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum class TSocksAuthentication { saNoAuthentication, saUsernamePassword };

class TNetSocksInfo : public TNetComponent {
 public:
  // The port SOCKS servers listen on unless told otherwise.
  static constexpr int DefaultPort = 1080;

  explicit TNetSocksInfo(TComponent* owner = nullptr);
  ~TNetSocksInfo() override;

  // SOCKS 5 authentication to offer.
  TSocksAuthentication Authentication = TSocksAuthentication::saNoAuthentication;
  // The SOCKS server.
  std::string Host;
  // SOCKS 5 password.
  std::string Password;
  int Port = DefaultPort;
  // SOCKS 4 user id, SOCKS 5 user name.
  std::string Username;
  TSocksVersion Version = TSocksVersion::svNoSocks;
  // Milliseconds each reply of the server may take; kNoTimeout: no limit. The handler that
  // connects sets it from its connect's limit, so that a server that never answers is left.
  int ReplyTimeout = kNoTimeout;

  // Copies the six settings.
  void Assign(const TNetSocksInfo& source);

  // The I/O handler whose raw send and receive the handshake uses; not owned, forgotten
  // when that handler is destroyed.
  TNetIOHandler* IOHandler() const { return io_handler_; }
  void SetIOHandler(TNetIOHandler* handler);

  // Runs the handshake of Version over the I/O handler's connection to the SOCKS server;
  // nothing for svNoSocks. Failures raise ENetSocksError descendants (see the .cpp).
  void NegotiateSocksConnect(const std::string& host, int port);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void MakeSocks4Connection(const std::string& host, int port);
  void MakeSocks5Connection(const std::string& host, int port);
  void SendAll(const std::string& bytes);
  // Reads exactly count bytes of the server's reply. A close raises
  // ENetConnClosedGracefully and a socket error ENetSocketError, except under SOCKS 5, which
  // reports every failure to read as ENetSocksServerRespondError.
  std::string ReceiveReply(int count);

  TNetIOHandler* io_handler_ = nullptr;
};
