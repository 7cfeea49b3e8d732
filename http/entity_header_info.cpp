#include "http/entity_header_info.h"

#include <cstdlib>

#include "base/text.h"
#include "http/response_framing.h"
#include "uri/internet_date.h"

namespace {

// True for an optional sign followed by decimal digits only, however many.
bool IsDecimalText(const std::string& text) {
  const size_t sign = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  int64_t ignored = 0;
  return ParseDecimalDigits(text.substr(sign), ignored);
}

// "Expires" may be a number of seconds from now instead of a date. Numbers beyond any
// integer type still count: they give the nearest end of the date range.
TDateTime ReadExpires(const std::string& value) {
  int64_t seconds = 0;
  if (TryStrToInt64(value, seconds)) {
    if (seconds != -1) return IncSecondsClamped(Now(), static_cast<double>(seconds));
  } else if (IsDecimalText(value)) {
    return IncSecondsClamped(Now(), std::strtod(value.c_str(), nullptr));
  }
  return InternetDateToLocal(value);
}

}  // namespace

TNetEntityHeaderInfo::TNetEntityHeaderInfo() {
  HeaderLines.FoldColumn = HeaderFoldColumn;
  TNetEntityHeaderInfo::ResetFields();
}

void TNetEntityHeaderInfo::AssignTo(TNetEntityHeaderInfo& destination) const {
  if (&destination == this) return;
  destination.HeaderLines.Assign(HeaderLines);
  destination.ContentEncoding = ContentEncoding;
  destination.ContentLanguage = ContentLanguage;
  destination.ContentLength = ContentLength;
  destination.ContentRangeEnd = ContentRangeEnd;
  destination.ContentRangeStart = ContentRangeStart;
  destination.ContentType = ContentType;
  destination.ContentVersion = ContentVersion;
  destination.Date = Date;
  destination.Expires = Expires;
  destination.LastModified = LastModified;
}

void TNetEntityHeaderInfo::BuildHeaderLines() {
  HeaderLines.Clear();
  if (!Connection.empty()) HeaderLines.SetValueOf("Connection", Connection);
  if (!ContentVersion.empty()) HeaderLines.SetValueOf("Content-Version", ContentVersion);
  if (!ContentEncoding.empty()) HeaderLines.SetValueOf("Content-Encoding", ContentEncoding);
  if (!ContentLanguage.empty()) HeaderLines.SetValueOf("Content-Language", ContentLanguage);
  if (!ContentType.empty()) HeaderLines.SetValueOf("Content-Type", ContentType);
  if (ContentLength >= 0) HeaderLines.SetValueOf("Content-Length", IntToStr(ContentLength));
  if (!CacheControl.empty()) HeaderLines.SetValueOf("Cache-control", CacheControl);
  if (Date > 0) HeaderLines.SetValueOf("Date", FormatInternetDate(Date, false));
  if (Expires > 0) HeaderLines.SetValueOf("Expires", FormatInternetDate(Expires, false));
  if (!Pragma.empty()) HeaderLines.SetValueOf("Pragma", Pragma);
  // Custom lines go in as they are, unfolded; fields written later replace them in place.
  if (CustomHeaders.Count() > 0) HeaderLines.SetText(HeaderLines.Text() + CustomHeaders.Text());
}

void TNetEntityHeaderInfo::ReadHeaderFields() {
  Connection = HeaderLines.ValueOf("Connection");
  ContentVersion = HeaderLines.ValueOf("Content-Version");
  ContentEncoding = HeaderLines.ValueOf("Content-Encoding");
  ContentLanguage = HeaderLines.ValueOf("Content-Language");
  ContentType = HeaderLines.ValueOf("Content-Type");
  ContentLength = DeclaredBodyLength(HeaderLines.ValueOf("Content-Length"));
  Date = InternetDateToLocal(HeaderLines.ValueOf("Date"));
  LastModified = InternetDateToLocal(HeaderLines.ValueOf("Last-Modified"));
  Expires = ReadExpires(HeaderLines.ValueOf("Expires"));
  Pragma = HeaderLines.ValueOf("Pragma");
}

void TNetEntityHeaderInfo::ResetFields() {
  Connection.clear();
  ContentVersion.clear();
  ContentEncoding.clear();
  ContentLanguage.clear();
  ContentType = "text/html";
  ContentLength = -1;
  ContentRangeStart = 0;
  ContentRangeEnd = 0;
  Date = 0;
  Expires = 0;
  LastModified = 0;
  HeaderLines.Clear();
}
