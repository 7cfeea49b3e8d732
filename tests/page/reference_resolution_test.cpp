#include "page/reference_resolution.h"

#include <gtest/gtest.h>

namespace {

TEST(ReferenceResolution, ResolvesAsBrowsersDo) {
  const struct {
    const char* Base;
    const char* Reference;
    const char* Expected;
  } rows[] = {
      {"http://a.example/b/c/d.html", "g.swf", "http://a.example/b/c/g.swf"},
      {"http://a.example/b/c/d.html", "./g.swf", "http://a.example/b/c/g.swf"},
      {"http://a.example/b/c/d.html", "../g.swf", "http://a.example/b/g.swf"},
      {"http://a.example/b/c/d.html", "../../../../g.swf", "http://a.example/g.swf"},
      {"http://a.example/b/c/d.html", "/flash/g.swf", "http://a.example/flash/g.swf"},
      {"http://a.example/b/c/d.html", "//cdn.example/g.swf", "http://cdn.example/g.swf"},
      {"https://a.example/b/c/d.html", "//cdn.example/g.swf", "https://cdn.example/g.swf"},
      {"http://a.example/b/c/d.html", "?x=1", "http://a.example/b/c/d.html?x=1"},
      {"http://a.example/b/c/d.html?q", "g.swf?level=2", "http://a.example/b/c/g.swf?level=2"},
      {"http://a.example:8080", "g.swf", "http://a.example:8080/g.swf"},
      {"http://a.example/b/", "c/./d/../g.swf", "http://a.example/b/c/g.swf"},
      {"http://a.example/b/", "FTP://F.example/x/../g.swf", "FTP://F.example/g.swf"},
      {"a.example/b/page.html", "g.swf", "http://a.example/b/g.swf"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(ResolveReference(row.Base, row.Reference), row.Expected)
        << row.Base << " + " << row.Reference;
}

TEST(ReferenceResolution, AnAddressWithASchemeLosesOnlyItsDotSegments) {
  const struct {
    const char* Reference;
    const char* Expected;
  } rows[] = {
      {"http://h.example/flash/g.swf?v=../x#./y", "http://h.example/flash/g.swf?v=../x#./y"},
      {"http://h.example/a.b/.hidden.swf", "http://h.example/a.b/.hidden.swf"},
      {"http://h.example/a/./b/../g.swf", "http://h.example/a/g.swf"},
      {"http://h.example/a/..", "http://h.example/"},
      {"http://h.example/a/.", "http://h.example/a/"},
      {"http:./g.swf", "http:g.swf"},
      {"http://h.example//g.swf", "http://h.example//g.swf"},
      {"http://h.example", "http://h.example"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(ResolveReference("http://base.example/p/", row.Reference), row.Expected)
        << row.Reference;
}

}  // namespace
