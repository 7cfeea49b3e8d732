#include "cookies/cookie.h"

#include <cmath>
#include <limits>
#include <unordered_map>

#include "base/date_time.h"
#include "base/lead_bytes.h"
#include "base/net_exceptions.h"
#include "base/text.h"
#include "uri/internet_date.h"
#include "uri/token.h"

namespace {

constexpr int32_t kDefaultPort = 80;

// Byte offset of the next `c` at or after `from`, stepping over double-byte characters;
// `from` must be the start of a character.
size_t FindChar(const std::string& text, char c, size_t from) {
  const bool leadBytes = CodePageHasLeadBytes();
  size_t i = from;
  while (i < text.size()) {
    if (text[i] == c) return i;
    i += leadBytes && IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return std::string::npos;
}

// Splits a header value at ";" into trimmed items. A value without ";" is split into lines.
void SplitAttributes(const std::string& text, TStringList& items) {
  size_t start = 0;
  bool any = false;
  // One pass over the text: header values may be very long.
  for (;;) {
    const size_t p = FindChar(text, ';', start);
    if (p == std::string::npos) {
      if (any && start < text.size()) items.Add(Trim(text.substr(start)));
      break;
    }
    items.Add(Trim(text.substr(start, p - start)));
    start = p + 1;
    any = true;
  }
  if (items.Count() == 0) items.SetText(text);
}

// The text before the first "=", and whether there is one.
bool SplitNameValue(const std::string& item, std::string& name, std::string& value) {
  const int p = Pos("=", item);
  if (p == 0) return false;
  name = item.substr(0, static_cast<size_t>(p) - 1);
  value = item.substr(static_cast<size_t>(p));
  return true;
}

// A decimal number of seconds; -1 when it is not one. A number too large for 64 bits is the
// longest lifetime there is rather than none.
int64_t ParseMaxAge(const std::string& text) {
  int64_t value;
  if (TryStrToInt64(text, value)) return value;
  std::string digits = TrimLeft(text);
  if (!digits.empty() && digits[0] == '+') digits.erase(0, 1);
  return ParseDecimalDigits(digits, value) ? std::numeric_limits<int64_t>::max() : -1;
}

bool PassesIPTest(const std::string& host) {
  std::string rest = Trim(host);
  for (int i = 0; i < 4; ++i) {
    const std::string part = TakeToken(rest, ".");
    int64_t value = 0;
    if (part.size() > 3 || !ParseDecimalDigits(part, value) || value > 255) return false;
  }
  return true;
}

bool PassesHostNameTest(const std::string& host) {
  if (Pos(".", host) > 0 && host[0] == '.') return false;
  return !PassesIPTest(host);
}

std::string ParentDomain(const std::string& host) {
  const int p = Pos(".", host);
  return p == 0 ? host : host.substr(static_cast<size_t>(p) - 1);
}

void AddItem(std::string& text, const std::string& item) {
  if (!text.empty()) text += "; ";
  text += item;
}

void AddAttribute(std::string& text, const char* name, const std::string& value) {
  if (!value.empty()) AddItem(text, std::string(name) + "=" + value);
}

}  // namespace

int32_t TNetPortList::Get(int index) const {
  if (index < 0 || index >= Count()) throw ENetException("Index out of range.");
  return ports_[static_cast<size_t>(index)];
}

void TNetPortList::Put(int index, int32_t port) {
  if (index < 0 || index > Count()) throw ENetException("Index out of range.");
  if (index == Count())
    ports_.push_back(port);
  else
    ports_[static_cast<size_t>(index)] = port;
}

std::string TNetNetscapeCookie::ServerText() const {
  std::string text;
  AddAttribute(text, CookieName.c_str(), CookieValue);
  AddAttribute(text, "path", CookiePath);
  if (CookieKind == TCookieKind::kindNetscape) AddAttribute(text, "expires", ExpiryText());
  AddAttribute(text, "domain", CookieDomain);
  if (SecureOnly) AddItem(text, "secure");
  return text;
}

void TNetNetscapeCookie::SetExpiryText(const std::string& text) {
  expiry_text_ = text;
}

std::string TNetNetscapeCookie::ServerCookie() const {
  return ServerText();
}

std::string TNetNetscapeCookie::ClientCookie() const {
  return CookieName + "=" + CookieValue;
}

void TNetNetscapeCookie::LoadAttributes(const TStringList& attributes) {
  std::string path = attributes.Values("PATH");
  if (!path.empty() && path.front() == '"') path.erase(0, 1);
  if (!path.empty() && path.back() == '"') path.pop_back();
  CookiePath = path;
  SetExpiryText(attributes.Values("EXPIRES"));
  CookieDomain = attributes.Values("DOMAIN");
  SecureOnly = attributes.IndexOf("SECURE") >= 0;
}

bool TNetNetscapeCookie::IsValidFor(const std::string& serverHost) const {
  if (PassesIPTest(serverHost)) return CookieDomain == serverHost;
  if (PassesHostNameTest(serverHost)) {
    if (PassesHostNameTest(CookieDomain)) return CookieDomain == serverHost;
    return CookieDomain == ParentDomain(serverHost);
  }
  return SameText(CookieDomain, ParentDomain(serverHost));
}

void TNetNetscapeCookie::ParseCookieText(const std::string& text) {
  if (text == SourceText) return;
  SourceText = text;

  TStringList items;
  SplitAttributes(text, items);

  std::string name, value;
  CookieName.clear();
  CookieValue.clear();
  if (items.Count() > 0) {
    if (SplitNameValue(items.Get(0), name, value)) CookieName = name;
    for (int i = 0; i < items.Count(); ++i) {
      if (SplitNameValue(items.Get(i), name, value) && SameText(name, CookieName)) {
        CookieValue = value;
        break;
      }
    }
    items.Delete(0);
  }

  // Attribute names in upper case; the first occurrence of a name gives its value.
  std::unordered_map<std::string, std::string> firstValues;
  for (int i = 0; i < items.Count(); ++i) {
    if (SplitNameValue(items.Get(i), name, value)) firstValues.emplace(UpperCase(name), value);
  }
  for (int i = 0; i < items.Count(); ++i) {
    if (SplitNameValue(items.Get(i), name, value)) {
      const std::string upper = UpperCase(name);
      items.Put(i, upper + "=" + firstValues[upper]);
    } else {
      items.Put(i, UpperCase(items.Get(i)));
    }
  }
  LoadAttributes(items);
}

void TNetNetscapeCookie::CopyCookie(const TNetNetscapeCookie& source) {
  const auto* other = dynamic_cast<const TNetCookieRFC2109*>(&source);
  if (other == nullptr) return;
  ParseCookieText(other->ServerText());
  // The header-style text leaves out the name of a cookie with an empty value and the expiry
  // of a 2109 record; an update must not lose either (a server deletes a cookie by sending
  // it again with an empty value or a past date).
  CookieName = other->CookieName;
  CookieValue = other->CookieValue;
  CookiePath = other->CookiePath;
  CookieDomain = other->CookieDomain;
  SecureOnly = other->SecureOnly;
  expiry_text_ = other->ExpiryText();
  if (auto* self = dynamic_cast<TNetCookieRFC2109*>(this))
    self->MaxAgeSeconds = other->MaxAgeSeconds;
  CookieKind = other->CookieKind;
}

std::string TNetCookieRFC2109::ServerText() const {
  std::string text = TNetNetscapeCookie::ServerText();
  if (MaxAgeSeconds >= 0 && ExpiryText().empty())
    AddAttribute(text, "max-age", IntToStr(MaxAgeSeconds));
  AddAttribute(text, "comment", CommentText);
  AddAttribute(text, "version", VersionText);
  return text;
}

void TNetCookieRFC2109::SetExpiryText(const std::string& text) {
  if (!text.empty()) {
    try {
      const double seconds = std::trunc((InternetDateToLocal(text) - Now()) * SecsPerDay);
      // Dates are bounded, so this always fits; the check keeps the conversion defined.
      if (std::fabs(seconds) < 9.2e18) MaxAgeSeconds = static_cast<int64_t>(seconds);
    } catch (const Exception&) {
      // Without zone information the lifetime stays as it was.
    }
  }
  TNetNetscapeCookie::SetExpiryText(text);
}

void TNetCookieRFC2109::LoadAttributes(const TStringList& attributes) {
  TNetNetscapeCookie::LoadAttributes(attributes);
  MaxAgeSeconds = ParseMaxAge(attributes.Values("MAX-AGE"));
  VersionText = attributes.Values("VERSION");
  CommentText = attributes.Values("COMMENT");
  if (ExpiryText().empty()) {
    CookieKind = TCookieKind::kindNetscape;
    if (MaxAgeSeconds >= 0)
      SetExpiryText(
          FormatInternetDate(IncSecondsClamped(Now(), static_cast<double>(MaxAgeSeconds)), false));
  }
}

void TNetCookieRFC2965::LoadAttributes(const TStringList& attributes) {
  TNetCookieRFC2109::LoadAttributes(attributes);
  CommentAddress = attributes.Values("CommentURL");
  DiscardFlag = attributes.IndexOf("DISCARD") >= 0;

  const std::string port = attributes.Values("PORT");
  if (port.empty()) {
    PortList.Put(0, kDefaultPort);
    return;
  }
  if (port.front() != '"' || port.back() != '"') return;
  const std::string inner = port.size() >= 2 ? port.substr(1, port.size() - 2) : std::string();
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= inner.size()) {
    size_t end = inner.find_first_of(", ", start);
    if (end == std::string::npos) end = inner.size();
    if (end > start) items.push_back(inner.substr(start, end - start));
    start = end + 1;
  }
  if (items.empty()) {
    PortList.Put(0, kDefaultPort);
    return;
  }
  for (size_t i = 0; i < items.size(); ++i)
    PortList.Put(static_cast<int>(i), StrToInt(items[i]));
}
