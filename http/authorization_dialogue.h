// Answering a challenge (401 from the server, 407 from the proxy): choosing a scheme from the
// challenge lines, asking the program for credentials through the events, and running the
// scheme's steps until it can send the request again or gives up. Server and proxy differ
// only in what the party names.
#pragma once

#include <memory>
#include <string>

#include "http/authentication.h"
#include "http/header_list.h"
#include "http/http_types.h"
#include "http/response_decision.h"

class TObject;

// Everything the dialogue reads and changes for one side.
struct TNetAuthorizationParty {
  // The scheme object in use; created on the first challenge that names a known scheme.
  std::unique_ptr<TNetAuthentication>& Authentication;
  const TNetHeaderList& Challenges;
  const TNetOnSelectAuthorization& OnSelect;
  const TNetOnAuthorization& OnAuthorize;
  std::string& User;
  std::string& Password;
  // chServer or chProxy. The proxy's password is forgotten at every challenge and its steps
  // start again; the server's scheme keeps its steps and records its current value first.
  TNetChallenger Challenger = TNetChallenger::chServer;
  // Set when the program supplied credentials; none for the proxy.
  bool* CredentialsGiven = nullptr;
};

// The scheme class named by the first challenge line whose first word is a registered scheme.
TNetAuthenticationClass FirstKnownScheme(const TNetHeaderList& challenges);

// True when the request is to be sent again with the credentials now in the party; false when
// nobody can or will answer the challenge. `sender` is what the events see.
bool RunAuthorizationDialogue(TObject* sender, TNetAuthorizationParty& party);
