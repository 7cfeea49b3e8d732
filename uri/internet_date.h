// Internet dates as found in cookie expiry texts and date-valued header fields: the parser
// that reads the RFC 1123, RFC 850 and asctime forms, the conversion to local time, and the
// formatter that writes a local date with its numeric zone.
#pragma once

#include <string>

#include "base/date_time.h"

// Reads a date from the front of `text` and leaves in `text` what follows it (the zone).
// Text that cannot be read gives 0, the "no date" value.
TDateTime ParseInternetDate(std::string& text);
// The local date-time that the text denotes; 0 when the text holds no readable date.
TDateTime InternetDateToLocal(const std::string& text);
// "Sun, 6 Nov 1994 08:49:37 +0100": the date-time as given, with the local zone offset
// ("GMT" instead when the offset is 0 and `isGMT` is set).
std::string FormatInternetDate(TDateTime d, bool isGMT);
// Local time minus UTC as a fraction of a day. Raises ENetFailedToRetreiveTimeZoneInfo.
TDateTime LocalOffsetFromUTC();
// "+hhmm" / "-hhmm" as a fraction of a day; anything else gives 0.
TDateTime ParseZoneOffset(const std::string& text);
std::string FormatZoneOffset(TDateTime offset, bool isGMT);
