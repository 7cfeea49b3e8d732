#include <gtest/gtest.h>

#include <string>

#include "base/net_exceptions.h"
#include "http/authentication.h"
#include "http/authentication_store.h"
#include "http/basic_authentication.h"

namespace {

TNetHeaderList Challenge(std::initializer_list<std::string> lines) {
  TNetHeaderList list;
  for (const std::string& line : lines)
    list.Add(line);
  return list;
}

// A scheme of two steps that the tests register under a name of their own.
class TTwoStepAuthentication : public TNetAuthentication {
 public:
  const char* ClassName() const override { return "TTwoStepAuthentication"; }
  TAuthStepOutcome DecideNextStep() override { return TAuthStepOutcome::giveUp; }
  int StepCount() override { return 2; }
  std::string AuthorizationValue() override { return "TwoStep " + CurrentUser(); }
  bool KeepsConnection() override { return true; }
};

}  // namespace

TEST(AuthenticationTest, BasicReadsTheRealmOfItsChallenge) {
  TNetBasicAuthentication auth;
  EXPECT_EQ(auth.ChallengeLines(), nullptr);
  EXPECT_EQ(auth.ChallengeLine("Basic"), "");
  auth.SetChallenge(
      Challenge({"Digest nonce=\"1\"", "Basic realm=\"Secret Area\", charset=\"UTF-8\""}));
  EXPECT_EQ(auth.ChallengeLine("Basic"), "Basic realm=\"Secret Area\", charset=\"UTF-8\"");
  EXPECT_EQ(auth.NextStep(), TAuthStepOutcome::askProgram);
  EXPECT_EQ(auth.Realm, "Secret Area");
  EXPECT_EQ(auth.AuthValues.ValueOf("charset"), "\"UTF-8\"");
  // Parameters pile up; the first realm read stays the one found.
  auth.SetChallenge(Challenge({"Basic realm=\"Other\""}));
  auth.NextStep();
  EXPECT_EQ(auth.Realm, "Secret Area");
  TStringList realms;
  auth.AuthValues.ExtractValues("realm", &realms);
  EXPECT_EQ(realms.Count(), 2);
}

TEST(AuthenticationTest, BasicOutcomeFollowsTheStep) {
  TNetBasicAuthentication auth;
  EXPECT_EQ(auth.StepCount(), 1);
  EXPECT_FALSE(auth.KeepsConnection());
  EXPECT_EQ(auth.NextStep(), TAuthStepOutcome::askProgram);  // no challenge, no user
  auth.AssignUser("alice");
  EXPECT_EQ(auth.NextStep(), TAuthStepOutcome::sendRequest);
  EXPECT_EQ(auth.StepNumber, 0);  // deciding never advances the step
  auth.StepNumber = 1;
  EXPECT_EQ(auth.NextStep(), TAuthStepOutcome::giveUp);
  auth.StepNumber = 5;
  EXPECT_EQ(auth.NextStep(), TAuthStepOutcome::sendRequest);
  auth.ResetSteps();
  EXPECT_EQ(auth.StepNumber, 0);
}

TEST(AuthenticationTest, LowerCaseSchemeIsRegisteredButNotItsChallengeLine) {
  EXPECT_EQ(FindAuthenticationScheme("basic").ClassName(), "TNetBasicAuthentication");
  TNetBasicAuthentication auth;
  auth.SetChallenge(Challenge({"basic realm=\"x\""}));
  EXPECT_EQ(auth.ChallengeLine("Basic"), "");
  auth.NextStep();
  EXPECT_EQ(auth.Realm, "");
  EXPECT_EQ(auth.AuthValues.IndexOfHeader("realm"), -1);
}

TEST(AuthenticationTest, MalformedChallengesGiveNoRealm) {
  for (const std::string line :
       {"Basic", "Basic ", "Basic realm", "Basic realm=", "Basic realm=x", "Basic , , realm=\""}) {
    SCOPED_TRACE(line);
    TNetBasicAuthentication auth;
    auth.SetChallenge(Challenge({line}));
    EXPECT_EQ(auth.NextStep(), TAuthStepOutcome::askProgram);
    EXPECT_EQ(auth.Realm, "");
  }
}

