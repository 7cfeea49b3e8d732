// The cookie store: the collection that owns the cookie records, and its two-level index
// (domain, then cookie name) guarded by a multi-reader lock.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "base/date_time.h"
#include "base/string_list.h"
#include "cookies/cookie.h"

// Limits on what servers may leave in the store. A server can otherwise send a head of
// tens of thousands of cookies and make every later request carry them all. Browsers hold
// these numbers (the cookie RFC, 6265, asks for at least as many), so no site that works
// in a browser loses a cookie here.

// Cookies of one domain entry; beyond it the domain's least recently used cookie goes.
constexpr int kMaxCookiesPerDomain = 50;
// Cookies in the whole store; beyond it the least recently used cookie of any domain goes.
constexpr int kMaxCookies = 3000;
// Bytes of one cookie's name, value and attributes (one header value); a longer one is
// refused, as browsers refuse it.
constexpr size_t kMaxCookieLength = 4096;

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
  // Walks the records to the index: for looking at a few, not for loops over all of them.
  TNetNetscapeCookie* Items(int index) const;

  // New empty records, owned by the collection and not yet indexed.
  TNetCookieRFC2109* AddRFC2109();
  TNetCookieRFC2965* AddRFC2965();

  // The domain index, after taking the store lock for reading or writing. Every use of
  // either index level goes between these two calls.
  TNetCookieList* LockByDomain(TNetCookieAccess access);
  void UnlockByDomain(TNetCookieAccess access);

  // Indexes a record, or updates the stored record of the same domain and name from it (the
  // new record is then destroyed). Lookups by domain and by name take constant time. Beyond
  // kMaxCookiesPerDomain or kMaxCookies, expired cookies go first (the new record too), then
  // the least recently used one other than the new record.
  void StoreCookie(TNetNetscapeCookie* cookie);
  // Counts a stored record as used now (sent in a request), so that it is dropped last.
  void MarkUsed(TNetNetscapeCookie* cookie);
  // Records in the index.
  int StoredCount() const;

  // Unlinks a record from the index (under the write lock), takes it out of the collection
  // and destroys it.
  void DestroyCookie(TNetNetscapeCookie* cookie);
  // Takes a record out of the collection without touching the index; the caller owns it.
  // A record still indexed is unlinked as well, so that nothing points at it.
  std::unique_ptr<TNetNetscapeCookie> Extract(TNetNetscapeCookie* cookie);
  // Destroys every record.
  void Clear();

 private:
  struct TDomain;
  // What the store keeps beside each record of the collection.
  struct TRecord {
    std::unique_ptr<TNetNetscapeCookie> cookie;
    // Where the record was indexed: the keys stay valid when the record's domain or name
    // change afterwards.
    bool indexed = false;
    std::string domainKey;
    std::string nameKey;
    TDomain* domain = nullptr;
    // The expiry, read once when stored, so that the limits can sweep without dates.
    bool expires = false;
    TDateTime expiry = 0;
    // Places in the store's and the domain's order of use.
    std::list<TRecord*>::iterator use;
    std::list<TRecord*>::iterator domainUse;
  };
  // One entry of the domain index with its name lookup and its records in order of use
  // (least recently used first), so that making room takes constant time.
  struct TDomain {
    TNetCookieList* names = nullptr;
    std::unordered_map<std::string, TRecord*> byName;
    std::list<TRecord*> useOrder;
    // Records with an expiry: without any, no sweep for expired ones is needed.
    int expiring = 0;
  };

  template <typename T>
  T* AddRecord();
  void Unlink(TNetNetscapeCookie* cookie);
  // Under items_mutex_.
  TRecord* RecordOf(const TNetNetscapeCookie* cookie);
  void Touch(TRecord& record);
  // Of an indexed record.
  void ReadExpiry(TRecord& record);
  void SetExpires(TRecord& record, bool expires);
  // Under the write lock: brings one domain, then the store, back within the limits. Expired
  // records go first (`keep` too), else the least recently used one other than `keep`.
  void MakeRoom(const std::list<TRecord*>& useOrder, bool sweep, const TNetNetscapeCookie* keep);

  TObject* owner_;
  // Guards the records and their bookkeeping: records may be added from several threads
  // without the store lock, and readers of the index mark cookies used.
  mutable std::mutex items_mutex_;
  std::list<TRecord> items_;
  std::unordered_map<const TNetNetscapeCookie*, std::list<TRecord>::iterator> where_;
  // Indexed records, least recently used first, and how many of them have an expiry.
  std::list<TRecord*> use_order_;
  int expiring_ = 0;
  TNetCookieList domain_index_;
  // Upper-case domain to its entry, and upper-case name to its record within the entry.
  std::unordered_map<std::string, TDomain> domains_;
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
