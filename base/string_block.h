// Strings kept one after another in a few large blocks of memory: many short strings cost a few
// allocations instead of one each, no block is ever moved to grow, and all go at once.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TStringBlock {
 public:
  TStringBlock() = default;
  // What is moved away leaves an empty block, ready for new strings.
  TStringBlock(TStringBlock&& other) noexcept;
  TStringBlock& operator=(TStringBlock&& other) noexcept;

  void push_back(std::string_view text);
  // Valid as long as the string is kept.
  std::string_view operator[](size_t i) const { return views_[i]; }
  std::string_view back() const { return views_.back(); }
  size_t size() const { return views_.size(); }
  bool empty() const { return views_.empty(); }
  void clear();
  // Each string as a std::string of its own, in order.
  std::vector<std::string> Strings() const;

 private:
  // Of each block; a longer string has a block of its own.
  static constexpr size_t kBlockSize = size_t{64} << 10;

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* end_ = nullptr;  // of what the last block holds
  size_t free_ = 0;      // bytes left after it
  // Grown a few views at a time, never moved: no copy and no doubling of memory as it grows.
  std::deque<std::string_view> views_;
};
