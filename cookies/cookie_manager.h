// The cookie store of the HTTP client: takes the "Set-cookie" and "Set-cookie2" values of
// every response, keeps the accepted cookies, drops expired ones and writes the value of the
// "Cookie" request header for an address.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/net_base_component.h"
#include "cookies/cookies.h"
#include "uri/uri.h"

using TOnManagerEvent = std::function<void(TObject* ASender, TNetCookies* ACookieCollection)>;
using TOnNewCookieEvent =
    std::function<void(TObject* ASender, TNetCookieRFC2109* ACookie, bool& VAccept)>;

class TNetCookieManager : public TNetBaseComponent {
 public:
  explicit TNetCookieManager(TComponent* owner = nullptr);
  // Events are assigned after construction; this form lets OnCreate see the construction.
  TNetCookieManager(TComponent* owner, TOnManagerEvent onCreate);
  // Removes expired cookies, fires OnDestroy, then frees the collection.
  ~TNetCookieManager() override;

  // One "Set-cookie" / "Set-cookie2" value received from `serverHost`. A cookie without a
  // path takes `directory` (the directory of the address that set it) up to its last "/".
  // A value longer than kMaxCookieLength is dropped like an invalid cookie.
  void AddServerCookie(const std::string& cookie, const std::string& serverHost,
                       const std::string& directory = "/");
  void AddServerCookie2(const std::string& cookie, const std::string& serverHost,
                        const std::string& directory = "/");
  // The "Cookie" header value for the address; empty when no cookie applies. Secure cookies
  // go only over a secure channel.
  std::string BuildCookieHeader(const TNetURI& uri, bool secure);
  // Destroys every stored cookie whose expiry has passed.
  void RemoveExpiredCookies();

  TNetCookies* StoredCookies() const { return stored_cookies_.get(); }

  TOnManagerEvent OnCreate;
  TOnManagerEvent OnDestroy;
  // Asked before a valid cookie is stored; clearing VAccept drops it.
  TOnNewCookieEvent OnNewCookie;

 protected:
  virtual void NotifyCreate();
  virtual void NotifyDestroy();
  virtual bool AskNewCookie(TNetCookieRFC2109* cookie);

 private:
  void AcceptCookie(TNetCookieRFC2109* cookie, const std::string& text,
                    const std::string& serverHost, const std::string& directory);
  std::unique_ptr<TNetCookies> stored_cookies_;
};
