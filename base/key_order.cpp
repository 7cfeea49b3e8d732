#include "base/key_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <thread>
#include <utility>

#include "base/exception.h"

namespace {

// Sixteen bytes: the fewer pages the sort's arrays take, the fewer are faulted in.
using TKey = TSortKey;
static_assert(sizeof(TKey) == 16);

// The byte at `depth`, plus one; 0 where the key has ended.
unsigned ByteAt(const TKey& key, size_t depth) {
  return depth < key.Size ? key.Bytes[depth] + 1u : 0u;
}

bool Before(const TKey& a, const TKey& b, size_t depth) {
  const size_t n = std::min(a.Size, b.Size) - depth;
  const int c = n == 0 ? 0 : std::memcmp(a.Bytes + depth, b.Bytes + depth, n);
  if (c != 0) return c < 0;
  if (a.Size != b.Size) return a.Size < b.Size;
  return a.Index < b.Index;
}

// How many bytes from `depth` on every key of [first, last) shares with the first one.
size_t SharedLength(const TKey* first, const TKey* last, size_t depth) {
  size_t shared = first->Size - depth;
  for (const TKey* k = first + 1; k != last && shared > 0; ++k) {
    size_t n = std::min(shared, k->Size - depth);
    size_t i = 0;
    while (i + 8 <= n) {
      uint64_t a, b;
      std::memcpy(&a, first->Bytes + depth + i, 8);
      std::memcpy(&b, k->Bytes + depth + i, 8);
      if (a != b) {
        if constexpr (std::endian::native == std::endian::little)
          n = i + static_cast<size_t>(std::countr_zero(a ^ b)) / 8;
        break;
      }
      i += 8;
    }
    while (i < n && first->Bytes[depth + i] == k->Bytes[depth + i])
      ++i;
    shared = i;
  }
  return shared;
}

bool ByIndex(const TKey& a, const TKey& b) {
  return a.Index < b.Index;
}

// Keys [first, last) that agree before `depth`, sorted; `scratch` has room for as many. The
// largest group of a byte is sorted by the loop, the others by calls: each call has at most
// half the keys, so the calls go no deeper than the logarithm of their number.
void Sort(TKey* first, TKey* last, size_t depth, TKey* scratch) {
  constexpr size_t kFew = 32;  // fewer are compared whole
  for (;;) {
    const size_t count = static_cast<size_t>(last - first);
    if (count < kFew) {
      std::sort(first, last, [depth](const TKey& a, const TKey& b) { return Before(a, b, depth); });
      return;
    }
    depth += SharedLength(first, last, depth);
    std::array<size_t, 257> starts{};
    // Only the bytes met are gone through below: keys use a small part of the 256.
    unsigned low = 256, high = 0;
    for (const TKey* k = first; k != last; ++k) {
      const unsigned byte = ByteAt(*k, depth);
      ++starts[byte];
      low = std::min(low, byte);
      high = std::max(high, byte);
    }
    if (starts[0] == count) {
      std::sort(first, last, ByIndex);  // all equal
      return;
    }
    size_t at = 0;
    for (unsigned b = low; b <= high; ++b)
      at += std::exchange(starts[b], at);
    std::array<size_t, 257> ends = starts;
    for (const TKey* k = first; k != last; ++k)
      scratch[ends[ByteAt(*k, depth)]++] = *k;
    std::copy(scratch, scratch + count, first);
    // The keys that end here are equal to one another; the others go on a byte further.
    if (low == 0) std::sort(first, first + ends[0], ByIndex);
    unsigned largest = std::max(low, 1u);
    for (unsigned b = largest + 1; b <= high; ++b)
      if (ends[b] - starts[b] > ends[largest] - starts[largest]) largest = b;
    for (unsigned b = std::max(low, 1u); b <= high; ++b)
      if (b != largest) Sort(first + starts[b], first + ends[b], depth + 1, scratch + starts[b]);
    last = first + ends[largest];
    scratch += starts[largest];
    first += starts[largest];
    ++depth;
  }
}

// Keys [from, keys.size()) as the sort sees them.
void SortKeys(const TStringBlock& keys, size_t from, std::vector<TKey>& sorted) {
  if (keys.size() > std::numeric_limits<uint32_t>::max()) throw EListError("Too many keys");
  sorted.resize(keys.size() - from);
  for (size_t i = from; i < keys.size(); ++i) {
    const std::string_view key = keys[i];
    if (key.size() > std::numeric_limits<uint32_t>::max()) throw EListError("Key too long");
    sorted[i - from] = {reinterpret_cast<const unsigned char*>(key.data()),
                        static_cast<uint32_t>(key.size()), static_cast<uint32_t>(i)};
  }
}

// By the bytes alone.
bool KeyBefore(const TKey& a, const TKey& b) {
  const uint32_t n = std::min(a.Size, b.Size);
  const int c = n == 0 ? 0 : std::memcmp(a.Bytes, b.Bytes, n);  // an empty key has no bytes
  return c != 0 ? c < 0 : a.Size < b.Size;
}

bool SameKey(const TKey& a, const TKey& b) {
  return a.Size == b.Size && (a.Size == 0 || std::memcmp(a.Bytes, b.Bytes, a.Size) == 0);
}

}  // namespace

