// The fields of a request head, written as header lines in a fixed order before each request.
#pragma once

#include <memory>
#include <string>

#include "http/authentication.h"
#include "http/entity_header_info.h"

class TNetRequestHeaderInfo : public TNetEntityHeaderInfo {
 public:
  static constexpr const char* DefaultAccept = "text/html, */*";
  static constexpr const char* DefaultUserAgent = "Mozilla/3.0 (compatible; Net Library)";

  TNetRequestHeaderInfo();

  std::string Accept = DefaultAccept;
  std::string AcceptCharSet;
  std::string AcceptEncoding;
  std::string AcceptLanguage;
  bool BasicAuthentication = false;
  std::string Host;
  std::string From;
  std::string Password;
  std::string Referer;
  std::string UserAgent = DefaultUserAgent;
  std::string Username;
  std::string ProxyConnection;

  // The scheme that produces "Authorization"; created here for unasked Basic credentials or
  // by the client after a challenge.
  std::unique_ptr<TNetAuthentication> Authentication;

  void BuildHeaderLines() override;
  // The server's direction: the request fields from HeaderLines.
  void ReadHeaderFields() override;
  void ResetFields() override;

 protected:
  // Into another request record only the client's preferences and credentials go.
  void AssignTo(TNetEntityHeaderInfo& destination) const override;
};
