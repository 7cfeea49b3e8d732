// A client of the window or of the command line: the HTTP client together with the TLS handler
// it goes through, both made from one description of the options. Plain http passes through the
// handler untouched.
#pragma once

#include "http/http.h"
#include "net/ssl_io_handler.h"
#include "rescue/client_options.h"

class TWebClient {
 public:
  explicit TWebClient(const TClientOptions& options = TClientOptions());
  TWebClient(const TWebClient&) = delete;
  TWebClient& operator=(const TWebClient&) = delete;

  TNetHTTP& Http() { return http_; }
  TNetSSLIOHandlerSocket& Tls() { return tls_; }

 private:
  // Made first and gone last: the client refers to it until it is destroyed.
  TNetSSLIOHandlerSocket tls_;
  TNetHTTP http_;
};