std::vector<size_t> KeyOrder(const TStringBlock& keys) {
  std::vector<TKey> sorted;
  SortKeys(keys, 0, sorted);
  std::vector<TKey> scratch(sorted.size());
  TKey* const all = sorted.data();
  const size_t count = sorted.size();
  // Many keys: two halves at once, on this thread and another, then merged.
  constexpr size_t kAlone = 8192;
  const TKey* result = all;
  if (count < kAlone) {
    Sort(all, all + count, 0, scratch.data());
  } else {
    const size_t half = count / 2;
    std::thread first([all, half, &scratch] { Sort(all, all + half, 0, scratch.data()); });
    Sort(all + half, all + count, 0, scratch.data() + half);
    first.join();
    std::merge(all, all + half, all + half, all + count, scratch.data(),
               [](const TKey& a, const TKey& b) { return Before(a, b, 0); });
    result = scratch.data();
  }
  std::vector<size_t> order(count);
  for (size_t i = 0; i < count; ++i)
    order[i] = result[i].Index;
  return order;
}

std::vector<size_t> DistinctKeyOrder(const TStringBlock& keys) {
  std::vector<size_t> order = KeyOrder(keys);
  size_t kept = 0;
  for (size_t i = 0; i < order.size(); ++i)
    if (i == 0 || keys[order[i]] != keys[order[kept - 1]]) order[kept++] = order[i];
  order.resize(kept);
  return order;
}

void TGrowingKeyOrder::Take(const TStringBlock& keys) {
  if (keys.size() <= taken_) return;
  SortKeys(keys, taken_, fresh_);
  scratch_.resize(fresh_.size());
  Sort(fresh_.data(), fresh_.data() + fresh_.size(), 0, scratch_.data());
  // Of equal keys the first comes first: the later ones follow it or go, here and against the
  // order so far, whose keys all came before.
  const bool all = equal_ == TEqualKeys::ekAll;
  if (!all) fresh_.erase(std::unique(fresh_.begin(), fresh_.end(), SameKey), fresh_.end());
  merged_.clear();
  merged_.reserve(order_.size() + fresh_.size());
  auto at = order_.cbegin();
  for (const TKey& key : fresh_) {
    const auto place = all ? std::upper_bound(at, order_.cend(), key, KeyBefore)
                           : std::lower_bound(at, order_.cend(), key, KeyBefore);
    merged_.insert(merged_.end(), at, place);
    at = place;
    if (all || at == order_.cend() || !SameKey(*at, key)) merged_.push_back(key);
  }
  merged_.insert(merged_.end(), at, order_.cend());
  order_.swap(merged_);
  taken_ = keys.size();
}

std::vector<size_t> TGrowingKeyOrder::Finish(const TStringBlock& keys) {
  Take(keys);
  std::vector<size_t> order(order_.size());
  for (size_t i = 0; i < order_.size(); ++i)
    order[i] = order_[i].Index;
  *this = TGrowingKeyOrder(equal_);
  return order;
}
