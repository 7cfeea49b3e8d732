#include "rescue/short_string.h"

#include <algorithm>
#include <cstring>

void TShortString::Assign(const std::string& text) {
  const size_t n = std::min(text.size(), static_cast<size_t>(kCapacity));
  std::memcpy(image_.data() + 1, text.data(), n);
  image_[0] = static_cast<unsigned char>(n);
}

void TShortString::Overlay(const std::string& bytes) {
  const size_t n = std::min(bytes.size(), static_cast<size_t>(kImageSize));
  std::memcpy(image_.data(), bytes.data(), n);
  image_[0] = static_cast<unsigned char>(Text().size());
}

std::string TShortString::Text() const {
  const size_t counted = std::min<size_t>(image_[0], kCapacity);
  const auto begin = image_.begin() + 1;
  const auto end = std::find(begin, begin + static_cast<std::ptrdiff_t>(counted), 0);
  return std::string(begin, end);
}
