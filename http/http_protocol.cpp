#include "http/http_protocol.h"

TNetResponseDecision TNetHTTPProtocol::Decide(const TNetResponsePolicy& policy,
                                              const TNetResponseCounters& counters) const {
  return DecideResponse(Response.StatusCode(), !Response.Location.empty(), Request.RequestMethod,
                        policy, counters);
}
