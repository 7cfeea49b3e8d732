// Authentication schemes: the base of every scheme object, the class references the HTTP
// client creates scheme objects from, and the process-wide registry of scheme names.
#pragma once

#include <memory>
#include <string>

#include "base/object.h"
#include "http/header_list.h"

// What the HTTP client does after a scheme has read a challenge.
enum class TAuthStepOutcome {
  askProgram,   // the program must supply credentials
  sendRequest,  // send the request again with the current credentials
  giveUp        // stop and report the failure
};

class TNetAuthentication : public TObject {
 public:
  TNetAuthentication();
  ~TNetAuthentication() override;
  TNetAuthentication(const TNetAuthentication&) = delete;
  TNetAuthentication& operator=(const TNetAuthentication&) = delete;

  virtual const char* ClassName() const { return "TNetAuthentication"; }

  // The current step: 0 after construction and after ResetSteps.
  int32_t StepNumber = 0;
  // Credentials ("Username", "Password") and the parameters the scheme read from a
  // challenge, as name/value lines.
  TNetHeaderList AuthValues;
  // A copy of the server's challenge lines; none before the first SetChallenge.
  const TNetHeaderList* ChallengeLines() const { return challenge_lines_.get(); }

  virtual TAuthStepOutcome DecideNextStep() = 0;
  virtual int StepCount() { return 0; }
  virtual void AssignPassword(const std::string& password);
  virtual void AssignUser(const std::string& user);
  virtual void ResetSteps() {}
  virtual std::string AuthorizationValue() = 0;
  virtual bool KeepsConnection() = 0;

  std::string CurrentUser() const;
  std::string CurrentPassword() const;
  // Copies the challenge lines ("WWW-Authenticate" or "Proxy-Authenticate" values).
  void SetChallenge(const TNetHeaderList& lines);
  TAuthStepOutcome NextStep() { return DecideNextStep(); }
  // The first challenge line that begins with `scheme` (letter case counts); empty when
  // there is none.
  std::string ChallengeLine(const std::string& scheme) const;

 private:
  std::unique_ptr<TNetHeaderList> challenge_lines_;
};

// A reference to a scheme class: its name and a way to create an object of it. The empty
// reference stands for none.
class TNetAuthenticationClass {
 public:
  using TFactory = std::unique_ptr<TNetAuthentication> (*)();

  TNetAuthenticationClass() = default;
  TNetAuthenticationClass(std::string className, TFactory factory)
      : class_name_(std::move(className)), factory_(factory) {}
  // The reference to a class T derived from TNetAuthentication.
  template <class T>
  static TNetAuthenticationClass Of() {
    return TNetAuthenticationClass(
        T().ClassName(), [] { return std::unique_ptr<TNetAuthentication>(std::make_unique<T>()); });
  }

  const std::string& ClassName() const { return class_name_; }
  // Raises EAssertionFailed for the empty reference.
  std::unique_ptr<TNetAuthentication> Create() const;
  explicit operator bool() const { return factory_ != nullptr; }
  bool operator==(const TNetAuthenticationClass& other) const {
    return factory_ == other.factory_ && class_name_ == other.class_name_;
  }

 private:
  std::string class_name_;
  TFactory factory_ = nullptr;
};

// The registry's object beside each scheme name.
class TAuthListObject : public TObject {
 public:
  explicit TAuthListObject(TNetAuthenticationClass authClass) : AuthClass(std::move(authClass)) {}
  TNetAuthenticationClass AuthClass;
};

// Adds a scheme name (letter case ignored). Raises ENetAlreadyRegisteredAuthenticationMethod
// "This authentication method is already registered with class name %s." when the name is
// there already. "Basic" is always registered.
void RegisterAuthenticationScheme(const std::string& name,
                                  const TNetAuthenticationClass& authClass);
// The class registered under `name` (letter case ignored), or the empty reference.
TNetAuthenticationClass FindAuthenticationScheme(const std::string& name);
