#include "cookies/cookies.h"

#include <iterator>
#include <vector>

#include "base/exception.h"
#include "base/text.h"
#include "uri/internet_date.h"

namespace {

// The local time, read on first use: most cookies have no expiry, and reading the clock
// with its zone is the dearest part of a sweep.
class TLazyNow {
 public:
  bool Passed(TDateTime moment) {
    if (!read_) {
      now_ = Now();
      read_ = true;
    }
    return now_ > moment;
  }

 private:
  bool read_ = false;
  TDateTime now_ = 0;
};

}  // namespace

void TNetStoreLock::BeginRead() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (writer_depth_ > 0 && writer_ == std::this_thread::get_id()) {
    ++writer_depth_;
    return;
  }
  released_.wait(lock, [this] { return writer_depth_ == 0; });
  ++readers_;
}

void TNetStoreLock::EndRead() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (writer_depth_ > 0 && writer_ == std::this_thread::get_id()) {
    --writer_depth_;
  } else if (readers_ > 0) {
    --readers_;
  }
  if (readers_ == 0 && writer_depth_ == 0) released_.notify_all();
}

void TNetStoreLock::BeginWrite() {
  std::unique_lock<std::mutex> lock(mutex_);
  const std::thread::id self = std::this_thread::get_id();
  if (writer_depth_ > 0 && writer_ == self) {
    ++writer_depth_;
    return;
  }
  released_.wait(lock, [this] { return writer_depth_ == 0 && readers_ == 0; });
  writer_ = self;
  writer_depth_ = 1;
}

void TNetStoreLock::EndWrite() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (writer_depth_ > 0 && writer_ == std::this_thread::get_id() && --writer_depth_ == 0) {
    writer_ = std::thread::id();
    released_.notify_all();
  }
}

TNetCookies::TNetCookies(TObject* owner) : owner_(owner) {
  // The index owns the per-domain lists; those only refer to the records.
  domain_index_.OwnsObjects = true;
}

TNetCookies::~TNetCookies() {
  Clear();
}

int TNetCookies::Count() const {
  std::lock_guard<std::mutex> lock(items_mutex_);
  return static_cast<int>(items_.size());
}

TNetNetscapeCookie* TNetCookies::Items(int index) const {
  std::lock_guard<std::mutex> lock(items_mutex_);
  if (index < 0 || static_cast<size_t>(index) >= items_.size())
    throw EListError(Format("List index out of bounds (%d)", index));
  return std::next(items_.begin(), index)->cookie.get();
}

int TNetCookies::StoredCount() const {
  std::lock_guard<std::mutex> lock(items_mutex_);
  return static_cast<int>(use_order_.size());
}

template <typename T>
T* TNetCookies::AddRecord() {
  auto record = std::make_unique<T>();
  T* result = record.get();
  result->collection_ = this;
  std::lock_guard<std::mutex> lock(items_mutex_);
  items_.push_back(TRecord{});
  items_.back().cookie = std::move(record);
  where_[result] = std::prev(items_.end());
  return result;
}

TNetCookieRFC2109* TNetCookies::AddRFC2109() {
  return AddRecord<TNetCookieRFC2109>();
}

TNetCookieRFC2965* TNetCookies::AddRFC2965() {
  return AddRecord<TNetCookieRFC2965>();
}

TNetCookieList* TNetCookies::LockByDomain(TNetCookieAccess access) {
  if (access == TNetCookieAccess::lockRead)
    store_lock_.BeginRead();
  else
    store_lock_.BeginWrite();
  return &domain_index_;
}

void TNetCookies::UnlockByDomain(TNetCookieAccess access) {
  if (access == TNetCookieAccess::lockRead)
    store_lock_.EndRead();
  else
    store_lock_.EndWrite();
}

TNetCookies::TRecord* TNetCookies::RecordOf(const TNetNetscapeCookie* cookie) {
  const auto it = where_.find(cookie);
  return it == where_.end() ? nullptr : &*it->second;
}

void TNetCookies::Touch(TRecord& record) {
  use_order_.splice(use_order_.end(), use_order_, record.use);
  record.domain->useOrder.splice(record.domain->useOrder.end(), record.domain->useOrder,
                                 record.domainUse);
}

void TNetCookies::SetExpires(TRecord& record, bool expires) {
  if (record.expires == expires) return;
  record.expires = expires;
  const int change = expires ? 1 : -1;
  expiring_ += change;
  record.domain->expiring += change;
}

void TNetCookies::ReadExpiry(TRecord& record) {
  bool expires = !record.cookie->ExpiryText().empty();
  record.expiry = 0;
  if (expires) {
    try {
      record.expiry = InternetDateToLocal(record.cookie->ExpiryText());
    } catch (const Exception&) {
      // Without zone information nothing can be judged expired.
      expires = false;
    }
  }
  SetExpires(record, expires);
}

