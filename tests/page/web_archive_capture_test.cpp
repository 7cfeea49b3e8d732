#include "page/web_archive_capture.h"

#include <gtest/gtest.h>

namespace {

TEST(WebArchiveCapture, CaptureAddressesAndTheirRawForm) {
  const struct {
    const char* Address;
    const char* Raw;  // nullptr: not a capture
    const char* Original;
  } rows[] = {
      {"http://ar.example/web/20090315000000/http://g.example/play.html",
       "http://ar.example/web/20090315000000id_/http://g.example/play.html",
       "http://g.example/play.html"},
      {"http://ar.example:81/web/20090315000000im_/https://g.example/a.swf?x=1",
       "http://ar.example:81/web/20090315000000id_/https://g.example/a.swf?x=1",
       "https://g.example/a.swf?x=1"},
      {"http://ar.example/web/20090315000000id_/g.example/a.swf",
       "http://ar.example/web/20090315000000id_/http://g.example/a.swf", "http://g.example/a.swf"},
      {"http://ar.example/web/2009031500000/http://g.example/a.swf", nullptr, nullptr},
      {"http://ar.example/web/20090315000000X/http://g.example/a.swf", nullptr, nullptr},
      {"http://ar.example/web/20090315000000/", nullptr, nullptr},
      {"http://ar.example/wab/20090315000000/http://g.example/a.swf", nullptr, nullptr},
      {"/web/20090315000000/http://g.example/a.swf", nullptr, nullptr},
  };
  for (const auto& row : rows) {
    TWebArchiveCapture capture;
    const bool parsed = TWebArchiveCapture::Parse(row.Address, capture);
    EXPECT_EQ(parsed, row.Raw != nullptr) << row.Address;
    EXPECT_EQ(RawCaptureAddress(row.Address), row.Raw ? row.Raw : row.Address);
    if (parsed) {
      EXPECT_EQ(capture.Original, row.Original);
    }
  }
}

}  // namespace
