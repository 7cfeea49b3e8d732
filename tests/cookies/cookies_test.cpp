#include "cookies/cookies.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "base/exception.h"

namespace {

TNetCookieRFC2109* Parsed(TNetCookies& store, const std::string& text, const std::string& domain) {
  TNetCookieRFC2109* c = store.AddRFC2109();
  c->ParseCookieText(text);
  c->CookieDomain = domain;
  return c;
}

TEST(CookiesTest, AddCreatesEmptyRecordsOwnedByTheCollection) {
  TObject owner;
  TNetCookies store(&owner);
  EXPECT_EQ(store.Owner(), &owner);
  TNetCookieRFC2109* a = store.AddRFC2109();
  TNetCookieRFC2965* b = store.AddRFC2965();
  EXPECT_EQ(store.Count(), 2);
  EXPECT_EQ(store.Items(0), a);
  EXPECT_EQ(store.Items(1), b);
  EXPECT_EQ(a->Collection(), &store);
  EXPECT_EQ(a->CookieKind, TCookieKind::kindRFC2109);
  EXPECT_EQ(b->CookieKind, TCookieKind::kindRFC2965);
  EXPECT_THROW(store.Items(2), EListError);
  // Nothing is indexed until stored.
  TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
  EXPECT_EQ(guard.DomainIndex()->Count(), 0);
}

TEST(CookiesTest, StoreIndexesByDomainThenNameAndUpdatesInPlace) {
  TNetCookies store;
  TNetCookieRFC2109* a = Parsed(store, "a=1; path=/", "h.example");
  TNetCookieRFC2109* b = Parsed(store, "b=1; path=/", "h.example");
  TNetCookieRFC2109* c = Parsed(store, "a=1; path=/", ".other");
  store.StoreCookie(a);
  store.StoreCookie(b);
  store.StoreCookie(c);
  store.StoreCookie(c);  // storing the same record again changes nothing
  {
    TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
    TNetCookieList* index = guard.DomainIndex();
    ASSERT_EQ(index->Count(), 2);
    EXPECT_EQ(index->Get(0), "h.example");
    EXPECT_EQ(index->Get(1), ".other");
    ASSERT_EQ(index->CookieList(0)->Count(), 2);
    EXPECT_EQ(index->CookieList(0)->Cookie(0), a);
    EXPECT_EQ(index->CookieList(0)->Cookie(1), b);
    EXPECT_EQ(index->CookieList(1)->Cookie(0), c);
  }
  // Same domain and name in other letter case: the stored record takes the new content and
  // keeps its place; the new record is gone.
  TNetCookieRFC2965* update = store.AddRFC2965();
  update->ParseCookieText("A=2; path=/x");
  update->CookieDomain = "H.EXAMPLE";
  EXPECT_EQ(store.Count(), 4);
  store.StoreCookie(update);
  EXPECT_EQ(store.Count(), 3);
  EXPECT_EQ(store.Items(0), a);
  EXPECT_EQ(a->CookieValue, "2");
  EXPECT_EQ(a->CookiePath, "/x");
  TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
  EXPECT_EQ(guard.DomainIndex()->CookieList(0)->Count(), 2);
  EXPECT_EQ(guard.DomainIndex()->CookieList(0)->Cookie(0), a);
}

TEST(CookiesTest, DestroyingARecordUnlinksIt) {
  TNetCookies store;
  TNetCookieRFC2109* a = Parsed(store, "a=1", "h");
  TNetCookieRFC2109* b = Parsed(store, "b=1", "h");
  store.StoreCookie(a);
  store.StoreCookie(b);
  // While the write lock is held, destroying takes it again.
  TNetCookieList* index = store.LockByDomain(TNetCookieAccess::lockWrite);
  store.DestroyCookie(a);
  ASSERT_EQ(index->CookieList(0)->Count(), 1);
  EXPECT_EQ(index->CookieList(0)->Cookie(0), b);
  store.UnlockByDomain(TNetCookieAccess::lockWrite);
  EXPECT_EQ(store.Count(), 1);

  // A record renamed after indexing is still found by identity.
  b->CookieName = "renamed";
  b->CookieDomain = "elsewhere";
  store.DestroyCookie(b);
  EXPECT_EQ(store.Count(), 0);
  TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
  ASSERT_EQ(guard.DomainIndex()->Count(), 1);  // an emptied domain list stays
  EXPECT_EQ(guard.DomainIndex()->CookieList(0)->Count(), 0);
}

TEST(CookiesTest, ExtractedRecordsLeaveTheIndexAlone) {
  TNetCookies store;
  TNetCookieRFC2109* a = Parsed(store, "a=1", "h");
  store.StoreCookie(a);
  TNetCookieRFC2109* twin = Parsed(store, "a=1", "h");
  std::unique_ptr<TNetNetscapeCookie> out = store.Extract(twin);
  ASSERT_EQ(out.get(), twin);
  EXPECT_EQ(out->Collection(), nullptr);
  EXPECT_EQ(store.Extract(twin), nullptr);
  out.reset();
  TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
  EXPECT_EQ(guard.DomainIndex()->CookieList(0)->Cookie(0), a);
}

// Taking out a stored record unlinks it, so that the index never points at a record the
// caller may destroy; the name is then free for a new record.
TEST(CookiesTest, ExtractingAStoredRecordUnlinksIt) {
  TNetCookies store;
  TNetCookieRFC2109* a = Parsed(store, "a=1", "h");
  store.StoreCookie(a);
  EXPECT_EQ(store.StoredCount(), 1);
  std::unique_ptr<TNetNetscapeCookie> out = store.Extract(a);
  EXPECT_EQ(store.StoredCount(), 0);
  out.reset();
  TNetCookieRFC2109* again = Parsed(store, "a=2", "h");
  store.StoreCookie(again);
  TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
  ASSERT_EQ(guard.DomainIndex()->CookieList(0)->Count(), 1);
  EXPECT_EQ(guard.DomainIndex()->CookieList(0)->Cookie(0), again);
}

TEST(CookiesTest, WriterMayReenterAndReadWhileWriting) {
  TNetCookies store;
  auto done = std::async(std::launch::async, [&store] {
    store.LockByDomain(TNetCookieAccess::lockWrite);
    store.LockByDomain(TNetCookieAccess::lockWrite);
    store.LockByDomain(TNetCookieAccess::lockRead);
    store.UnlockByDomain(TNetCookieAccess::lockRead);
    store.UnlockByDomain(TNetCookieAccess::lockWrite);
    store.UnlockByDomain(TNetCookieAccess::lockWrite);
  });
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  // Released completely: another thread can write now.
  auto other = std::async(std::launch::async, [&store] {
    TNetCookieLockGuard guard(store, TNetCookieAccess::lockWrite);
  });
  EXPECT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(CookiesTest, ReadersShareAndWritersExclude) {
  TNetCookies store;
  store.LockByDomain(TNetCookieAccess::lockRead);
  // A second reader gets in at once.
  auto reader = std::async(std::launch::async, [&store] {
    TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
  });
  EXPECT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  // A writer waits until the last reader leaves.
  std::atomic<bool> wrote{false};
  auto writer = std::async(std::launch::async, [&] {
    TNetCookieLockGuard guard(store, TNetCookieAccess::lockWrite);
    wrote = true;
  });
  EXPECT_EQ(writer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  EXPECT_FALSE(wrote);
  store.UnlockByDomain(TNetCookieAccess::lockRead);
  EXPECT_EQ(writer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(wrote);

  // And a reader waits for a writer.
  store.LockByDomain(TNetCookieAccess::lockWrite);
  std::atomic<bool> read{false};
  auto late = std::async(std::launch::async, [&] {
    TNetCookieLockGuard guard(store, TNetCookieAccess::lockRead);
    read = true;
  });
  EXPECT_EQ(late.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  EXPECT_FALSE(read);
  store.UnlockByDomain(TNetCookieAccess::lockWrite);
  EXPECT_EQ(late.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(read);
}

}  // namespace
