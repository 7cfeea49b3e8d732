// The cookie store: the collection that owns the cookie records, and its two-level index
// (domain, then cookie name) guarded by a multi-reader lock.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/string_list.h"
#include "cookies/cookie.h"

// A string list with one object per string: in the domain index each string is a domain
// and its object the per-domain list; in a per-domain list each string is a cookie name and
// its object the record. Lookups ignore letter case.
class TNetCookieList : public TStringList {
 public:
  TNetCookieList() = default;
  TNetCookieList* CookieList(int index) const {
    return static_cast<TNetCookieList*>(Objects(index));
  }
  TNetNetscapeCookie* Cookie(int index) const {
    return static_cast<TNetNetscapeCookie*>(Objects(index));
  }
};

// Many readers or one writer. The writing thread may take the write lock again and may take
// the read lock too (destroying a record while writing unlinks it under the write lock).
// A reader must not ask for the write lock while it still reads.
class TNetStoreLock {
 public:
  void BeginRead();
  void EndRead();
  void BeginWrite();
  void EndWrite();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  int readers_ = 0;
  // Write and read holds of the writing thread.
  int writer_depth_ = 0;
  std::thread::id writer_;
};

enum class TNetCookieAccess { lockRead, lockWrite };

class TNetCookies : public TObject {
 public:
  explicit TNetCookies(TObject* owner = nullptr);
  TNetCookies(const TNetCookies&) = delete;
  TNetCookies& operator=(const TNetCookies&) = delete;
  // Destroys every record (each unlinking itself), then the index.
  ~TNetCookies() override;

  TObject* Owner() const { return owner_; }
  int Count() const;
  TNetNetscapeCookie* Items(int index) const;

  // New empty records, owned by the collection and not yet indexed.
  TNetCookieRFC2109* AddRFC2109();
  TNetCookieRFC2965* AddRFC2965();

  // The domain index, after taking the store lock for reading or writing. Every use of
  // either index level goes between these two calls.
  TNetCookieList* LockByDomain(TNetCookieAccess access);
  void UnlockByDomain(TNetCookieAccess access);

  // Indexes a record, or updates the stored record of the same domain and name from it (the
  // new record is then destroyed).
  void StoreCookie(TNetNetscapeCookie* cookie);

  // Unlinks a record from the index (under the write lock), takes it out of the collection
  // and destroys it.
  void DestroyCookie(TNetNetscapeCookie* cookie);
  // Takes a record out of the collection without touching the index; the caller owns it.
  std::unique_ptr<TNetNetscapeCookie> Extract(TNetNetscapeCookie* cookie);
  // Destroys every record.
  void Clear();

 private:
  template <typename T>
  T* AddRecord();
  void Unlink(TNetNetscapeCookie* cookie);

  TObject* owner_;
  // Guards the list of records: records may be added from several threads without the
  // store lock.
  mutable std::mutex items_mutex_;
  std::vector<std::unique_ptr<TNetNetscapeCookie>> items_;
  TNetCookieList domain_index_;
  TNetStoreLock store_lock_;
};

// Holds the store lock for one scope.
class TNetCookieLockGuard {
 public:
  TNetCookieLockGuard(TNetCookies& cookies, TNetCookieAccess access)
      : cookies_(cookies), access_(access), index_(cookies.LockByDomain(access)) {}
  ~TNetCookieLockGuard() { cookies_.UnlockByDomain(access_); }
  TNetCookieLockGuard(const TNetCookieLockGuard&) = delete;
  TNetCookieLockGuard& operator=(const TNetCookieLockGuard&) = delete;
  TNetCookieList* DomainIndex() const { return index_; }

 private:
  TNetCookies& cookies_;
  TNetCookieAccess access_;
  TNetCookieList* index_;
};
