// The client's response: the header record plus the status line, where the body goes, and
// whether the connection may be kept.
#pragma once

#include <string>

#include "http/http_types.h"
#include "http/response_header_info.h"

class TNetCustomHTTP;
class TStream;

class TNetHTTPResponse : public TNetResponseHeaderInfo {
 public:
  explicit TNetHTTPResponse(TNetCustomHTTP* client) : client_(client) {}

  // As received, without its line end.
  std::string StatusLine;
  // Taken from the status line when it names 1.0 or 1.1; otherwise left as it was.
  TNetHTTPProtocolVersion ServerVersion = TNetHTTPProtocolVersion::pv1_1;
  // The caller's stream; not owned. None for calls without a body.
  TStream* BodyStream = nullptr;

  // -1 when the status line carries no number.
  int StatusCode() const;
  // Computed at every call: false once the connection is closed, or while a response on it
  // has not been read to its end; otherwise as the Connection fields allow.
  bool ConnectionReusable();

  TNetCustomHTTP* Client() const { return client_; }

 private:
  TNetCustomHTTP* client_;
};
