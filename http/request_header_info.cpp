#include "http/request_header_info.h"

#include <limits>

#include "base/text.h"
#include "http/basic_authentication.h"
#include "uri/internet_date.h"
#include "uri/token.h"

namespace {

// A range bound sent by a client: anything that is not a number of the field's range is 0.
uint32_t RangeBoundOrZero(const std::string& text) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value) || value < 0 || value > std::numeric_limits<uint32_t>::max())
    return 0;
  return static_cast<uint32_t>(value);
}

}  // namespace

TNetRequestHeaderInfo::TNetRequestHeaderInfo() {
  TNetRequestHeaderInfo::ResetFields();
}

void TNetRequestHeaderInfo::AssignTo(TNetEntityHeaderInfo& destination) const {
  auto* request = dynamic_cast<TNetRequestHeaderInfo*>(&destination);
  if (request == nullptr) {
    TNetEntityHeaderInfo::AssignTo(destination);
    return;
  }
  if (request == this) return;
  request->Accept = Accept;
  request->AcceptCharSet = AcceptCharSet;
  request->AcceptEncoding = AcceptEncoding;
  request->AcceptLanguage = AcceptLanguage;
  request->From = From;
  request->Password = Password;
  request->Referer = Referer;
  request->UserAgent = UserAgent;
  request->Username = Username;
  request->BasicAuthentication = BasicAuthentication;
}

void TNetRequestHeaderInfo::BuildHeaderLines() {
  TNetEntityHeaderInfo::BuildHeaderLines();
  TNetHeaderList& lines = HeaderLines;
  if (!ProxyConnection.empty()) lines.SetValueOf("Proxy-Connection", ProxyConnection);
  if (!Host.empty()) lines.SetValueOf("Host", Host);
  if (!Accept.empty()) lines.SetValueOf("Accept", Accept);
  if (!AcceptCharSet.empty()) lines.SetValueOf("Accept-Charset", AcceptCharSet);
  if (!AcceptEncoding.empty()) lines.SetValueOf("Accept-Encoding", AcceptEncoding);
  if (!AcceptLanguage.empty()) lines.SetValueOf("Accept-Language", AcceptLanguage);
  if (!From.empty()) lines.SetValueOf("From", From);
  if (!Referer.empty()) lines.SetValueOf("Referer", Referer);
  if (!UserAgent.empty()) lines.SetValueOf("User-Agent", UserAgent);
  if (LastModified > 0)
    lines.SetValueOf("If-Modified-Since", FormatInternetDate(LastModified, false));
  if (ContentRangeStart != 0 || ContentRangeEnd != 0) {
    std::string range = "bytes=" + IntToStr(ContentRangeStart) + "-";
    if (ContentRangeEnd != 0) range += IntToStr(ContentRangeEnd);
    lines.SetValueOf("Range", range);
  }
  if (!Authentication && BasicAuthentication) {
    // Kept for later requests.
    Authentication = std::make_unique<TNetBasicAuthentication>();
    Authentication->AssignUser(Username);
    Authentication->AssignPassword(Password);
  }
  if (Authentication) {
    const std::string value = Authentication->AuthorizationValue();
    if (!value.empty()) lines.SetValueOf("Authorization", value);
  }
}

void TNetRequestHeaderInfo::ReadHeaderFields() {
  Accept = HeaderLines.ValueOf("Accept");
  AcceptCharSet = HeaderLines.ValueOf("Accept-Charset");
  AcceptEncoding = HeaderLines.ValueOf("Accept-Encoding");
  AcceptLanguage = HeaderLines.ValueOf("Accept-Language");
  Host = HeaderLines.ValueOf("Host");
  From = HeaderLines.ValueOf("From");
  Referer = HeaderLines.ValueOf("Referer");
  UserAgent = HeaderLines.ValueOf("User-Agent");
  std::string range = HeaderLines.ValueOf("Range");
  if (!range.empty()) {
    TakeToken(range, "=");
    ContentRangeStart = RangeBoundOrZero(TakeToken(range, "-"));
    ContentRangeEnd = RangeBoundOrZero(TakeToken(range, " "));
  }
  TNetEntityHeaderInfo::ReadHeaderFields();
}

void TNetRequestHeaderInfo::ResetFields() {
  Accept = DefaultAccept;
  AcceptCharSet.clear();
  UserAgent = DefaultUserAgent;
  BasicAuthentication = false;
  TNetEntityHeaderInfo::ResetFields();
}
