// Cookie records: one cookie received in a "Set-cookie" or "Set-cookie2" header value, in
// the three dialects the server may speak. The store (TNetCookies) creates and owns them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/object.h"
#include "base/string_list.h"

class TNetCookies;

enum class TCookieKind { kindNetscape, kindRFC2109, kindRFC2965 };

// The ports of a "Port" attribute: a growable array written index by index.
class TNetPortList {
 public:
  int Count() const { return static_cast<int>(ports_.size()); }
  // Raise ENetException "Index out of range." outside 0..Count()-1.
  int32_t Get(int index) const;
  // Index Count() appends; any other index outside 0..Count()-1 raises as Get does.
  void Put(int index, int32_t port);
  void Clear() { ports_.clear(); }
  const std::vector<int32_t>& Items() const { return ports_; }

 private:
  std::vector<int32_t> ports_;
};

class TNetNetscapeCookie : public TObject {
 public:
  TNetNetscapeCookie() = default;
  TNetNetscapeCookie(const TNetNetscapeCookie&) = delete;
  TNetNetscapeCookie& operator=(const TNetNetscapeCookie&) = delete;

  // The collection the record belongs to; none once it has been taken out.
  TNetCookies* Collection() const { return collection_; }

  std::string SourceText;
  std::string CookieDomain;
  // The expiry date as received (or computed from a maximum age); empty = no expiry.
  const std::string& ExpiryText() const { return expiry_text_; }
  std::string CookieName;
  std::string CookiePath;
  bool SecureOnly = false;
  std::string CookieValue;
  TCookieKind CookieKind = TCookieKind::kindNetscape;

  // The cookie written out in header style.
  virtual std::string ServerText() const;
  virtual void SetExpiryText(const std::string& text);
  virtual std::string ServerCookie() const;
  // name=value, as sent in a "Cookie" request header.
  virtual std::string ClientCookie() const;
  // Reads the normalised attribute list (upper-case names, first occurrence wins).
  virtual void LoadAttributes(const TStringList& attributes);
  // Whether a server of that host may set this cookie.
  virtual bool IsValidFor(const std::string& serverHost) const;

  // Parses one header value (without the header name). The same text twice is a no-op.
  void ParseCookieText(const std::string& text);
  // Takes the content of a 2109 or 2965 record; any other source changes nothing.
  void CopyCookie(const TNetNetscapeCookie& source);

 protected:
  std::string expiry_text_;

 private:
  friend class TNetCookies;
  TNetCookies* collection_ = nullptr;
};

class TNetCookieRFC2109 : public TNetNetscapeCookie {
 public:
  TNetCookieRFC2109() { CookieKind = TCookieKind::kindRFC2109; }

  // Remaining lifetime in seconds; -1 = none.
  int64_t MaxAgeSeconds = -1;
  std::string VersionText;
  std::string CommentText;

  std::string ServerText() const override;
  // Also derives MaxAgeSeconds from the date.
  void SetExpiryText(const std::string& text) override;
  void LoadAttributes(const TStringList& attributes) override;
};

class TNetCookieRFC2965 : public TNetCookieRFC2109 {
 public:
  TNetCookieRFC2965() { CookieKind = TCookieKind::kindRFC2965; }

  std::string CommentAddress;
  bool DiscardFlag = false;
  TNetPortList PortList;

  void LoadAttributes(const TStringList& attributes) override;
};
