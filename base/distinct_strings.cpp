#include "base/distinct_strings.h"

#include <functional>

#include "base/exception.h"

template <typename TStore>
uint32_t TDistinctSet<TStore>::HashOf(std::string_view text) {
  const uint64_t hash = std::hash<std::string_view>{}(text);
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

template <typename TStore>
void TDistinctSet<TStore>::TooMany() {
  throw EListError("Too many distinct strings");
}

template class TDistinctSet<std::vector<std::string>>;
template class TDistinctSet<TStringBlock>;

bool TDistinctStrings::Add(std::string text) {
  TSlot* slot = NewSlot(text);
  if (!slot) return false;
  store_.push_back(std::move(text));
  slot->Index = static_cast<uint32_t>(store_.size());
  return true;
}

std::vector<std::string> TDistinctStrings::Take() {
  slots_.clear();
  return std::exchange(store_, {});
}
