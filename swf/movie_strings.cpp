#include "swf/movie_strings.h"

#include <algorithm>
#include <array>
#include <functional>

#include "swf/address_filter.h"

namespace {

constexpr size_t kFirstIndexSize = 64;

constexpr std::array<const char*, 24> kSourceNames = {
    "push (shape)",
    "constant pool (shape)",
    "AVM1 loadMovie",
    "AVM1 loadMovieNum",
    "AVM1 loadVariables",
    "AVM1 loadVariablesNum",
    "AVM1 getURL",
    "AVM1 load",
    "AVM1 sendAndLoad",
    "AVM1 loadClip",
    "AVM1 loadSound",
    "AVM1 play",
    "AVM1 loadPolicyFile",
    "pushstring (shape)",
    "slot value (shape)",
    "AVM2 URLRequest",
    "AVM2 URLRequest.url",
    "AVM2 NetStream.play",
    "AVM2 Security.loadPolicyFile",
    "AVM2 load",
    "AVM2 navigateToURL",
    "AVM2 sendToURL",
    "ImportAssets",
    "XML attribute",
};

}  // namespace

const char* ReferenceSourceName(TReferenceSource source) {
  const auto at = static_cast<size_t>(source);
  return at < kSourceNames.size() ? kSourceNames[at] : "?";
}

TMovieStrings::TNoted TMovieStrings::Note(std::string_view text, uint8_t use,
                                          TReferenceSource source) {
  // Every address whose shape says file has an extension or a scheme; names and words without
  // either, the most common strings of code, are passed over before any lookup.
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == '.' || c == ':'; }))
    return kIgnored;
  TEntry* entry = Entry(text, false);
  if (!entry || !entry->Shaped) return kIgnored;
  // The first whole use names where the string came from; a pool entry, until then, the pool.
  if ((entry->Use & kWhole) == 0 && ((use & kWhole) != 0 || entry->Use == 0))
    entry->WholeSource = source;
  entry->Use |= use;
  return TNoted{static_cast<uint32_t>(entry - entries_.data())};
}

void TMovieStrings::AddLoad(std::string_view text, TReferenceSource source) {
  if (!IsLoadSiteAddress(text)) return;
  if (TEntry* entry = Entry(text, true)) {
    if ((entry->Use & kLoad) == 0) entry->LoadSource = source;
    entry->Use |= kLoad;
  }
}

void TMovieStrings::AddNavigation(std::string_view text, TReferenceSource source) {
  if (!IsLoadSiteAddress(text)) return;
  if (TEntry* entry = Entry(text, true)) {
    if ((entry->Use & (kLoad | kNavigation)) == 0) entry->LoadSource = source;
    entry->Use |= kNavigation;
  }
}

TMovieStrings::TEntry* TMovieStrings::Entry(std::string_view text, bool listed) {
  if (index_.empty()) index_.resize(kFirstIndexSize);
  const uint64_t hash = std::hash<std::string_view>()(text);
  TSlot& slot = Find(text, hash);
  if (slot.Entry != 0) {
    TEntry& entry = entries_[slot.Entry - 1];
    // A string refused by its shape becomes listable once it reaches a load.
    if (listed && !entry.Shaped && (entry.Use & (kLoad | kNavigation)) == 0) {
      if (addresses_ >= kMaxAddresses) return nullptr;
      ++addresses_;
    }
    return &entry;
  }
  // Each distinct string is judged once; those refused stay known as refused, so that a class
  // name met a thousand times costs one lookup each time after the first.
  const bool shaped = IsLoadableAddress(text);
  if (entries_.size() >= kMaxKnownStrings || ((shaped || listed) && addresses_ >= kMaxAddresses))
    return nullptr;
  const auto position = static_cast<uint32_t>(entries_.size());
  slot = {position + 1, static_cast<uint32_t>(hash >> 32)};
  entries_.push_back({std::string(text), hash, 0, shaped, TReferenceSource::rsAvm1Push,
                      TReferenceSource::rsAvm1Push, binary_movies_ > 0});
  if (entries_.size() * 2 > index_.size()) GrowIndex();
  if (shaped || listed) ++addresses_;
  return &entries_.back();
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

std::vector<TMovieReference> TMovieStrings::References(bool navigation) const {
  std::vector<TMovieReference> result;
  for (const TEntry& entry : entries_) {
    if (entry.Use & kLoad) {
      result.push_back({entry.Text, entry.LoadSource, false, entry.InBinaryMovie});
    } else if (entry.Use & kNamed) {
      continue;
    } else if (entry.Shaped && (entry.Use & kWhole)) {
      result.push_back({entry.Text, entry.WholeSource, false, entry.InBinaryMovie});
    } else if (entry.Use & kNavigation) {
      if (navigation) result.push_back({entry.Text, entry.LoadSource, true, entry.InBinaryMovie});
    } else if (entry.Shaped && (entry.Use & kPiece) == 0) {
      // A pool entry no code was seen to use as a piece.
      result.push_back({entry.Text, entry.WholeSource, false, entry.InBinaryMovie});
    }
  }
  return result;
}

std::vector<std::string> TMovieStrings::Addresses() const {
  std::vector<std::string> result;
  for (TMovieReference& reference : References(false))
    result.push_back(std::move(reference.Address));
  return result;
}
