// What follows a response, decided from its status and Location alone, the request's method,
// the client's policy and what the current call has counted so far. No I/O and no events:
// the client carries the decision out (asking its redirect and authorization events, reading
// or discarding the body, and checking the connection as it goes).
#pragma once

#include "http/http_types.h"

enum class TNetResponseAction {
  raDone,       // the call is complete
  raFollow,     // a redirection to follow: send again to the Location
  raAuthorize,  // answer the challenge, then send again
  raFail        // the response is the error
};

// Whose challenge a 401 or 407 response carries.
enum class TNetChallenger { chNone, chServer, chProxy };

// How a challenge that was answered is sent again while the connection stays open.
enum class TNetChallengeRetry {
  crNone,
  crInProcess,  // the body is discarded and the call sends again to its own address
  crTunnel,     // the CONNECT request reads the body into its own stream and asks again
  crByCaller    // the caller repeats the request: the response is the error
};

struct TNetResponsePolicy {
  bool HandleRedirects = false;
  int RedirectMaximum = 0;
  int AuthRetries = 0;
  bool InProcessAuth = false;
};

// Requests made in the current call; answers to challenges since the last redirection.
struct TNetResponseCounters {
  int Redirects = 0;
  int ServerAuthAttempts = 0;
  int ProxyAuthAttempts = 0;
};

struct TNetResponseDecision {
  TNetResponseAction Action = TNetResponseAction::raDone;
  // A redirection, followed or not: the redirect event is asked first (its refusal makes the
  // status the error), and the body is discarded rather than delivered.
  bool Redirection = false;
  // raFail on a redirection: the client follows redirections and has used them all.
  bool TooManyRedirects = false;
  // For a challenge, answered or failed (a failed one starts the authentication again).
  TNetChallenger Challenger = TNetChallenger::chNone;
  TNetChallengeRetry Retry = TNetChallengeRetry::crNone;

  bool operator==(const TNetResponseDecision&) const = default;
};

// Whether a status code is a success (2xx).
bool IsSuccessStatus(int statusCode);

// A response is a redirection when its status is 3xx other than 304, or when it carries a
// Location whatever its status.
TNetResponseDecision DecideResponse(int statusCode, bool hasLocation, TNetHTTPMethod method,
                                    const TNetResponsePolicy& policy,
                                    const TNetResponseCounters& counters);