TEST(AuthenticationTest, BasicValueEncodesUserColonPassword) {
  TNetBasicAuthentication auth;
  EXPECT_EQ(auth.AuthorizationValue(), "Basic Og==");  // empty user and password
  auth.AssignUser("Aladdin");
  auth.AssignPassword("open sesame");
  EXPECT_EQ(auth.AuthValues.ValueOf("USERNAME"), "Aladdin");
  EXPECT_EQ(auth.CurrentPassword(), "open sesame");
  EXPECT_EQ(auth.AuthorizationValue(), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  auth.AssignPassword("");
  EXPECT_EQ(auth.AuthorizationValue(), "Basic QWxhZGRpbjo=");
}

TEST(AuthenticationTest, LongCredentialsSurviveUnchanged) {
  const std::string password = std::string(100, 'p') + "  ,,\t" + std::string(100, 'q');
  TNetBasicAuthentication auth;
  auth.AssignPassword(password);
  EXPECT_EQ(auth.CurrentPassword(), password);
  EXPECT_EQ(auth.AuthValues.Count(), 1);
}

TEST(AuthenticationTest, RegistryRefusesAnyNameTwice) {
  for (const std::string name : {"Basic", "BASIC", "basic", "bAsIc"}) {
    SCOPED_TRACE(name);
    try {
      RegisterAuthenticationScheme(name, TNetAuthenticationClass::Of<TTwoStepAuthentication>());
      ADD_FAILURE() << "registered twice";
    } catch (const ENetAlreadyRegisteredAuthenticationMethod& e) {
      EXPECT_EQ(e.Message(),
                "This authentication method is already registered with class name "
                "TNetBasicAuthentication.");
      EXPECT_STREQ(e.ClassName(), "ENetAlreadyRegisteredAuthenticationMethod");
    }
  }
  EXPECT_EQ(FindAuthenticationScheme("Basic").ClassName(), "TNetBasicAuthentication");
}

TEST(AuthenticationTest, RegisteredClassesCreateTheirObjects) {
  EXPECT_FALSE(FindAuthenticationScheme("TwoStep-Test"));
  EXPECT_FALSE(FindAuthenticationScheme(""));
  RegisterAuthenticationScheme("TwoStep-Test",
                               TNetAuthenticationClass::Of<TTwoStepAuthentication>());
  const TNetAuthenticationClass found = FindAuthenticationScheme("twostep-test");
  ASSERT_TRUE(found);
  EXPECT_EQ(found, TNetAuthenticationClass::Of<TTwoStepAuthentication>());
  std::unique_ptr<TNetAuthentication> auth = found.Create();
  auth->AssignUser("bob");
  EXPECT_STREQ(auth->ClassName(), "TTwoStepAuthentication");
  EXPECT_EQ(auth->AuthorizationValue(), "TwoStep bob");
  EXPECT_THROW(TNetAuthenticationClass().Create(), EAssertionFailed);

  std::unique_ptr<TNetAuthentication> basic = FindAuthenticationScheme("Basic").Create();
  EXPECT_STREQ(basic->ClassName(), "TNetBasicAuthentication");
}

TEST(AuthenticationTest, StoreKeepsTheAddressAndACopyOfTheValues) {
  TNetBasicAuthentication auth;
  auth.AssignUser("u");
  auth.AssignPassword("p");
  auth.AuthValues.SetValueOf("Authorization", auth.AuthorizationValue());
  TNetAuthenticationStore store;
  store.AddAuthentication(auth, "http://localhost:8080/dir/doc.html?q=1");
  auth.AssignUser("changed");
  ASSERT_EQ(store.Count(), 1);
  const TNetAuthenticationItem& item = store.Items(0);
  EXPECT_EQ(item.URI.HostName, "localhost");
  EXPECT_EQ(item.URI.PortText, "8080");
  EXPECT_EQ(item.URI.Directory, "/dir/");
  EXPECT_EQ(item.Params.ValueOf("username"), "u");
  EXPECT_EQ(item.Params.ValueOf("Authorization"), "Basic dTpw");
  EXPECT_THROW(store.Items(1), EListError);
}
