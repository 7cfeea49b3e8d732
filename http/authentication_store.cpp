#include "http/authentication_store.h"

#include "base/exception.h"
#include "base/text.h"

TNetAuthenticationItem& TNetAuthenticationStore::AddAuthentication(
    const TNetAuthentication& authentication, const std::string& address) {
  auto item = std::make_unique<TNetAuthenticationItem>();
  item->URI.ParseAddress(address);
  item->Params.Assign(authentication.AuthValues);
  items_.push_back(std::move(item));
  return *items_.back();
}

const TNetAuthenticationItem& TNetAuthenticationStore::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EListError(Format("List index out of bounds (%d)", index));
  return *items_[static_cast<size_t>(index)];
}
