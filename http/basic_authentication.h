// The Basic scheme: user name and password sent as "Basic " and their Base64 form.
#pragma once

#include <string>

#include "http/authentication.h"

class TNetBasicAuthentication : public TNetAuthentication {
 public:
  TNetBasicAuthentication();

  const char* ClassName() const override { return "TNetBasicAuthentication"; }

  // The realm of the last challenge, without its quotes.
  std::string Realm;

  TAuthStepOutcome DecideNextStep() override;
  int StepCount() override { return 1; }
  void ResetSteps() override { StepNumber = 0; }
  std::string AuthorizationValue() override;
  bool KeepsConnection() override { return false; }
};
