#include "cookies/cookies.h"

#include <algorithm>

#include "base/exception.h"
#include "base/text.h"

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
  return items_[static_cast<size_t>(index)].get();
}

template <typename T>
T* TNetCookies::AddRecord() {
  auto record = std::make_unique<T>();
  T* result = record.get();
  result->collection_ = this;
  std::lock_guard<std::mutex> lock(items_mutex_);
  items_.push_back(std::move(record));
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

void TNetCookies::StoreCookie(TNetNetscapeCookie* cookie) {
  TNetCookieLockGuard guard(*this, TNetCookieAccess::lockWrite);
  TNetCookieList* index = guard.DomainIndex();
  int i = index->IndexOf(cookie->CookieDomain);
  if (i < 0) i = index->AddObject(cookie->CookieDomain, new TNetCookieList());
  TNetCookieList* names = index->CookieList(i);
  const int j = names->IndexOf(cookie->CookieName);
  if (j < 0) {
    names->AddObject(cookie->CookieName, cookie);
    return;
  }
  TNetNetscapeCookie* stored = names->Cookie(j);
  if (stored == cookie) return;
  stored->CopyCookie(*cookie);
  Extract(cookie);
}

void TNetCookies::Unlink(TNetNetscapeCookie* cookie) {
  TNetCookieLockGuard guard(*this, TNetCookieAccess::lockWrite);
  TNetCookieList* index = guard.DomainIndex();
  const int i = index->IndexOf(cookie->CookieDomain);
  if (i >= 0) {
    TNetCookieList* names = index->CookieList(i);
    const int j = names->IndexOf(cookie->CookieName);
    if (j >= 0 && names->Cookie(j) == cookie) {
      names->Delete(j);
      return;
    }
  }
  // The record's domain or name changed after it was indexed: find it by identity, so that
  // no entry is left pointing at a destroyed record.
  for (int d = 0; d < index->Count(); ++d) {
    TNetCookieList* names = index->CookieList(d);
    const int j = names->IndexOfObject(cookie);
    if (j >= 0) {
      names->Delete(j);
      return;
    }
  }
}

void TNetCookies::DestroyCookie(TNetNetscapeCookie* cookie) {
  if (cookie == nullptr || cookie->collection_ != this) return;
  Unlink(cookie);
  Extract(cookie);
}

std::unique_ptr<TNetNetscapeCookie> TNetCookies::Extract(TNetNetscapeCookie* cookie) {
  std::unique_ptr<TNetNetscapeCookie> result;
  {
    std::lock_guard<std::mutex> lock(items_mutex_);
    auto it = std::find_if(items_.begin(), items_.end(),
                           [cookie](const auto& item) { return item.get() == cookie; });
    if (it == items_.end()) return nullptr;
    result = std::move(*it);
    items_.erase(it);
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
      last = items_.back().get();
    }
    DestroyCookie(last);
  }
}
