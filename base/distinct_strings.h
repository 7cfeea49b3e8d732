// Strings kept once each, in the order first added. The table holds each string's hash and
// index side by side, so that telling a new string from a known one mostly touches one slot,
// and growing the table never looks at the strings.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/string_block.h"

// `TStore` keeps the strings: a std::vector<std::string>, or a TStringBlock, which needs no
// allocation per string.
template <typename TStore>
class TDistinctSet {
 public:
  // True when `text` was not there yet; it is then kept, last (copied only then).
  bool Add(std::string_view text) {
    TSlot* slot = NewSlot(text);
    if (!slot) return false;
    if constexpr (std::is_same_v<TStore, TStringBlock>)
      store_.push_back(text);
    else
      store_.emplace_back(text);
    slot->Index = static_cast<uint32_t>(store_.size());
    return true;
  }
  bool Contains(std::string_view text) const {
    if (slots_.empty()) return false;
    return slots_[Find(text, HashOf(text))].Index != 0;
  }
  size_t Size() const { return store_.size(); }
  // The strings, in the order added; the set is empty afterwards.
  TStore TakeStore() {
    slots_.clear();
    return std::exchange(store_, TStore());
  }
  std::string_view operator[](size_t i) const { return store_[i]; }
  void Clear() {
    store_.clear();
    slots_.clear();
  }

 protected:
  struct TSlot {
    uint32_t Hash = 0;   // of the string, as HashOf gives it
    uint32_t Index = 0;  // of the string, plus one; 0: an empty slot
  };
  // Kept in the slot, and where the slot is looked for: the table grows without hashing again.
  static uint32_t HashOf(std::string_view text);
  // The slot of `text`, or the empty slot where it would go.
  size_t Find(std::string_view text, uint32_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const TSlot& slot = slots_[i];
      if (slot.Index == 0) return i;
      if (slot.Hash == hash && std::string_view(store_[slot.Index - 1]) == text) return i;
    }
  }
  // The slot `text` goes to, its hash set, or nullptr when `text` is there already.
  TSlot* NewSlot(std::string_view text) {
    if (store_.size() * 2 >= slots_.size()) Grow();
    const uint32_t hash = HashOf(text);
    TSlot& slot = slots_[Find(text, hash)];
    if (slot.Index != 0) return nullptr;
    if (store_.size() >= std::numeric_limits<uint32_t>::max()) TooMany();
    slot.Hash = hash;
    return &slot;
  }
  void Grow() {
    const std::vector<TSlot> old =
        std::exchange(slots_, std::vector<TSlot>(std::max<size_t>(1024, slots_.size() * 2)));
    const size_t mask = slots_.size() - 1;
    for (const TSlot& slot : old) {
      if (slot.Index == 0) continue;
      size_t i = slot.Hash & mask;
      while (slots_[i].Index != 0)
        i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }
  // Raises EListError.
  [[noreturn]] static void TooMany();

  TStore store_;
  std::vector<TSlot> slots_;  // a power of two of them, at most half used
};

// Each string a std::string of its own, which can be taken away whole.
class TDistinctStrings : public TDistinctSet<std::vector<std::string>> {
 public:
  using TDistinctSet::Add;
  // As Add, taking `text` over.
  bool Add(std::string text);
  const std::vector<std::string>& Strings() const { return store_; }
  // The strings, in the order added; the set is empty afterwards.
  std::vector<std::string> Take();
};

// All in one block of memory: no allocation per string, and all go at once.
using TDistinctBlockStrings = TDistinctSet<TStringBlock>;
