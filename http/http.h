// The HTTP client component as programs place it: everything is in TNetCustomHTTP.
#pragma once

#include "http/custom_http.h"

class TNetHTTP : public TNetCustomHTTP {
 public:
  using TNetCustomHTTP::TNetCustomHTTP;
};
