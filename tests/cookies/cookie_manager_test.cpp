#include "cookies/cookie_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/exception.h"
#include "tests/support/time_zone.h"
#include "uri/internet_date.h"

namespace {

std::string HeaderFor(TNetCookieManager& m, const std::string& address, bool secure = false) {
  return m.BuildCookieHeader(TNetURI(address), secure);
}

int Stored(TNetCookieManager& m) {
  return m.StoredCookies()->Count();
}

TEST(CookieManagerTest, StoresAndUpdatesACookie) {
  TNetCookieManager m;
  EXPECT_EQ(HeaderFor(m, "http://h/x/y"), "");
  m.AddServerCookie("a=1; path=/", "h");
  EXPECT_EQ(HeaderFor(m, "http://h/x/y"), "a=1");
  EXPECT_EQ(m.StoredCookies()->Items(0)->CookieDomain, "h");
  m.AddServerCookie("a=2; path=/", "h");
  EXPECT_EQ(Stored(m), 1);
  EXPECT_EQ(HeaderFor(m, "http://h/x/y"), "a=2");
}

TEST(CookieManagerTest, LongerPathsComeFirst) {
  TNetCookieManager m;
  m.AddServerCookie("a=1; path=/", "h");
  m.AddServerCookie("b=1; path=/x/", "h");
  m.AddServerCookie("c=1; path=/x/", "h");
  m.AddServerCookie("d=1; path=/x/y/", "h");
  EXPECT_EQ(HeaderFor(m, "http://h/x/"), "c=1; b=1; a=1");
  EXPECT_EQ(HeaderFor(m, "http://h/x/y/z"), "d=1; c=1; b=1; a=1");
  EXPECT_EQ(HeaderFor(m, "http://h/"), "a=1");
}

TEST(CookieManagerTest, PathPrefixIsCaseSensitive) {
  TNetCookieManager m;
  m.AddServerCookie("a=1; path=/X", "h");
  EXPECT_EQ(HeaderFor(m, "http://h/x/"), "");
  EXPECT_EQ(HeaderFor(m, "http://h/X/"), "a=1");
}

TEST(CookieManagerTest, CookiesGoOnlyToTheHostsTheyBelongTo) {
  TNetCookieManager m;
  m.AddServerCookie("dot=1; path=/; domain=.d.example", "x.d.example");
  m.AddServerCookie("host=1; path=/", "x.d.example");
  const struct {
    const char* address;
    const char* header;
  } rows[] = {
      // Equal paths: domains in the order they were first stored.
      {"http://x.d.example/", "dot=1; host=1"},
      {"http://X.D.Example/", "dot=1; host=1"},
      {"http://d.example/", "dot=1"},
      {"http://y.d.example/", "dot=1"},
      {"http://a.x.d.example/", "dot=1; host=1"},
      {"http://www.d.example.net/", ""},
      {"http://notd.example/", ""},
      {"http://ax.d.example.org/", ""},
      {"http://example/", ""},
      {"http://ax.d.examplex/", ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.address);
    EXPECT_EQ(HeaderFor(m, r.address), r.header);
  }
}

TEST(CookieManagerTest, HostCookieIsNotSentToALongerName) {
  TNetCookieManager m;
  m.AddServerCookie("a=1; path=/", "x.d");
  EXPECT_EQ(HeaderFor(m, "http://x.d/"), "a=1");
  EXPECT_EQ(HeaderFor(m, "http://ax.d/"), "");
}

TEST(CookieManagerTest, CookieWithoutPathBelongsToTheSettingDirectory) {
  TNetCookieManager m;
  m.AddServerCookie("a=1", "h", "/shop/cart/");
  EXPECT_EQ(m.StoredCookies()->Items(0)->CookiePath, "/shop/cart/");
  EXPECT_EQ(HeaderFor(m, "http://h/shop/cart/"), "a=1");
  EXPECT_EQ(HeaderFor(m, "http://h/shop/cart/deep/page"), "a=1");
  EXPECT_EQ(HeaderFor(m, "http://h/shop/"), "");
  // Without the setting directory the cookie belongs to the whole host.
  m.AddServerCookie("b=1", "h");
  EXPECT_EQ(HeaderFor(m, "http://h/"), "b=1");
}

TEST(CookieManagerTest, SecureAndEmptyValues) {
  TNetCookieManager m;
  m.AddServerCookie("s=1; path=/; secure", "h");
  m.AddServerCookie("e=; path=/", "h");
  EXPECT_EQ(Stored(m), 2);
  EXPECT_EQ(HeaderFor(m, "http://h/"), "");
  EXPECT_EQ(HeaderFor(m, "https://h/", true), "s=1");
}

TEST(CookieManagerTest, ExpiredAndUnreadableExpiriesAreRemoved) {
  ScopedTimeZone tz("CET-1");
  TNetCookieManager m;
  m.AddServerCookie("old=1; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "h");
  m.AddServerCookie("bad=1; path=/; expires=someday", "h");
  m.AddServerCookie("new=1; path=/; expires=" + FormatInternetDate(Now() + 1, true), "h");
  m.AddServerCookie("age=1; path=/; max-age=3600", "h");
  m.AddServerCookie("gone=1; path=/; max-age=0", "h");
  m.AddServerCookie("session=1; path=/", "h");
  EXPECT_EQ(Stored(m), 6);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(HeaderFor(m, "http://h/"), "session=1; age=1; new=1");
  EXPECT_EQ(Stored(m), 3);
}

TEST(CookieManagerTest, AnUpdateWithAPastDateDeletesTheCookie) {
  TNetCookieManager m;
  m.AddServerCookie("sid=1; path=/; expires=" + FormatInternetDate(Now() + 1, false), "h");
  EXPECT_EQ(HeaderFor(m, "http://h/"), "sid=1");
  m.AddServerCookie("sid=; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "h");
  EXPECT_EQ(HeaderFor(m, "http://h/"), "");
  EXPECT_EQ(Stored(m), 0);
}

TEST(CookieManagerTest, InvalidDomainIsDroppedAndLeavesTheStoredCookie) {
  TNetCookieManager m;
  m.AddServerCookie("a=1; path=/; domain=.d", "x.d");
  m.AddServerCookie("a=2; path=/; domain=.d", "y.x.d");
  m.AddServerCookie("b=2; path=/; domain=other.example", "x.d");
  EXPECT_EQ(Stored(m), 1);
  EXPECT_EQ(HeaderFor(m, "http://x.d/"), "a=1");
}

TEST(CookieManagerTest, EventsAndRefusal) {
  std::vector<std::string> seen;
  TNetCookies* created = nullptr;
  TNetCookies* destroyed = nullptr;
  {
    TNetCookieManager m(nullptr, [&](TObject*, TNetCookies* cookies) { created = cookies; });
    EXPECT_EQ(created, m.StoredCookies());
    m.OnDestroy = [&](TObject*, TNetCookies* cookies) {
      destroyed = cookies;
      // The collection is still there.
      EXPECT_EQ(cookies->Count(), 1);
    };
    m.OnNewCookie = [&](TObject* sender, TNetCookieRFC2109* cookie, bool& accept) {
      EXPECT_EQ(sender, &m);
      seen.push_back(cookie->CookieName);
      accept = cookie->CookieName != "no";
    };
    m.AddServerCookie("yes=1; path=/", "h");
    m.AddServerCookie("no=1; path=/", "h");
    // Invalid cookies are not even offered.
    m.AddServerCookie("bad=1; path=/; domain=.elsewhere", "h");
    EXPECT_EQ(Stored(m), 1);
    EXPECT_EQ(HeaderFor(m, "http://h/"), "yes=1");
    EXPECT_EQ(created, m.StoredCookies());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"yes", "no"}));
  EXPECT_EQ(destroyed, created);
}

TEST(CookieManagerTest, BadPortListPropagatesAndLeavesTheStoreUnchanged) {
  TNetCookieManager m;
  m.AddServerCookie2("a=1; path=/; Port=\"80\"", "h");
  EXPECT_THROW(m.AddServerCookie2("a=2; path=/; Port=\"80,eighty\"", "h"), EConvertError);
  EXPECT_EQ(Stored(m), 1);
  EXPECT_EQ(HeaderFor(m, "http://h/"), "a=1");
}

TEST(CookieManagerTest, HugeAndEmptyValuesNeverFail) {
  TNetCookieManager m;
  const size_t mib = size_t{1} << 20;
  const std::string values[] = {"",
                                ";",
                                "=",
                                std::string(mib, 'a'),
                                "a=" + std::string(mib, 'b'),
                                "a=b; path=" + std::string(mib, '/'),
                                "a=b; domain=" + std::string(mib, 'h')};
  for (const std::string& v : values) {
    EXPECT_NO_THROW(m.AddServerCookie(v, "h"));
    EXPECT_NO_THROW(m.AddServerCookie2(v, "h"));
    EXPECT_NO_THROW(m.AddServerCookie("a=1", v));
  }
  EXPECT_NO_THROW(HeaderFor(m, "http://h/" + std::string(mib, 'x')));
  // Cookies beyond the length limit are dropped, those within it kept whole.
  TNetCookieManager fresh;
  fresh.AddServerCookie("a=" + std::string(mib, 'b'), "h");
  EXPECT_EQ(HeaderFor(fresh, "http://h/"), "");
  fresh.AddServerCookie("a=" + std::string(4000, 'b') + "; path=/", "h");
  EXPECT_EQ(HeaderFor(fresh, "http://h/").size(), 4002u);
}

TEST(CookieManagerTest, OneCookieIsAtMostFourKilobytes) {
  const std::string tail = "; path=/";
  const struct {
    size_t length;  // of the whole header value
    bool kept;
  } cases[] = {{kMaxCookieLength - 1, true},
               {kMaxCookieLength, true},
               {kMaxCookieLength + 1, false},
               {100000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    TNetCookieManager m;
    const std::string value(c.length - 2 - tail.size(), 'v');
    m.AddServerCookie("a=" + value + tail, "h");
    m.AddServerCookie2("b=" + value + tail, "h");
    EXPECT_EQ(Stored(m), c.kept ? 2 : 0);
    // Compared whole but not printed: the texts are kilobytes long.
    EXPECT_TRUE(HeaderFor(m, "http://h/") == (c.kept ? "b=" + value + "; a=" + value : ""));
  }
}

std::string Name(int i) {
  return "c" + std::to_string(i);
}

// A server that sends tens of thousands of cookies keeps only the newest of them.
TEST(CookieManagerTest, OneDomainKeepsItsNewestFifty) {
  TNetCookieManager m;
  constexpr int kSent = 40000;
  for (int i = 0; i < kSent; ++i)
    m.AddServerCookie(Name(i) + "=v; path=/", "h.example");
  EXPECT_EQ(Stored(m), kMaxCookiesPerDomain);
  std::string expected;
  for (int i = kSent - kMaxCookiesPerDomain; i < kSent; ++i)
    expected = Name(i) + "=v" + (expected.empty() ? "" : "; ") + expected;
  // Equal paths go out most recently stored first.
  EXPECT_EQ(HeaderFor(m, "http://h.example/"), expected);
}

TEST(CookieManagerTest, TheStoreKeepsItsNewestThreeThousand) {
  TNetCookieManager m;
  constexpr int kHosts = kMaxCookies + 100;
  for (int i = 0; i < kHosts; ++i)
    m.AddServerCookie("a=" + std::to_string(i) + "; path=/", Name(i) + ".example");
  EXPECT_EQ(Stored(m), kMaxCookies);
  EXPECT_EQ(m.StoredCookies()->StoredCount(), kMaxCookies);
  const struct {
    int host;
    const char* header;
  } cases[] = {{0, ""}, {99, ""}, {100, "a=100"}, {kHosts - 1, "a=3099"}};
  for (const auto& c : cases)
    EXPECT_EQ(HeaderFor(m, "http://" + Name(c.host) + ".example/"), c.header) << c.host;
}

// What was sent last, or stored last, goes last; an expired cookie goes before any other.
TEST(CookieManagerTest, TheLeastRecentlyUsedCookieGoesFirst) {
  TNetCookieManager m;
  m.AddServerCookie("kept=1; path=/kept/", "h");
  m.AddServerCookie("gone=1; path=/gone/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "h");
  for (int i = 2; i < kMaxCookiesPerDomain; ++i)
    m.AddServerCookie(Name(i) + "=1; path=/other/", "h");
  // One over the limit: the expired cookie makes room although it is not the oldest.
  m.AddServerCookie("n1=1; path=/other/", "h");
  EXPECT_EQ(Stored(m), kMaxCookiesPerDomain);
  EXPECT_EQ(HeaderFor(m, "http://h/kept/"), "kept=1");
  // Sending "kept" made c2 the least recently used.
  m.AddServerCookie("n2=1; path=/other/", "h");
  m.AddServerCookie("c3=2; path=/other/", "h");  // an update counts as use
  m.AddServerCookie("n3=1; path=/other/", "h");
  EXPECT_EQ(Stored(m), kMaxCookiesPerDomain);
  EXPECT_EQ(HeaderFor(m, "http://h/kept/"), "kept=1");
  const std::string other = HeaderFor(m, "http://h/other/");
  for (const char* name : {"c2=", "c4="})
    EXPECT_EQ(other.find(std::string("; ") + name), std::string::npos) << name;
  for (const char* name : {"c3=2", "c5=1", "n1=1", "n2=1", "n3=1"})
    EXPECT_NE(other.find(name), std::string::npos) << name;
}

TEST(CookieManagerTest, TwoThreadsAddAndBuildAtOnce) {
  TNetCookieManager m;
  constexpr int kRounds = 400;
  std::atomic<bool> stop{false};
  std::atomic<int> headers{0};
  std::thread reader([&] {
    do {
      const std::string h = HeaderFor(m, "http://www.h.example/p/");
      // Every header holds whole pairs only.
      EXPECT_TRUE(h.empty() || h.back() == '1');
      ++headers;
    } while (!stop);
  });
  // On a busy machine the reader may not be scheduled before the writers finish; the writes
  // only race the reads once it runs.
  while (headers == 0)
    std::this_thread::yield();
  std::thread writer2([&] {
    for (int i = 0; i < kRounds; ++i)
      m.AddServerCookie2("w" + std::to_string(i % 50) + "=1; path=/p/", "www.h.example");
  });
  for (int i = 0; i < kRounds; ++i) {
    m.AddServerCookie("c" + std::to_string(i % 50) + "=1; path=/; domain=.h.example",
                      "www.h.example");
    if (i % 10 == 0)
      m.AddServerCookie("x=1; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "www.h.example");
  }
  writer2.join();
  stop = true;
  reader.join();
  EXPECT_GT(headers.load(), 0);
  // Building the header removes the expired cookie stored last.
  const std::string h = HeaderFor(m, "http://www.h.example/p/");
  EXPECT_EQ(std::count(h.begin(), h.end(), '='), 100);
  EXPECT_EQ(Stored(m), 100);
}

}  // namespace
