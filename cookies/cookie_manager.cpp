#include "cookies/cookie_manager.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/date_time.h"
#include "base/exception.h"
#include "base/text.h"
#include "uri/internet_date.h"

namespace {

// A stored domain belongs to the host itself or to a host below it; a leading "." only
// says that hosts below are meant too. A mere substring match would hand the cookie to
// unrelated sites.
bool DomainAppliesTo(const std::string& domain, const std::string& host) {
  const std::string bare = !domain.empty() && domain[0] == '.' ? domain.substr(1) : domain;
  if (bare.empty()) return false;
  if (SameText(host, bare)) return true;
  if (host.size() <= bare.size()) return false;
  const size_t dot = host.size() - bare.size() - 1;
  return host[dot] == '.' && SameText(host.substr(dot + 1), bare);
}

bool PathAppliesTo(const std::string& path, const std::string& directory) {
  return !path.empty() && directory.compare(0, path.size(), path) == 0;
}

// The directory part of the setting address, up to and including its last "/".
std::string DefaultPath(const std::string& directory) {
  const size_t slash = directory.rfind('/');
  return slash == std::string::npos ? std::string("/") : directory.substr(0, slash + 1);
}

}  // namespace

TNetCookieManager::TNetCookieManager(TComponent* owner) : TNetCookieManager(owner, nullptr) {}

TNetCookieManager::TNetCookieManager(TComponent* owner, TOnManagerEvent onCreate)
    : TNetBaseComponent(owner),
      OnCreate(std::move(onCreate)),
      stored_cookies_(std::make_unique<TNetCookies>(this)) {
  NotifyCreate();
}

TNetCookieManager::~TNetCookieManager() {
  try {
    RemoveExpiredCookies();
  } catch (const Exception&) {
    // Without zone information nothing can be judged expired; the store goes anyway.
  }
  NotifyDestroy();
  stored_cookies_.reset();
}

void TNetCookieManager::NotifyCreate() {
  if (OnCreate) OnCreate(this, stored_cookies_.get());
}

void TNetCookieManager::NotifyDestroy() {
  if (OnDestroy) OnDestroy(this, stored_cookies_.get());
}

bool TNetCookieManager::AskNewCookie(TNetCookieRFC2109* cookie) {
  bool accept = true;
  if (OnNewCookie) OnNewCookie(this, cookie, accept);
  return accept;
}

void TNetCookieManager::AddServerCookie(const std::string& cookie, const std::string& serverHost,
                                        const std::string& directory) {
  AcceptCookie(stored_cookies_->AddRFC2109(), cookie, serverHost, directory);
}

void TNetCookieManager::AddServerCookie2(const std::string& cookie, const std::string& serverHost,
                                         const std::string& directory) {
  AcceptCookie(stored_cookies_->AddRFC2965(), cookie, serverHost, directory);
}

void TNetCookieManager::AcceptCookie(TNetCookieRFC2109* cookie, const std::string& text,
                                     const std::string& serverHost, const std::string& directory) {
  if (text.size() > kMaxCookieLength) {
    stored_cookies_->Extract(cookie);
    return;
  }
  bool store = false;
  try {
    cookie->ParseCookieText(text);
    if (cookie->CookieDomain.empty()) cookie->CookieDomain = serverHost;
    if (cookie->CookiePath.empty()) cookie->CookiePath = DefaultPath(directory);
    store = cookie->IsValidFor(serverHost) && AskNewCookie(cookie);
  } catch (...) {
    // A record that failed to parse would otherwise stay in the collection for good.
    stored_cookies_->Extract(cookie);
    throw;
  }
  if (store)
    stored_cookies_->StoreCookie(cookie);
  else
    stored_cookies_->Extract(cookie);
}

void TNetCookieManager::RemoveExpiredCookies() {
  TNetCookieLockGuard guard(*stored_cookies_, TNetCookieAccess::lockWrite);
  TNetCookieList* index = guard.DomainIndex();
  const TDateTime now = Now();
  for (int i = 0; i < index->Count(); ++i) {
    TNetCookieList* names = index->CookieList(i);
    for (int j = names->Count() - 1; j >= 0; --j) {
      TNetNetscapeCookie* cookie = names->Cookie(j);
      if (!cookie->ExpiryText().empty() && now > InternetDateToLocal(cookie->ExpiryText()))
        stored_cookies_->DestroyCookie(cookie);
    }
  }
}

std::string TNetCookieManager::BuildCookieHeader(const TNetURI& uri, bool secure) {
  RemoveExpiredCookies();
  TNetCookieLockGuard guard(*stored_cookies_, TNetCookieAccess::lockRead);
  TNetCookieList* index = guard.DomainIndex();
  if (index->Count() == 0) return std::string();

  std::vector<TNetNetscapeCookie*> chosen;
  for (int i = 0; i < index->Count(); ++i) {
    if (!DomainAppliesTo(index->Get(i), uri.HostName)) continue;
    TNetCookieList* names = index->CookieList(i);
    for (int j = names->Count() - 1; j >= 0; --j) {
      TNetNetscapeCookie* cookie = names->Cookie(j);
      if (PathAppliesTo(cookie->CookiePath, uri.Directory) && (!cookie->SecureOnly || secure) &&
          !cookie->CookieValue.empty())
        chosen.push_back(cookie);
    }
  }
  // Longest (and alphabetically greatest) paths first; equal paths in the order found.
  std::stable_sort(chosen.begin(), chosen.end(), [](const auto* a, const auto* b) {
    return CompareText(a->CookiePath, b->CookiePath) > 0;
  });
  std::string header;
  for (TNetNetscapeCookie* cookie : chosen) {
    if (!header.empty()) header += "; ";
    header += cookie->CookieName + "=" + cookie->CookieValue;
    stored_cookies_->MarkUsed(cookie);
  }
  return header;
}
