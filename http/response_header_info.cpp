#include "http/response_header_info.h"

#include <limits>

#include "base/exception.h"
#include "base/text.h"
#include "uri/token.h"

namespace {

// A bound of "Content-Range". Text that is not a number of the field's range fails the
// response with the conversion error rather than wrapping into a wrong position.
uint32_t ContentRangeBound(const std::string& text) {
  const int64_t value = StrToInt64(text);
  if (value < 0 || value > std::numeric_limits<uint32_t>::max())
    throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
  return static_cast<uint32_t>(value);
}

}  // namespace

TNetResponseHeaderInfo::TNetResponseHeaderInfo() {
  TNetResponseHeaderInfo::ResetFields();
}

void TNetResponseHeaderInfo::ReadHeaderFields() {
  Location = HeaderLines.ValueOf("Location");
  Server = HeaderLines.ValueOf("Server");
  ProxyConnection = HeaderLines.ValueOf("Proxy-Connection");
  std::string range = HeaderLines.ValueOf("Content-Range");
  if (!range.empty()) {
    TakeToken(range, " ");  // the unit
    ContentRangeStart = ContentRangeBound(TakeToken(range, "-"));
    ContentRangeEnd = ContentRangeBound(TakeToken(range, "/"));
  }
  WWWAuthenticate.Clear();
  HeaderLines.ExtractValues("WWW-Authenticate", &WWWAuthenticate);
  ProxyAuthenticate.Clear();
  HeaderLines.ExtractValues("Proxy-Authenticate", &ProxyAuthenticate);
  TNetEntityHeaderInfo::ReadHeaderFields();
}

void TNetResponseHeaderInfo::ResetFields() {
  TNetEntityHeaderInfo::ResetFields();
  Location.clear();
  Server.clear();
  WWWAuthenticate.Clear();
  ProxyAuthenticate.Clear();
}
