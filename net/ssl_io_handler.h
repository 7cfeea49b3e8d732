// The TLS I/O handler: the socket handler with a TLS 1.2/1.3 client session over OpenSSL on
// top. In pass-through it moves bytes as the socket handler does (plain http goes through it
// untouched); otherwise it negotiates right after the connect, or at once when pass-through is
// switched off on an open connection (the proxy tunnel). Only this handler's implementation
// knows OpenSSL (net/ssl_engine.h holds its side): its types stay out of this header.
#pragma once

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "net/io_handler_socket.h"

class TNetSSLIOHandlerSocket : public TNetIOHandlerSocket {
 public:
  explicit TNetSSLIOHandlerSocket(TComponent* owner = nullptr);
  ~TNetSSLIOHandlerSocket() override;

  // True: bytes pass unchanged. Switching it off on an open connection starts TLS at once;
  // otherwise TLS starts right after the next connect.
  bool PassThrough() const { return pass_through_; }
  void SetPassThrough(bool value) override;
  bool CarriesTLS() const override { return true; }
  bool TLSActive() const override { return tls_active_; }

  // The name sent for SNI (not for an IP literal) and checked against the certificate.
  // ConnectToPeer sets it to the host it is given; a tunnel sets the origin's name before TLS.
  std::string ServerName;
  void SetTLSServerName(const std::string& name) override { ServerName = name; }
  // False skips the certificate check (the command line's --insecure).
  bool VerifyPeer = true;
  // A PEM bundle trusted instead of the system store; empty: the system store, which the
  // SSL_CERT_FILE and SSL_CERT_DIR variables can point elsewhere.
  std::string CAFile;
  // Limit in ms of a handshake that starts on an open connection (the tunnel); ConnectToPeer
  // sets it from its own time-out. kNoTimeout or negative: no limit.
  int HandshakeTimeout = kNoTimeout;

  // The negotiated session ("TLSv1.3", "TLS_AES_256_GCM_SHA384"); empty without one.
  std::string ProtocolText() const;
  std::string CipherName() const;
  // The peer ended the session with close_notify (rather than a bare TCP close).
  bool CloseNotifyReceived() const { return close_notify_; }

  void CloseHandler() override;
  void ConnectToPeer(const std::string& host, int port, const std::string& boundIP, int boundPort,
                     int boundPortLow, int boundPortHigh, int timeoutMs) override;
  // Also true when decrypted bytes are waiting; a record that carries no data (a session
  // ticket) does not count as readable.
  bool WaitReadable(int timeoutMs) override;
  // Whole records: a receive returns what one or more records decrypt to, a send encrypts the
  // whole area. Bytes never move in the clear while TLS is asked for but not running.
  int ReceiveSome(void* buffer, int length) override;
  int SendSome(const void* buffer, int length) override;

 protected:
  // Negotiates TLS over the open socket; raises ENetSSLProtocolReplyError
  // "TLS handshake with HOST failed: REASON (DETAIL)".
  virtual void StartTLS();

 private:
  struct TEngine;
  friend struct TEngineAccess;

  // StartTLS, with the socket closed again when it fails.
  void NegotiateOrClose();
  // The raw socket side of the session; exceptions are kept for after the OpenSSL call.
  int ReceiveRaw(char* buffer, int length);
  int SendRaw(const char* buffer, int length);
  // Rethrows what a raw call kept, and hands its socket error code back to the stack.
  void RethrowKept();
  // Frees the session (not the context, which later connections share).
  void FreeSession();
  // Reads decrypted bytes (or only looks at them, with peek); 0 when the peer closed, kSocketError
  // on a socket error, and for a peek a close or an error that the next receive reports.
  int ReadRecords(void* buffer, int length, bool peek);
  // "TLS handshake with HOST failed: REASON (DETAIL)" for the session's failed handshake.
  std::string HandshakeFailure();

  bool pass_through_ = true;
  bool tls_active_ = false;
  bool close_notify_ = false;
  // Inside the socket connect: a SOCKS negotiation may move bytes before TLS.
  bool connecting_ = false;
  std::unique_ptr<TEngine> engine_;
  // The limit of the current connection's handshakes (ms; kNoTimeout: none).
  int handshake_limit_ = kNoTimeout;
  // While a handshake runs with a limit: when it ends; the raw receive waits no longer.
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  bool deadline_passed_ = false;
  int kept_socket_error_ = 0;
  std::exception_ptr kept_exception_;
};
