// The TLS I/O handler type that the client looks for before it sends to an https address or
// tunnels through a proxy. This build has no TLS engine: a handler in pass-through moves bytes
// as the socket handler does, and asking it to speak TLS fails with
// ENetSSLProtocolReplyError (a descendant that brings an engine overrides StartTLS).
#pragma once

#include "net/io_handler_socket.h"

class TNetSSLIOHandlerSocket : public TNetIOHandlerSocket {
 public:
  static constexpr const char* NoEngineMessage = "TLS is not available in this build.";

  explicit TNetSSLIOHandlerSocket(TComponent* owner = nullptr);
  ~TNetSSLIOHandlerSocket() override;

  // True: bytes pass unchanged. Switching it off on an open connection starts TLS at once;
  // otherwise TLS starts right after the next connect.
  bool PassThrough() const { return pass_through_; }
  void SetPassThrough(bool value);
  // TLS has been negotiated on the current connection.
  bool TLSActive() const { return tls_active_; }

  void CloseHandler() override;
  void ConnectToPeer(const std::string& host, int port, const std::string& boundIP, int boundPort,
                     int boundPortLow, int boundPortHigh, int timeoutMs) override;
  // Refuse to move bytes in the clear while TLS is asked for but not running.
  int ReceiveSome(void* buffer, int length) override;
  int SendSome(const void* buffer, int length) override;

 protected:
  // Negotiates TLS over the open socket. Here: raises ENetSSLProtocolReplyError.
  virtual void StartTLS();

 private:
  // StartTLS, with the socket closed again when it fails.
  void NegotiateOrClose();

  bool pass_through_ = true;
  bool tls_active_ = false;
};
