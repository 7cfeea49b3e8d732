// A length-prefixed text of at most 254 bytes kept in a 255-byte image, the form in which the
// output folder lives in memory and on disk.
#pragma once

#include <array>
#include <string>

class TShortString {
 public:
  static constexpr int kCapacity = 254;
  static constexpr int kImageSize = kCapacity + 1;
  using TImage = std::array<unsigned char, kImageSize>;

  TShortString() { image_.fill(0); }

  // Keeps at most the first 254 bytes of `text`. Bytes after the new value are left as they
  // were, so a shorter value leaves the tail of a longer one in the padding.
  void Assign(const std::string& text);
  // Copies `bytes` (at most 255 of them) over the image from its start; bytes beyond them
  // keep their value. The length byte is then brought within the value: 255 counts as 254,
  // and a zero byte inside the value ends it.
  void Overlay(const std::string& bytes);

  // The value: the counted bytes, up to the first zero byte among them.
  std::string Text() const;
  int Length() const { return image_[0]; }
  bool Empty() const { return Text().empty(); }
  const TImage& Image() const { return image_; }

 private:
  TImage image_;
};
