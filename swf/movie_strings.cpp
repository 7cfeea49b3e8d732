#include "swf/movie_strings.h"

#include "swf/address_filter.h"

void TMovieStrings::Note(std::string_view text, uint8_t use) {
  // Every address has an extension or a scheme; names and words without either, the most
  // common strings of code, are passed over before any lookup.
  if (text.find_first_of(".:") == std::string_view::npos) return;
  const auto found = uses_.find(text);
  if (found != uses_.end()) {
    found->second |= use;
    return;
  }
  // Each distinct string is judged once; those refused stay known as refused, so that a class
  // name met a thousand times costs one lookup each time after the first.
  if (!IsLoadableAddress(text)) {
    if (uses_.size() < kMaxKnownStrings) uses_.emplace(std::string(text), kRefused);
    return;
  }
  if (order_.size() >= kMaxAddresses || uses_.size() >= kMaxKnownStrings) return;
  const auto added = uses_.emplace(std::string(text), use).first;
  order_.push_back(&added->first);
}

std::vector<std::string> TMovieStrings::Addresses() const {
  std::vector<std::string> result;
  for (const std::string* text : order_) {
    const uint8_t use = uses_.at(*text);
    if ((use & kWhole) != 0 || (use & kPiece) == 0) result.push_back(*text);
  }
  return result;
}
