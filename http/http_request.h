// The client's request: the header record plus what one call sends and how.
#pragma once

#include <string>

#include "http/http_types.h"
#include "http/request_header_info.h"

class TNetCustomHTTP;
class TStream;

class TNetHTTPRequest : public TNetRequestHeaderInfo {
 public:
  explicit TNetHTTPRequest(TNetCustomHTTP* client) : client_(client) {}

  // The address given by the caller, replaced while the request is prepared by the text that
  // goes on the request line.
  std::string RequestTarget;
  TNetHTTPMethod RequestMethod = TNetHTTPMethod::hmGet;
  // Sent after the head for POST and PUT; not owned.
  TStream* BodySource = nullptr;
  TNetConnectionKind ConnectionKind = TNetConnectionKind::ckDirect;

  TNetCustomHTTP* Client() const { return client_; }

 private:
  TNetCustomHTTP* client_;
};
