#include "base/string_block.h"

#include <algorithm>
#include <cstring>

TStringBlock::TStringBlock(TStringBlock&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      end_(std::exchange(other.end_, nullptr)),
      free_(std::exchange(other.free_, 0)),
      views_(std::move(other.views_)) {
  other.clear();
}

TStringBlock& TStringBlock::operator=(TStringBlock&& other) noexcept {
  if (this != &other) {
    blocks_ = std::move(other.blocks_);
    end_ = std::exchange(other.end_, nullptr);
    free_ = std::exchange(other.free_, 0);
    views_ = std::move(other.views_);
    other.clear();
  }
  return *this;
}

void TStringBlock::push_back(std::string_view text) {
  if (text.empty()) {
    views_.emplace_back();
    return;
  }
  if (text.size() > free_) {
    const size_t size = std::max(kBlockSize, text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    end_ = blocks_.back().get();
    free_ = size;
  }
  std::memcpy(end_, text.data(), text.size());
  views_.emplace_back(end_, text.size());
  end_ += text.size();
  free_ -= text.size();
}

void TStringBlock::clear() {
  blocks_.clear();
  views_.clear();
  end_ = nullptr;
  free_ = 0;
}

std::vector<std::string> TStringBlock::Strings() const {
  std::vector<std::string> strings;
  strings.reserve(views_.size());
  for (const std::string_view view : views_)
    strings.emplace_back(view);
  return strings;
}
