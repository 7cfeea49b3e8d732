// Strings kept once each, in the order first added. The table holds each string's hash and
// index side by side, so that telling a new string from a known one mostly touches one slot,
// and growing the table never looks at the strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TDistinctStrings {
 public:
  // True when `text` was not there yet; it is then kept, last.
  bool Add(std::string text);
  // As Add, copying `text` only when it is new.
  bool Add(std::string_view text);
  bool Contains(std::string_view text) const;
  size_t Size() const { return strings_.size(); }
  const std::vector<std::string>& Strings() const { return strings_; }
  // The strings, in the order added; the set is empty afterwards.
  std::vector<std::string> Take();
  void Clear();

 private:
  struct TSlot {
    uint32_t Hash = 0;   // of the string, as HashOf gives it
    uint32_t Index = 0;  // of the string, plus one; 0: an empty slot
  };
  // The slot of `text`, or the empty slot where it would go.
  size_t Find(std::string_view text, uint32_t hash) const;
  void Grow();
  // The slot `text` goes to, its hash set, or nullptr when `text` is there already.
  TSlot* NewSlot(std::string_view text);
  void Keep(TSlot& slot, std::string text);

  std::vector<std::string> strings_;
  std::vector<TSlot> slots_;  // a power of two of them, at most half used
};
