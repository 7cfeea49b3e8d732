// Date-times as day counts: day 0 is 30 December 1899 and the fraction is the time of day.
// Dates before day 0 keep the time of day as a positive fraction of a negative day count.
#pragma once

#include <cstdint>

using TDateTime = double;

// The representable range: 1 January 0001 00:00:00.000 to 31 December 9999 23:59:59.999.
inline constexpr TDateTime MinDateTime = -693593.0;
inline constexpr TDateTime MaxDateTime = 2958465.99999999;

inline constexpr int64_t SecsPerDay = 86400;
inline constexpr int64_t MSecsPerDay = SecsPerDay * 1000;

// The local wall-clock time.
TDateTime Now();

// Calendar dates from year 1 to 9999; false (and `value` untouched) for anything else.
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
// Hours 0-23, minutes and seconds 0-59, milliseconds 0-999.
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& value);
// Raise EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);

// Values outside the representable range (and NaN, read as day 0) are taken as the nearest
// end of the range, so decoding never fails.
TDateTime ClampDateTime(TDateTime value);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);

// Adds a number of seconds of any size; the result stays within the representable range.
TDateTime IncSecondsClamped(TDateTime value, double seconds);
