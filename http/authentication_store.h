// Completed authentications kept by address: each item holds the parsed address it was made
// for and a copy of the scheme's parameters.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/net_base_component.h"
#include "base/object.h"
#include "http/authentication.h"
#include "http/header_list.h"
#include "uri/uri.h"

class TNetAuthenticationItem : public TObject {
 public:
  TNetURI URI;
  TNetHeaderList Params;
};

class TNetAuthenticationStore : public TNetBaseComponent {
 public:
  using TNetBaseComponent::TNetBaseComponent;

  // Adds an item for `address` (the request form of the client's current address) with a
  // copy of the authentication's AuthValues, and returns it.
  TNetAuthenticationItem& AddAuthentication(const TNetAuthentication& authentication,
                                            const std::string& address);
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError "List index out of bounds (%d)" for a bad index.
  const TNetAuthenticationItem& Items(int index) const;
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TNetAuthenticationItem>> items_;
};
