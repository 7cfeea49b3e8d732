#include "http/authentication.h"

#include <mutex>

#include "base/exception.h"
#include "base/net_exceptions.h"
#include "base/text.h"
#include "http/basic_authentication.h"

TNetAuthentication::TNetAuthentication() {
  // Credentials are not header lines on the wire: folding would only alter long ones.
  AuthValues.FoldOnSet = false;
}

TNetAuthentication::~TNetAuthentication() = default;

void TNetAuthentication::AssignPassword(const std::string& password) {
  AuthValues.SetValueOf("Password", password);
}

void TNetAuthentication::AssignUser(const std::string& user) {
  AuthValues.SetValueOf("Username", user);
}

std::string TNetAuthentication::CurrentUser() const {
  return AuthValues.ValueOf("username");
}

std::string TNetAuthentication::CurrentPassword() const {
  return AuthValues.ValueOf("password");
}

void TNetAuthentication::SetChallenge(const TNetHeaderList& lines) {
  if (!challenge_lines_) challenge_lines_ = std::make_unique<TNetHeaderList>();
  challenge_lines_->Assign(lines);
}

std::string TNetAuthentication::ChallengeLine(const std::string& scheme) const {
  if (!challenge_lines_) return std::string();
  for (int i = 0; i < challenge_lines_->Count(); ++i) {
    const std::string& line = challenge_lines_->Get(i);
    if (line.compare(0, scheme.size(), scheme) == 0) return line;
  }
  return std::string();
}

std::unique_ptr<TNetAuthentication> TNetAuthenticationClass::Create() const {
  if (factory_ == nullptr) throw EAssertionFailed("REQUIRE: an authentication class");
  return factory_();
}

namespace {

// The scheme names and their classes. Filled with "Basic" on first use rather than by a
// static initialiser, which the linker may drop from a static library.
struct SchemeRegistry {
  std::mutex mutex;
  std::unique_ptr<TStringList> schemes;

  TStringList& Schemes() {
    if (!schemes) {
      schemes = std::make_unique<TStringList>();
      schemes->OwnsObjects = true;
      schemes->AddObject(
          "Basic", new TAuthListObject(TNetAuthenticationClass::Of<TNetBasicAuthentication>()));
    }
    return *schemes;
  }
};

SchemeRegistry& Registry() {
  static SchemeRegistry registry;
  return registry;
}

}  // namespace

void RegisterAuthenticationScheme(const std::string& name,
                                  const TNetAuthenticationClass& authClass) {
  SchemeRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  TStringList& schemes = registry.Schemes();
  const int i = schemes.IndexOf(name);
  if (i >= 0) {
    const auto* existing = static_cast<const TAuthListObject*>(schemes.Objects(i));
    throw ENetAlreadyRegisteredAuthenticationMethod(
        Format("This authentication method is already registered with class name %s.",
               existing->AuthClass.ClassName().c_str()));
  }
  schemes.AddObject(name, new TAuthListObject(authClass));
}

TNetAuthenticationClass FindAuthenticationScheme(const std::string& name) {
  SchemeRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  TStringList& schemes = registry.Schemes();
  const int i = schemes.IndexOf(name);
  if (i < 0) return TNetAuthenticationClass();
  return static_cast<const TAuthListObject*>(schemes.Objects(i))->AuthClass;
}
