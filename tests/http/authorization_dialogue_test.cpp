#include "http/authorization_dialogue.h"

#include <gtest/gtest.h>

#include <string>

#include "http/response_framing.h"

namespace {

// What the program's authorization handler does when it is asked.
enum class THandler { none, refuses, givesBob, givesNothing };

}  // namespace

TEST(AuthorizationDialogue, ServerAndProxyTable) {
  using C = TNetChallenger;
  const struct {
    C side;
    std::string challenge;
    bool selectDropsScheme;
    THandler handler;
    std::string user, password;
    bool resend;
    std::string userAfter, passwordAfter;
    bool schemeKept, credentialsGiven;
    int asked;
  } cases[] = {
      {C::chServer, "Digest nonce=1", false, THandler::givesBob, "", "", false, "", "", false,
       false, 0},
      {C::chServer, "Basic realm=\"a\"", true, THandler::givesBob, "", "", false, "", "", false,
       false, 0},
      // Nobody to answer: no scheme object is kept; the proxy forgets its password.
      {C::chServer, "Basic realm=\"a\"", false, THandler::none, "u", "pw", false, "u", "pw", false,
       false, 0},
      {C::chProxy, "Basic realm=\"a\"", false, THandler::none, "u", "pw", false, "u", "", false,
       false, 0},
      // Known credentials are sent without asking; the proxy's password is asked for anew.
      {C::chServer, "Basic realm=\"a\"", false, THandler::givesBob, "u", "pw", true, "u", "pw",
       true, false, 0},
      {C::chProxy, "Basic realm=\"a\"", false, THandler::givesBob, "u", "pw", true, "u", "", true,
       false, 0},
      {C::chServer, "Basic realm=\"a\"", false, THandler::givesBob, "", "", true, "bob", "secret",
       true, true, 1},
      {C::chProxy, "Digest x\nBasic realm=\"a\"", false, THandler::givesBob, "", "", true, "bob",
       "secret", true, false, 1},
      {C::chServer, "Basic realm=\"a\"", false, THandler::refuses, "", "", false, "", "", true,
       false, 1},
      // A handler that accepts without a user is asked a bounded number of times.
      {C::chProxy, "Basic realm=\"a\"", false, THandler::givesNothing, "", "", false, "", "", true,
       false, http_limits::kMaxAuthorizationSteps},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.challenge + (c.side == C::chProxy ? " (proxy)" : " (server)"));
    std::unique_ptr<TNetAuthentication> authentication;
    TNetHeaderList challenges;
    for (std::string rest = c.challenge; !rest.empty();) {
      const size_t end = rest.find('\n');
      challenges.Add(rest.substr(0, end));
      rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    }
    TNetOnSelectAuthorization onSelect = [&](TObject*, TNetAuthenticationClass& scheme,
                                             const TNetHeaderList& lines) {
      EXPECT_EQ(&lines, &challenges);
      if (c.selectDropsScheme) scheme = TNetAuthenticationClass();
    };
    int asked = 0;
    TNetOnAuthorization onAuthorize;
    if (c.handler != THandler::none)
      onAuthorize = [&](TObject*, TNetAuthentication* a, bool& handled) {
        ++asked;
        handled = c.handler != THandler::refuses;
        if (c.handler != THandler::givesBob) return;
        a->AssignUser("bob");
        a->AssignPassword("secret");
      };
    std::string user = c.user, password = c.password;
    bool given = false;
    TNetAuthorizationParty party{.Authentication = authentication,
                                 .Challenges = challenges,
                                 .OnSelect = onSelect,
                                 .OnAuthorize = onAuthorize,
                                 .User = user,
                                 .Password = password,
                                 .Challenger = c.side,
                                 .CredentialsGiven = c.side == C::chServer ? &given : nullptr};
    EXPECT_EQ(RunAuthorizationDialogue(nullptr, party), c.resend);
    EXPECT_EQ(user, c.userAfter);
    EXPECT_EQ(password, c.passwordAfter);
    EXPECT_EQ(authentication != nullptr, c.schemeKept);
    EXPECT_EQ(given, c.credentialsGiven);
    EXPECT_EQ(asked, c.asked);
    if (authentication && c.side == C::chServer) {
      EXPECT_EQ(authentication->AuthValues.ValueOf("Authorization"),
                c.user.empty() ? "Basic Og==" : "Basic dTpwdw==");
    }
  }
}
