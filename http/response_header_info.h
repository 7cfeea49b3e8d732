// The fields of a response head, filled from the header lines received.
#pragma once

#include <string>

#include "http/entity_header_info.h"

class TNetResponseHeaderInfo : public TNetEntityHeaderInfo {
 public:
  TNetResponseHeaderInfo();

  std::string Location;
  std::string ProxyConnection;
  // The values of every "Proxy-Authenticate" and "WWW-Authenticate" line, in order.
  TNetHeaderList ProxyAuthenticate;
  std::string Server;
  TNetHeaderList WWWAuthenticate;

  // Raises EConvertError "'%s' is not a valid integer value" for a "Content-Range" bound
  // that is not a number.
  void ReadHeaderFields() override;
  void ResetFields() override;
};
