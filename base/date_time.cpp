#include "base/date_time.h"

#include <cmath>
#include <ctime>

#include "base/exception.h"

namespace {

// Day 0 (30 December 1899) counted from 1 January 1970.
constexpr int64_t kDayZeroFromUnixEpoch = -25569;

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Whole milliseconds of a (clamped) date-time, rounded as the day count and time of day are.
int64_t TotalMilliseconds(TDateTime value) {
  return std::llround(ClampDateTime(value) * static_cast<double>(MSecsPerDay));
}

}  // namespace

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const time_t seconds = ts.tv_sec;
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) {
    return static_cast<TDateTime>(seconds) / SecsPerDay - kDayZeroFromUnixEpoch;
  }
  TDateTime date = 0, time = 0;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
  // A leap second is shown as the last second of its minute.
  TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                static_cast<int>(ts.tv_nsec / 1000000), time);
  return date + time;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  value = static_cast<TDateTime>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      kDayZeroFromUnixEpoch);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    return false;
  value = static_cast<TDateTime>(((hour * 60 + minute) * 60 + second) * 1000 + msec) /
          static_cast<TDateTime>(MSecsPerDay);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value;
  if (!TryEncodeDate(year, month, day, value))
    throw EConvertError("Invalid argument to date encode");
  return value;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime value;
  if (!TryEncodeTime(hour, minute, second, msec, value))
    throw EConvertError("Invalid argument to time encode");
  return value;
}

TDateTime ClampDateTime(TDateTime value) {
  if (std::isnan(value)) return 0;
  if (value < MinDateTime) return MinDateTime;
  if (value > MaxDateTime) return MaxDateTime;
  return value;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  const int64_t days = TotalMilliseconds(value) / MSecsPerDay;
  CivilFromDays(days + kDayZeroFromUnixEpoch, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  int64_t ms = TotalMilliseconds(value) % MSecsPerDay;
  if (ms < 0) ms = -ms;
  msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  second = static_cast<int>(ms % 60);
  ms /= 60;
  minute = static_cast<int>(ms % 60);
  hour = static_cast<int>(ms / 60);
}

int DayOfWeek(TDateTime value) {
  const int64_t z = TotalMilliseconds(value) / MSecsPerDay + kDayZeroFromUnixEpoch;
  // 1 January 1970 was a Thursday.
  const int64_t sunday0 = z >= -4 ? (z + 4) % 7 : (z + 5) % 7 + 6;
  return static_cast<int>(sunday0) + 1;
}

TDateTime IncSecondsClamped(TDateTime value, double seconds) {
  return ClampDateTime(value + seconds / static_cast<double>(SecsPerDay));
}
