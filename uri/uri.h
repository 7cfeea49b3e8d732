// An address split into its parts and put back together. No part is ever percent-encoded
// or decoded: the bytes the user or the page supplied travel unchanged.
#pragma once

#include <string>

#include "base/object.h"
#include "base/set.h"

// The parts of an address that composing leaves out unless asked for.
enum class TNetURIOptionalField { ofUserInfo, ofFragment };
using TNetURIOptionalFields = TSet<TNetURIOptionalField>;

class TNetURI : public TObject {
 public:
  // Parses `address` when it is non-empty; otherwise every field stays empty.
  explicit TNetURI(const std::string& address = std::string());

  // Replaces every field from the text. Accepts any text and never raises.
  void ParseAddress(const std::string& address);
  // scheme "://" [user [":" password] "@"] host [":" port] directory document query
  // ["#" fragment]. Raises ENetURIException when Scheme or HostName is empty.
  std::string ComposeAddress(TNetURIOptionalFields options) const;
  // Keeps the full form (user information and fragment) in FullText and returns the form
  // that may go on a request line through a proxy.
  std::string ComposeRequestAddress();

  std::string DocumentName;
  std::string Scheme;
  std::string FullText;
  std::string PortText;
  std::string Directory;
  std::string HostName;
  std::string Fragment;
  std::string AuthUser;
  std::string AuthPassword;
  std::string QueryText;
};

// Resolves `newPath` against `basePath`: runs of delimiters collapse, ".." climbs one segment
// (never above the root), and a trailing delimiter stays only when the new path asks for it.
std::string MergePath(const std::string& basePath, const std::string& newPath,
                      const std::string& delimiter);
