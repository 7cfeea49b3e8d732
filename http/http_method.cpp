#include "http/http_types.h"

const char* MethodWord(TNetHTTPMethod method) {
  switch (method) {
    case TNetHTTPMethod::hmHead:
      return "HEAD ";
    case TNetHTTPMethod::hmGet:
      return "GET ";
    case TNetHTTPMethod::hmPost:
      return "POST ";
    case TNetHTTPMethod::hmOptions:
      return "OPTIONS ";
    case TNetHTTPMethod::hmTrace:
      return "TRACE ";
    case TNetHTTPMethod::hmPut:
      return "PUT ";
    case TNetHTTPMethod::hmDelete:
      return "DELETE ";
    case TNetHTTPMethod::hmConnect:
      return "CONNECT ";
  }
  return "";
}

bool SendsBody(TNetHTTPMethod method) {
  return method == TNetHTTPMethod::hmPost || method == TNetHTTPMethod::hmPut;
}
