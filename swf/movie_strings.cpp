#include "swf/movie_strings.h"

#include "swf/address_filter.h"

void TMovieStrings::Add(std::string_view text) {
  // Filtering first keeps the sets small: most strings of a movie are names and words.
  if (!IsLoadableAddress(text)) return;
  std::string key(text);
  whole_.insert(key);
  if (seen_.insert(key).second) order_.push_back(std::move(key));
}

void TMovieStrings::AddPooled(std::string_view text) {
  if (!IsLoadableAddress(text)) return;
  std::string key(text);
  if (seen_.insert(key).second) order_.push_back(std::move(key));
}

void TMovieStrings::AddPiece(std::string_view text) {
  if (!IsLoadableAddress(text)) return;
  std::string key(text);
  pieces_.insert(key);
  if (seen_.insert(key).second) order_.push_back(std::move(key));
}

std::vector<std::string> TMovieStrings::Addresses() const {
  std::vector<std::string> result;
  for (const std::string& text : order_)
    if (whole_.count(text) > 0 || pieces_.count(text) == 0) result.push_back(text);
  return result;
}
