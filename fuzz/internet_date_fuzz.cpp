// Dates as found in "Expires", "Date", "Last-Modified" and cookie expiry texts: parsing,
// the conversion to local time, and writing a parsed date back out.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/exception.h"
#include "fuzz/fuzz_input.h"
#include "uri/internet_date.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input(data, size);
  std::string text = input.Text();
  const TDateTime parsed = ParseInternetDate(text);
  ParseZoneOffset(text);
  const TDateTime local = InternetDateToLocal(input.Text());
  // The reader gives a date of the calendar or 0, never something the formatter cannot
  // write.
  if (!std::isfinite(parsed) || !std::isfinite(local)) std::abort();
  FormatInternetDate(parsed, true);
  FormatInternetDate(local, false);
  return 0;
}
