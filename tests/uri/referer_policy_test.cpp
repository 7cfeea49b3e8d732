#include "uri/referer_policy.h"

#include <gtest/gtest.h>

namespace {

TEST(RefererPolicy, NamesThePageUnlessASecurePageWouldLeakToPlainHttp) {
  const struct {
    const char* From;
    const char* Target;
    const char* Expected;
  } rows[] = {
      {"http://g.example/play.html", "http://cdn.example/a.swf", "http://g.example/play.html"},
      {"http://g.example/play.html", "https://cdn.example/a.swf", "http://g.example/play.html"},
      {"https://g.example/play.html", "https://cdn.example/a.swf", "https://g.example/play.html"},
      {"HTTPS://g.example/play.html", "http://cdn.example/a.swf", ""},
      {"https://g.example/play.html", "HTTP://cdn.example/a.swf", ""},
      {"http://g.example/play.html?p=1#top", "http://g.example/a.swf",
       "http://g.example/play.html?p=1"},
      {"http://user:pw@g.example/play.html", "http://g.example/a.swf",
       "http://g.example/play.html"},
      {"http://g.example/a@b.html", "http://g.example/a.swf", "http://g.example/a@b.html"},
      {"", "http://g.example/a.swf", ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(RefererFor(row.From, row.Target), row.Expected) << row.From << " -> " << row.Target;
}

}  // namespace
