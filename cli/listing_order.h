// The order the command line lists a page's movies in, worked out while the page arrives, on
// the thread that reads it: the key of each address as it is listed, and, whenever that thread
// has nothing else to do, the order of the keys found so far, so that little is left to order
// at the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/key_order.h"
#include "base/string_block.h"
#include "page/listing_observer.h"

namespace cli {

class TListingOrder : public TListingObserver {
 public:
  // Writes the key of its first argument into its second, an empty string whose memory serves
  // key after key.
  using TKeyOf = void (*)(std::string_view address, std::string& key);

  explicit TListingOrder(TKeyOf keyOf);

  void OnListed(std::string_view address) override;
  void OnRelisted() override;
  void OnIdle() override;
  void OnFinished() override;

  // Once the page is read: the keys of the addresses, in the order listed.
  const TStringBlock& Keys() const { return keys_; }
  // The indexes of the addresses in the order of their keys, equal keys in the order found
  // (the addresses differ: "Tetris.swf" and "tetris.swf" are two files).
  std::vector<size_t> TakeOrder() { return std::move(order_); }

 private:
  // Ordering waits for this many new keys at least: each step goes through the whole order.
  static constexpr size_t kFewKeys = 1024;

  TKeyOf key_of_;
  std::string key_;  // the one being worked out
  TStringBlock keys_;
  TGrowingKeyOrder growing_{TEqualKeys::ekAll};
  std::vector<size_t> order_;
};

}  // namespace cli
