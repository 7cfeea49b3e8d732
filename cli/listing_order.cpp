#include "cli/listing_order.h"

#include <algorithm>

namespace cli {

TListingOrder::TListingOrder(TKeyOf keyOf) : key_of_(keyOf) {}

void TListingOrder::OnListed(std::string_view address) {
  key_.clear();
  key_of_(address, key_);
  keys_.push_back(key_);
}

void TListingOrder::OnRelisted() {
  keys_.clear();
  growing_ = TGrowingKeyOrder(TEqualKeys::ekAll);
  order_.clear();
}

void TListingOrder::OnIdle() {
  const size_t added = keys_.size() - growing_.Taken();
  if (added >= std::max(kFewKeys, growing_.Taken() / 8)) growing_.Take(keys_);
}

void TListingOrder::OnFinished() {
  order_ = growing_.Finish(keys_);
}

}  // namespace cli
