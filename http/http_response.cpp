#include "http/http_response.h"

#include "http/custom_http.h"
#include "http/response_framing.h"

int TNetHTTPResponse::StatusCode() const {
  return ParseStatusCode(StatusLine);
}

bool TNetHTTPResponse::ConnectionReusable() {
  if (const auto version = ParseServerVersion(StatusLine)) ServerVersion = *version;
  client_->CheckPeerClosed(false, false);
  if (!client_->IsConnected()) return false;
  // Whatever is left of an unfinished response would be read as the next one.
  if (client_->ResponsePending()) return false;
  return ReusableByHeaders(client_->ProtocolVersion, Connection, ProxyConnection);
}
