#include "base/distinct_strings.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

#include "base/exception.h"

namespace {

// Kept in the slot, and where the slot is looked for: the table grows without hashing again.
uint32_t HashOf(std::string_view text) {
  const uint64_t hash = std::hash<std::string_view>{}(text);
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

size_t TDistinctStrings::Find(std::string_view text, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const TSlot& slot = slots_[i];
    if (slot.Index == 0) return i;
    if (slot.Hash == hash && strings_[slot.Index - 1] == text) return i;
  }
}

bool TDistinctStrings::Contains(std::string_view text) const {
  if (slots_.empty()) return false;
  return slots_[Find(text, HashOf(text))].Index != 0;
}

bool TDistinctStrings::Add(std::string text) {
  TSlot* slot = NewSlot(text);
  if (!slot) return false;
  Keep(*slot, std::move(text));
  return true;
}

bool TDistinctStrings::Add(std::string_view text) {
  TSlot* slot = NewSlot(text);
  if (!slot) return false;
  Keep(*slot, std::string(text));
  return true;
}

TDistinctStrings::TSlot* TDistinctStrings::NewSlot(std::string_view text) {
  if (strings_.size() * 2 >= slots_.size()) Grow();
  const uint32_t hash = HashOf(text);
  TSlot& slot = slots_[Find(text, hash)];
  if (slot.Index != 0) return nullptr;
  if (strings_.size() >= std::numeric_limits<uint32_t>::max())
    throw EListError("Too many distinct strings");
  slot.Hash = hash;
  return &slot;
}

void TDistinctStrings::Keep(TSlot& slot, std::string text) {
  strings_.push_back(std::move(text));
  slot.Index = static_cast<uint32_t>(strings_.size());
}

void TDistinctStrings::Grow() {
  const std::vector<TSlot> old =
      std::exchange(slots_, std::vector<TSlot>(std::max<size_t>(64, slots_.size() * 2)));
  const size_t mask = slots_.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.Index == 0) continue;
    size_t i = slot.Hash & mask;
    while (slots_[i].Index != 0)
      i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

std::vector<std::string> TDistinctStrings::Take() {
  slots_.clear();
  return std::exchange(strings_, {});
}

void TDistinctStrings::Clear() {
  strings_.clear();
  slots_.clear();
}
