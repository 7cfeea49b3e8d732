// One request/response pair of the client and the decision taken on each response: done,
// send again (redirection, authorization) or fail with the status.
#pragma once

#include "http/http_request.h"
#include "http/http_response.h"
#include "http/http_types.h"

class TNetCustomHTTP;

class TNetHTTPProtocol {
 public:
  explicit TNetHTTPProtocol(TNetCustomHTTP* client);
  TNetHTTPProtocol(const TNetHTTPProtocol&) = delete;
  TNetHTTPProtocol& operator=(const TNetHTTPProtocol&) = delete;

  TNetHTTPRequest Request;
  TNetHTTPResponse Response;

  // Decides what follows the response just read, reading or discarding its body on the way.
  // Error statuses raise ENetHTTPProtocolException.
  TNetNextStep EvaluateResponse();
  // Reads the body (2 s time-out) as the text of ENetHTTPProtocolException and raises it.
  [[noreturn]] void RaiseProtocolError();
  // Reads the body into a scratch text and drops it.
  void DrainBody();

  TNetCustomHTTP* Client() const { return client_; }

 private:
  // DrainBody with the given read time-out; errors are swallowed (and leave the connection
  // marked as not reusable).
  void DrainQuietly(int timeoutMs);

  TNetCustomHTTP* client_;
};
