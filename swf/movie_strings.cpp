#include "swf/movie_strings.h"

#include <algorithm>
#include <functional>

#include "swf/address_filter.h"

namespace {

constexpr size_t kFirstIndexSize = 64;

}  // namespace

TMovieStrings::TNoted TMovieStrings::Note(std::string_view text, uint8_t use) {
  // Every address has an extension or a scheme; names and words without either, the most
  // common strings of code, are passed over before any lookup.
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == '.' || c == ':'; }))
    return kIgnored;
  if (index_.empty()) index_.resize(kFirstIndexSize);
  const uint64_t hash = std::hash<std::string_view>()(text);
  TSlot& slot = Find(text, hash);
  if (slot.Entry != 0) {
    TEntry& entry = entries_[slot.Entry - 1];
    entry.Use |= use;
    return (entry.Use & kRefused) != 0 ? kIgnored : TNoted{slot.Entry - 1};
  }
  // Each distinct string is judged once; those refused stay known as refused, so that a class
  // name met a thousand times costs one lookup each time after the first.
  const bool loadable = IsLoadableAddress(text);
  if (entries_.size() >= kMaxKnownStrings || (loadable && addresses_ >= kMaxAddresses))
    return kIgnored;
  const auto position = static_cast<uint32_t>(entries_.size());
  slot = {position + 1, static_cast<uint32_t>(hash >> 32)};
  entries_.push_back({std::string(text), hash, loadable ? use : kRefused});
  if (entries_.size() * 2 > index_.size()) GrowIndex();
  if (!loadable) return kIgnored;
  ++addresses_;
  return TNoted{position};
}

TMovieStrings::TSlot& TMovieStrings::Find(std::string_view text, uint64_t hash) {
  const size_t mask = index_.size() - 1;
  const auto high = static_cast<uint32_t>(hash >> 32);
  for (size_t at = hash & mask;; at = (at + 1) & mask) {
    TSlot& slot = index_[at];
    if (slot.Entry == 0 || (slot.HashHigh == high && entries_[slot.Entry - 1].Text == text))
      return slot;
  }
}

void TMovieStrings::GrowIndex() {
  index_.assign(index_.size() * 2, TSlot{});
  const size_t mask = index_.size() - 1;
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    size_t at = entries_[i].Hash & mask;
    while (index_[at].Entry != 0)
      at = (at + 1) & mask;
    index_[at] = {i + 1, static_cast<uint32_t>(entries_[i].Hash >> 32)};
  }
}

std::vector<std::string> TMovieStrings::Addresses() const {
  std::vector<std::string> result;
  for (const TEntry& entry : entries_)
    if ((entry.Use & kRefused) == 0 && ((entry.Use & kWhole) != 0 || (entry.Use & kPiece) == 0))
      result.push_back(entry.Text);
  return result;
}
