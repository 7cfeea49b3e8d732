#include "uri/internet_date.h"

#include <cmath>
#include <ctime>

#include "base/lead_bytes.h"
#include "base/net_exceptions.h"
#include "base/text.h"
#include "uri/token.h"

namespace {

const char* const kWeekDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsWeekDayName(const std::string& text) {
  if (text.size() < 3) return false;
  const std::string head = UpperCase(text.substr(0, 3));
  for (const char* name : kWeekDays)
    if (head == UpperCase(name)) return true;
  return false;
}

// 1 to 12 for a three-letter month abbreviation (any case), 0 for anything else.
int MonthNumber(const std::string& token) {
  const std::string upper = UpperCase(token);
  for (int i = 0; i < 12; ++i)
    if (upper == UpperCase(kMonths[i])) return i + 1;
  return 0;
}

// A time of day added to a date; before day 0 the day count is negative and the time of
// day is still counted forward from the start of that day.
TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - time : date + time;
}

}  // namespace

TDateTime ParseInternetDate(std::string& text) {
  text = Trim(text);
  if (text.empty()) return 0;

  if (IsWeekDayName(text)) {
    TakeToken(text, " ");
    text = TrimLeft(text);
  }

  const int dash = Pos("-", text);
  const std::string separator = dash > 1 && dash < Pos(" ", text) ? "-" : " ";

  int day, month;
  auto readToken = [&]() {
    std::string token = TakeToken(text, separator);
    text = TrimLeft(text);
    return token;
  };
  if (MonthNumber(PeekToken(text, separator)) != 0) {
    month = MonthNumber(readToken());
    day = StrToIntDef(readToken(), 1);
  } else {
    day = StrToIntDef(readToken(), 1);
    month = MonthNumber(readToken());
  }

  std::string yearToken = TakeToken(text, " ");
  int year = StrToIntDef(yearToken, 1900);
  if (year == 1900) {
    // The asctime form has the time before the year: read the year from the rest, and the
    // time from the token just taken.
    year = StrToIntDef(text, 1900);
    text = yearToken;
  }
  if (year < 80)
    year += 2000;
  else if (year <= 99)
    year += 1900;

  TDateTime date;
  if (!TryEncodeDate(year, month, day, date)) return 0;

  if (Pos(":", text) > 0) {
    std::string clock = TakeToken(text, " ");
    const int hour = StrToIntDef(TakeToken(clock, ":"), 0);
    const int minute = StrToIntDef(TakeToken(clock, ":"), 0);
    const int second = StrToIntDef(clock, 0);
    TDateTime time;
    if (!TryEncodeTime(hour, minute, second, 0, time)) return 0;
    date = ComposeDateTime(date, time);
  }
  text = TrimLeft(text);
  return date;
}

TDateTime ParseZoneOffset(const std::string& text) {
  const std::string zone = Trim(text).substr(0, 5);
  if (zone.empty() || (zone[0] != '+' && zone[0] != '-')) return 0;
  int hours, minutes;
  if (zone.size() < 5 || !TryStrToInt(zone.substr(1, 2), hours) ||
      !TryStrToInt(zone.substr(3, 2), minutes))
    return 0;
  TDateTime offset;
  if (!TryEncodeTime(hours, minutes, 0, 0, offset)) return 0;
  return zone[0] == '-' ? -offset : offset;
}

TDateTime InternetDateToLocal(const std::string& text) {
  std::string rest = text;
  const TDateTime d = ParseInternetDate(rest);
  // No date stays no date: adding the zone offsets to it would make it look like a real
  // moment in 1899.
  if (d == 0) return 0;
  const TDateTime offset = rest.size() > 4 ? ParseZoneOffset(rest) : 0;
  return ClampDateTime(d - offset + LocalOffsetFromUTC());
}

TDateTime LocalOffsetFromUTC() {
  const time_t now = time(nullptr);
  tm local{};
  if (now == static_cast<time_t>(-1) || localtime_r(&now, &local) == nullptr)
    throw ENetFailedToRetreiveTimeZoneInfo("Failed attempting to retrieve time zone information.");
  // Bias in minutes, UTC minus local.
  const long bias = -(local.tm_gmtoff / 60);
  const long magnitude = bias < 0 ? -bias : bias;
  TDateTime offset;
  if (!TryEncodeTime(static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60), 0, 0,
                     offset))
    throw ENetFailedToRetreiveTimeZoneInfo("Failed attempting to retrieve time zone information.");
  return bias > 0 ? -offset : offset;
}

std::string FormatZoneOffset(TDateTime offset, bool isGMT) {
  if (offset == 0 && isGMT) return "GMT";
  int hour, minute, second, msec;
  DecodeTime(std::fabs(offset), hour, minute, second, msec);
  std::string result = Format(" %.2d%.2d", hour, minute);
  result[0] = offset >= 0 ? '+' : '-';
  return result;
}

std::string FormatInternetDate(TDateTime d, bool isGMT) {
  d = ClampDateTime(d);
  int year, month, day, hour, minute, second, msec;
  DecodeDate(d, year, month, day);
  DecodeTime(d, hour, minute, second, msec);
  const std::string clock = Format("%.2d:%.2d:%.2d", hour, minute, second);
  return Format("%s, %d %s %d %s %s", kWeekDays[DayOfWeek(d) - 1], day, kMonths[month - 1], year,
                clock.c_str(), FormatZoneOffset(LocalOffsetFromUTC(), isGMT).c_str());
}
