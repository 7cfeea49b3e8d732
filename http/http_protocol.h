// One request/response pair of the client, and the decision its response calls for: done,
// send again (redirection, authorization) or fail with the status.
#pragma once

#include "http/http_request.h"
#include "http/http_response.h"
#include "http/response_decision.h"

class TNetCustomHTTP;

class TNetHTTPProtocol {
 public:
  explicit TNetHTTPProtocol(TNetCustomHTTP* client) : Request(client), Response(client) {}
  TNetHTTPProtocol(const TNetHTTPProtocol&) = delete;
  TNetHTTPProtocol& operator=(const TNetHTTPProtocol&) = delete;

  TNetHTTPRequest Request;
  TNetHTTPResponse Response;

  // What follows the response just read, from its status and Location and the request's
  // method.
  TNetResponseDecision Decide(const TNetResponsePolicy& policy,
                              const TNetResponseCounters& counters) const;
};
