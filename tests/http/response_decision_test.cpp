#include "http/response_decision.h"

#include <gtest/gtest.h>

using A = TNetResponseAction;
using C = TNetChallenger;
using R = TNetChallengeRetry;
using M = TNetHTTPMethod;

TEST(ResponseDecision, SuccessIsTheTwoHundreds) {
  const struct {
    int code;
    bool success;
  } cases[] = {{199, false}, {200, true}, {204, true},   {299, true},
               {300, false}, {-1, false}, {2000, false}, {0, false}};
  for (const auto& c : cases)
    EXPECT_EQ(IsSuccessStatus(c.code), c.success) << c.code;
}

TEST(ResponseDecision, Table) {
  // Policy: follows redirects up to 3, two answers per challenge, authorization in process.
  const TNetResponsePolicy follow{true, 3, 2, true};
  // Policy: redirects and challenges are left to the caller.
  const TNetResponsePolicy caller{false, 3, 2, false};
  const TNetResponseCounters fresh{1, 0, 0};
  const TNetResponseCounters used{3, 2, 2};
  const struct {
    int code;
    bool location;
    M method;
    TNetResponsePolicy policy;
    TNetResponseCounters counters;
    TNetResponseDecision decision;
  } cases[] = {
      {200, false, M::hmGet, follow, fresh, {A::raDone, false, false, C::chNone, R::crNone}},
      {204, false, M::hmGet, caller, used, {A::raDone, false, false, C::chNone, R::crNone}},
      // A Location makes any status a redirection; 304 without one is not.
      {201, true, M::hmPost, caller, fresh, {A::raDone, true, false, C::chNone, R::crNone}},
      {304, false, M::hmGet, follow, fresh, {A::raFail, false, false, C::chNone, R::crNone}},
      {304, true, M::hmGet, follow, fresh, {A::raFollow, true, false, C::chNone, R::crNone}},
      {302, false, M::hmGet, follow, fresh, {A::raFollow, true, false, C::chNone, R::crNone}},
      {399, true, M::hmGet, follow, {2, 0, 0}, {A::raFollow, true, false, C::chNone, R::crNone}},
      {301, true, M::hmGet, follow, used, {A::raFail, true, true, C::chNone, R::crNone}},
      {302, true, M::hmGet, caller, used, {A::raDone, true, false, C::chNone, R::crNone}},
      // Challenges: answered while attempts remain, by the side that challenged.
      {401,
       false,
       M::hmGet,
       follow,
       fresh,
       {A::raAuthorize, false, false, C::chServer, R::crInProcess}},
      {401,
       false,
       M::hmGet,
       caller,
       fresh,
       {A::raAuthorize, false, false, C::chServer, R::crByCaller}},
      {401,
       false,
       M::hmGet,
       follow,
       {1, 1, 5},
       {A::raAuthorize, false, false, C::chServer, R::crInProcess}},
      {401, false, M::hmGet, follow, {1, 2, 0}, {A::raFail, false, false, C::chServer, R::crNone}},
      {407,
       false,
       M::hmConnect,
       caller,
       fresh,
       {A::raAuthorize, false, false, C::chProxy, R::crTunnel}},
      {407,
       false,
       M::hmConnect,
       follow,
       fresh,
       {A::raAuthorize, false, false, C::chProxy, R::crInProcess}},
      {407,
       false,
       M::hmGet,
       follow,
       {1, 5, 1},
       {A::raAuthorize, false, false, C::chProxy, R::crInProcess}},
      {407, false, M::hmGet, caller, used, {A::raFail, false, false, C::chProxy, R::crNone}},
      {401,
       false,
       M::hmGet,
       {true, 3, 0, true},
       fresh,
       {A::raFail, false, false, C::chServer, R::crNone}},
      // A challenge with a Location is a redirection first.
      {401, true, M::hmGet, follow, fresh, {A::raFollow, true, false, C::chNone, R::crNone}},
      {404, false, M::hmGet, follow, fresh, {A::raFail, false, false, C::chNone, R::crNone}},
      {100, false, M::hmGet, follow, fresh, {A::raFail, false, false, C::chNone, R::crNone}},
      {-1, false, M::hmGet, follow, fresh, {A::raFail, false, false, C::chNone, R::crNone}},
      {500, false, M::hmHead, caller, fresh, {A::raFail, false, false, C::chNone, R::crNone}},
  };
  for (const auto& c : cases) {
    const TNetResponseDecision d =
        DecideResponse(c.code, c.location, c.method, c.policy, c.counters);
    EXPECT_EQ(d, c.decision) << c.code << (c.location ? " with Location" : "") << ": action "
                             << static_cast<int>(d.Action) << ", redirection " << d.Redirection
                             << ", too many " << d.TooManyRedirects << ", challenger "
                             << static_cast<int>(d.Challenger) << ", retry "
                             << static_cast<int>(d.Retry);
  }
}
