// The order of byte-string sort keys, without comparing whole keys again and again: keys that
// share a long beginning (the addresses of one site) are told apart at the first byte where
// they differ, and that beginning is passed over once for all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/string_block.h"

// The indexes of `keys` in the order of the keys, byte by byte as unsigned values (a key before
// any longer one it begins), equal keys in the order of their indexes.
std::vector<size_t> KeyOrder(const TStringBlock& keys);
// As KeyOrder, of equal keys only the first.
std::vector<size_t> DistinctKeyOrder(const TStringBlock& keys);

// A key as the sort sees it.
struct TSortKey {
  const unsigned char* Bytes;
  uint32_t Size;
  uint32_t Index;
};

// What an order does with keys equal to one before them.
enum class TEqualKeys {
  ekFirstOnly,  // as DistinctKeyOrder
  ekAll,        // as KeyOrder
};

// DistinctKeyOrder (or KeyOrder) worked out while the keys are still being added, in steps: each
// step sorts the keys added since the one before and merges them into the order so far, which
// costs a search of that order for each of them rather than a sort of all. The bytes of the keys
// must stay where they are (a TStringBlock's do, also when the block is moved).
class TGrowingKeyOrder {
 public:
  explicit TGrowingKeyOrder(TEqualKeys equal = TEqualKeys::ekFirstOnly) : equal_(equal) {}
  // Takes the keys of `keys` after the first Taken() into the order.
  void Take(const TStringBlock& keys);
  size_t Taken() const { return taken_; }
  // DistinctKeyOrder(keys) (KeyOrder(keys) with ekAll), of keys whose first Taken() are the ones
  // taken; starts over.
  std::vector<size_t> Finish(const TStringBlock& keys);

 private:
  TEqualKeys equal_;
  std::vector<TSortKey> order_;  // distinct, sorted
  // Reused by each step.
  std::vector<TSortKey> fresh_, scratch_, merged_;
  size_t taken_ = 0;
};
