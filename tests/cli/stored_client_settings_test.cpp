#include "rescue/stored_client_settings.h"

#include <gtest/gtest.h>

#include "base/string_stream.h"
#include "http/http.h"
#include "tests/support/http_text.h"
#include "tests/support/memory_io_handler.h"

TEST(StoredClientSettings, GiveTheDownloadClientsRequest) {
  TMemoryIOHandler handler;
  TNetHTTP http;
  // Values a stored layout would overwrite.
  http.Request.UserAgent = "something else";
  http.Request.Accept = "*/*";
  http.ReadTimeout = 5;
  http.AllowCookies = false;
  http.HTTPOptions = TNetHTTPOptions{TNetHTTPOption::hoInProcessAuth};
  ApplyStoredClientSettings(http);
  EXPECT_EQ(http.ReadTimeout, 0);
  EXPECT_TRUE(http.AllowCookies);
  EXPECT_EQ(http.HTTPOptions, TNetHTTPOptions{TNetHTTPOption::hoForceEncodeParams});

  http.SetIOHandler(&handler);
  handler.Arrive(HttpResponse(200, "OK", {}, "movie"));
  TStringStream out;
  http.HttpGet("http://files.example.test/swf/clip.swf", out);
  EXPECT_EQ(out.DataString(), "movie");
  EXPECT_EQ(handler.Sent,
            "GET /swf/clip.swf HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: files.example.test\r\n"
            "Accept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Net Library)\r\n"
            "\r\n");
}