void TNetCookies::StoreCookie(TNetNetscapeCookie* cookie) {
  TNetCookieLockGuard guard(*this, TNetCookieAccess::lockWrite);
  const std::string domainKey = UpperCase(cookie->CookieDomain);
  auto found = domains_.find(domainKey);
  if (found == domains_.end()) {
    TDomain entry;
    entry.names = new TNetCookieList();
    domain_index_.AddObject(cookie->CookieDomain, entry.names);
    found = domains_.emplace(domainKey, std::move(entry)).first;
  }
  TDomain& domain = found->second;
  const std::string nameKey = UpperCase(cookie->CookieName);
  const auto named = domain.byName.find(nameKey);
  if (named != domain.byName.end()) {
    TRecord* stored = named->second;
    if (stored->cookie.get() == cookie) return;
    stored->cookie->CopyCookie(*cookie);
    {
      std::lock_guard<std::mutex> lock(items_mutex_);
      ReadExpiry(*stored);
      Touch(*stored);
    }
    Extract(cookie);
    return;
  }
  domain.names->AddObject(cookie->CookieName, cookie);
  {
    std::lock_guard<std::mutex> lock(items_mutex_);
    TRecord* record = RecordOf(cookie);
    domain.byName.emplace(nameKey, record);
    record->indexed = true;
    record->domainKey = domainKey;
    record->nameKey = nameKey;
    record->domain = &domain;
    record->use = use_order_.insert(use_order_.end(), record);
    record->domainUse = domain.useOrder.insert(domain.useOrder.end(), record);
    ReadExpiry(*record);
  }
  if (domain.names->Count() > kMaxCookiesPerDomain)
    MakeRoom(domain.useOrder, domain.expiring > 0, cookie);
  if (StoredCount() > kMaxCookies) MakeRoom(use_order_, expiring_ > 0, cookie);
}

void TNetCookies::MakeRoom(const std::list<TRecord*>& useOrder, bool sweep,
                           const TNetNetscapeCookie* keep) {
  std::vector<TNetNetscapeCookie*> doomed;
  {
    std::lock_guard<std::mutex> lock(items_mutex_);
    if (sweep) {
      TLazyNow clock;
      for (const TRecord* record : useOrder)
        if (record->expires && clock.Passed(record->expiry)) doomed.push_back(record->cookie.get());
    }
    // One record over the limit at most: each store adds one.
    if (doomed.empty()) {
      for (const TRecord* record : useOrder) {
        if (record->cookie.get() == keep) continue;
        doomed.push_back(record->cookie.get());
        break;
      }
    }
  }
  for (TNetNetscapeCookie* cookie : doomed)
    DestroyCookie(cookie);
}

void TNetCookies::MarkUsed(TNetNetscapeCookie* cookie) {
  std::lock_guard<std::mutex> lock(items_mutex_);
  TRecord* record = RecordOf(cookie);
  if (record != nullptr && record->indexed) Touch(*record);
}

void TNetCookies::Unlink(TNetNetscapeCookie* cookie) {
  TNetCookieLockGuard guard(*this, TNetCookieAccess::lockWrite);
  std::string domainKey, nameKey;
  {
    std::lock_guard<std::mutex> lock(items_mutex_);
    TRecord* record = RecordOf(cookie);
    if (record == nullptr || !record->indexed) return;
    SetExpires(*record, false);
    record->indexed = false;
    use_order_.erase(record->use);
    record->domain->useOrder.erase(record->domainUse);
    record->domain = nullptr;
    domainKey = std::move(record->domainKey);
    nameKey = std::move(record->nameKey);
  }
  const auto found = domains_.find(domainKey);
  if (found == domains_.end()) return;
  TDomain& domain = found->second;
  domain.byName.erase(nameKey);
  const int j = domain.names->IndexOfObject(cookie);
  if (j >= 0) domain.names->Delete(j);
}

void TNetCookies::DestroyCookie(TNetNetscapeCookie* cookie) {
  if (cookie == nullptr || cookie->collection_ != this) return;
  Unlink(cookie);
  Extract(cookie);
}

std::unique_ptr<TNetNetscapeCookie> TNetCookies::Extract(TNetNetscapeCookie* cookie) {
  bool indexed;
  {
    std::lock_guard<std::mutex> lock(items_mutex_);
    const TRecord* record = RecordOf(cookie);
    if (record == nullptr) return nullptr;
    indexed = record->indexed;
  }
  if (indexed) Unlink(cookie);
  std::unique_ptr<TNetNetscapeCookie> result;
  {
    std::lock_guard<std::mutex> lock(items_mutex_);
    const auto it = where_.find(cookie);
    if (it == where_.end()) return nullptr;
    result = std::move(it->second->cookie);
    items_.erase(it->second);
    where_.erase(it);
  }
  result->collection_ = nullptr;
  return result;
}

void TNetCookies::Clear() {
  TNetCookieLockGuard guard(*this, TNetCookieAccess::lockWrite);
  for (;;) {
    TNetNetscapeCookie* last;
    {
      std::lock_guard<std::mutex> lock(items_mutex_);
      if (items_.empty()) break;
      last = items_.back().cookie.get();
    }
    DestroyCookie(last);
  }
}
