// The OpenSSL side of the TLS I/O handler: the context its connections share, the session of
// the current one, and the BIO that moves the session's bytes through the handler's socket.
// Only the handler's implementation includes this.
#pragma once

#include <openssl/ssl.h>

#include <exception>
#include <optional>
#include <string>

#include "net/ssl_io_handler.h"

struct TNetSSLIOHandlerSocket::TEngine {
  SSL_CTX* Context = nullptr;
  // What Context was made for; other settings need a new one.
  std::string ContextCAFile;
  bool ContextVerifies = true;
  SSL* Session = nullptr;
  // After a fatal error OpenSSL must not be asked to send close_notify.
  bool Broken = false;
  // The end a peek saw: returned by the next receive.
  std::optional<int> PeekedEnd;
  std::exception_ptr PeekedError;

  ~TEngine();

  // Keeps Context when it was made for these settings, otherwise makes a new one; a failure
  // raises ENetSSLProtocolReplyError.
  void PrepareContext(const std::string& caFile, bool verifyPeer);
  // A new Session on Context whose bytes go through the handler's socket, with the server's
  // name for SNI (not for an address literal) and for the certificate check; ALPN offers
  // http/1.1. The previous session must have been freed.
  void StartSession(TNetSSLIOHandlerSocket& handler, const std::string& serverName,
                    bool verifyPeer);
};

// OpenSSL's text for an error code.
std::string ReasonOf(unsigned long error);
