#include "http/authorization_dialogue.h"

#include "http/response_framing.h"
#include "uri/token.h"

namespace {

bool RunAuthorizationSteps(TObject* sender, TNetAuthorizationParty& party) {
  TNetAuthentication& authentication = *party.Authentication;
  for (int step = 0; step < http_limits::kMaxAuthorizationSteps; ++step) {
    switch (authentication.NextStep()) {
      case TAuthStepOutcome::sendRequest:
        return true;
      case TAuthStepOutcome::giveUp:
        return false;
      case TAuthStepOutcome::askProgram: {
        authentication.AssignUser(party.User);
        authentication.AssignPassword(party.Password);
        bool handled = false;
        party.OnAuthorize(sender, &authentication, handled);
        if (!handled) return false;
        if (party.CredentialsGiven) *party.CredentialsGiven = true;
        party.User = authentication.CurrentUser();
        party.Password = authentication.CurrentPassword();
        break;
      }
    }
  }
  return false;
}

}  // namespace

TNetAuthenticationClass FirstKnownScheme(const TNetHeaderList& challenges) {
  for (int i = 0; i < challenges.Count(); ++i) {
    TNetAuthenticationClass found = FindAuthenticationScheme(PeekToken(challenges.Get(i), " "));
    if (found) return found;
  }
  return TNetAuthenticationClass();
}

bool RunAuthorizationDialogue(TObject* sender, TNetAuthorizationParty& party) {
  const bool proxy = party.Challenger == TNetChallenger::chProxy;
  if (!party.Authentication) {
    TNetAuthenticationClass scheme = FirstKnownScheme(party.Challenges);
    if (!scheme) return false;
    if (party.OnSelect) party.OnSelect(sender, scheme, party.Challenges);
    if (!scheme) return false;
    // Without a handler nobody can answer the challenge; keeping an empty scheme object
    // would make every later request send empty credentials.
    if (!party.OnAuthorize) {
      if (proxy) party.Password.clear();
      return false;
    }
    party.Authentication = scheme.Create();
  }
  TNetAuthentication& authentication = *party.Authentication;
  if (proxy) {
    party.Password.clear();
    authentication.ResetSteps();
  }
  if (!party.OnAuthorize) return false;
  authentication.AssignUser(party.User);
  authentication.AssignPassword(party.Password);
  if (!proxy)
    authentication.AuthValues.SetValueOf("Authorization", authentication.AuthorizationValue());
  authentication.SetChallenge(party.Challenges);
  return RunAuthorizationSteps(sender, party);
}
