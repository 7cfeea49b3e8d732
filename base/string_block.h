// Strings kept one after another in one block of memory: many short strings cost a few
// allocations instead of one each, and go all at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TStringBlock {
 public:
  void push_back(std::string_view text) {
    bytes_.append(text);
    ends_.push_back(bytes_.size());
  }
  // Valid until the next push_back.
  std::string_view operator[](size_t i) const {
    const size_t start = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_).substr(start, ends_[i] - start);
  }
  std::string_view back() const { return (*this)[ends_.size() - 1]; }
  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  void clear() {
    bytes_.clear();
    ends_.clear();
  }

 private:
  std::string bytes_;
  std::vector<size_t> ends_;  // of each string in bytes_
};
