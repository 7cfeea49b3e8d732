#include "http/basic_authentication.h"

#include "http/encoder.h"
#include "uri/token.h"

TNetBasicAuthentication::TNetBasicAuthentication() {
  StepNumber = 0;
}

TAuthStepOutcome TNetBasicAuthentication::DecideNextStep() {
  std::string rest = ChallengeLine("Basic");
  TakeToken(rest, " ");
  // Parameters are added on every call and none is removed, so the first realm ever read
  // stays the one found.
  while (!rest.empty()) {
    std::string item = TakeToken(rest, ", ");
    const size_t equals = item.find('=');
    if (equals != std::string::npos) item.replace(equals, 1, AuthValues.NameSeparator);
    AuthValues.Add(item);
  }
  const std::string realm = AuthValues.ValueOf("realm");
  Realm = realm.size() >= 2 ? realm.substr(1, realm.size() - 2) : std::string();

  switch (StepNumber) {
    case 0:
      return CurrentUser().empty() ? TAuthStepOutcome::askProgram : TAuthStepOutcome::sendRequest;
    case 1:
      return TAuthStepOutcome::giveUp;
    default:
      return TAuthStepOutcome::sendRequest;
  }
}

std::string TNetBasicAuthentication::AuthorizationValue() {
  return "Basic " +
         TNetEncoder::EncodeText<TNetEncoderMIME>(CurrentUser() + ":" + CurrentPassword());
}
