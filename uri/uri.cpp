#include "uri/uri.h"

#include <vector>

#include "base/lead_bytes.h"
#include "base/net_exceptions.h"
#include "uri/token.h"

namespace {

// Backslashes become slashes; the second byte of a double-byte character is never touched.
std::string ConvertBackslashes(const std::string& text) {
  std::string result = text;
  for (size_t i = 0; i < result.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(result[i]);
    if (IsLeadByte(c)) {
      ++i;
    } else if (c == '\\') {
      result[i] = '/';
    }
  }
  return result;
}

// Whether the text's last character(s) are `tail`; a trail byte that looks like it is no match.
bool EndsWith(const std::string& text, const std::string& tail) {
  if (tail.empty()) return true;
  if (text.size() < tail.size()) return false;
  const size_t at = text.size() - tail.size();
  if (text.compare(at, tail.size(), tail) != 0) return false;
  if (!CodePageHasLeadBytes()) return true;
  size_t i = 0;
  while (i < at)
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  return i == at;
}

// 1-based position where the query starts: its "?", or failing that an "=".
int QueryStart(const std::string& path) {
  const int q = Pos("?", path);
  return q != 0 ? q : Pos("=", path);
}

}  // namespace

TNetURI::TNetURI(const std::string& address) {
  if (!address.empty()) ParseAddress(address);
}

void TNetURI::ParseAddress(const std::string& address) {
  FullText = ConvertBackslashes(address);
  std::string rest = FullText;
  DocumentName.clear();
  Scheme.clear();
  PortText.clear();
  Directory.clear();
  HostName.clear();
  Fragment.clear();
  AuthUser.clear();
  AuthPassword.clear();
  QueryText.clear();

  const int schemeEnd = Pos("://", rest);
  if (schemeEnd != 0) {
    Scheme = rest.substr(0, static_cast<size_t>(schemeEnd) - 1);
    rest.erase(0, static_cast<size_t>(schemeEnd) + 2);
    std::string authority = TakeToken(rest, "/");
    const int at = Pos("@", authority);
    if (at != 0) {
      AuthPassword = authority.substr(0, static_cast<size_t>(at) - 1);
      authority.erase(0, static_cast<size_t>(at));
    }
    AuthUser = TakeToken(AuthPassword, ":");
    if (AuthUser.empty()) AuthPassword.clear();
    HostName = TakeToken(authority, ":");
    PortText = std::move(authority);
  }

  const int q = QueryStart(rest);
  const int p = q > 0 ? FindLast("/", rest, q) : FindLast("/", rest);
  if (schemeEnd != 0) Directory.push_back('/');
  Directory.append(rest, 0, static_cast<size_t>(p));
  if (q == 0) {
    DocumentName = rest.substr(static_cast<size_t>(p));
  } else {
    DocumentName = rest.substr(static_cast<size_t>(p), static_cast<size_t>(q - 1 - p));
    QueryText = rest.substr(static_cast<size_t>(q) - 1);
  }

  // Only an address with a scheme has its fragment split off the document name.
  if (schemeEnd != 0) {
    Fragment = std::move(DocumentName);
    DocumentName = TakeToken(Fragment, "#");
  }
  if (Fragment.empty()) {
    Fragment = std::move(QueryText);
    QueryText = TakeToken(Fragment, "#");
  }
}

std::string TNetURI::ComposeAddress(TNetURIOptionalFields options) const {
  if (Scheme.empty()) throw ENetURIException("Protocol field is empty");
  std::string result = Scheme + "://";
  if (!AuthUser.empty() && options.Contains(TNetURIOptionalField::ofUserInfo)) {
    result += AuthUser;
    if (!AuthPassword.empty()) result += ":" + AuthPassword;
    result += "@";
  }
  if (HostName.empty()) throw ENetURIException("Host field is empty");
  result += HostName;
  if (!PortText.empty()) result += ":" + PortText;
  result += Directory;
  result += DocumentName;
  result += QueryText;
  if (!Fragment.empty() && options.Contains(TNetURIOptionalField::ofFragment))
    result += "#" + Fragment;
  return result;
}

std::string TNetURI::ComposeRequestAddress() {
  FullText = ComposeAddress({TNetURIOptionalField::ofUserInfo, TNetURIOptionalField::ofFragment});
  return ComposeAddress({});
}

std::string MergePath(const std::string& basePath, const std::string& newPath,
                      const std::string& delimiter) {
  if (!delimiter.empty() && Pos(delimiter, newPath) == 1) return newPath;
  const bool keepTrail = newPath.empty() || EndsWith(newPath, delimiter);

  std::string work = basePath;
  if (!work.empty() && !EndsWith(work, delimiter)) work += delimiter;
  work += newPath;

  // Where each delimiter of the result starts: tells in constant time whether the result ends
  // with a delimiter and where the segment before it begins, without mistaking the second byte
  // of a double-byte character for one.
  std::string result;
  std::vector<size_t> delimiters;
  const auto endsWithDelimiter = [&] {
    return !delimiters.empty() && delimiters.back() + delimiter.size() == result.size();
  };
  size_t i = 0;
  while (i < work.size()) {
    if (!delimiter.empty() && work.compare(i, delimiter.size(), delimiter) == 0) {
      if (!endsWithDelimiter()) {
        delimiters.push_back(result.size());
        result += delimiter;
      }
      i += delimiter.size();
    } else if (work[i] == '.' && endsWithDelimiter() && i + 1 < work.size() && work[i + 1] == '.') {
      // ".." climbs: drop the delimiter at the end and the segment before it.
      delimiters.pop_back();
      result.resize(delimiters.empty() ? 0 : delimiters.back() + delimiter.size());
      i += 2;
    } else {
      const size_t length =
          (IsLeadByte(static_cast<unsigned char>(work[i])) && i + 1 < work.size()) ? 2 : 1;
      result.append(work, i, length);
      i += length;
    }
  }

  if (result != delimiter && endsWithDelimiter() && !keepTrail) {
    result.resize(delimiters.back());
  }
  return result;
}
