// Bounded reading of the little-endian fields of a movie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Reads fields from a range of a movie. Every read is checked against the end of the range;
// reading past it raises EMovieError "movie truncated at byte N", N counted from the start of
// the movie, so that a length field that claims more than is there never reads beyond.
class TByteReader {
 public:
  // `origin` is where `bytes` starts in the movie, for the messages.
  explicit TByteReader(std::string_view bytes, size_t origin = 0)
      : bytes_(bytes), origin_(origin) {}

  bool AtEnd() const { return at_ == bytes_.size(); }
  size_t Remaining() const { return bytes_.size() - at_; }
  // Where the next read starts, counted from the start of the movie.
  size_t Offset() const { return origin_ + at_; }

  uint8_t U8() {
    Need(1);
    return static_cast<uint8_t>(bytes_[at_++]);
  }
  uint16_t U16() {
    Need(2);
    const uint16_t value = static_cast<uint16_t>(Byte(0) | Byte(1) << 8);
    at_ += 2;
    return value;
  }
  uint32_t U32() {
    Need(4);
    const uint32_t value =
        Byte(0) | Byte(1) << 8 | Byte(2) << 16 | static_cast<uint32_t>(Byte(3)) << 24;
    at_ += 4;
    return value;
  }
  // The next `count` bytes.
  std::string_view Bytes(size_t count) {
    Need(count);
    const std::string_view part = bytes_.substr(at_, count);
    at_ += count;
    return part;
  }
  // A reader over the next `count` bytes, which this one steps over.
  TByteReader Sub(size_t count) {
    const size_t origin = Offset();
    return TByteReader(Bytes(count), origin);
  }
  // The text up to the next zero byte, which is stepped over too.
  std::string_view String();
  void Skip(size_t count) {
    Need(count);
    at_ += count;
  }
  // The unsigned variable-length integer of the byte-code file (7 bits a byte, at most 5 bytes).
  uint32_t U30();

  // Fields packed bit by bit, most significant bit first; the next whole-byte read starts at
  // the next byte.
  uint32_t Bits(unsigned count);
  void AlignToByte() { bit_ = 0; }

  [[noreturn]] void Truncated() const;
  // Raises EMovieError "movie corrupt at byte N: WHAT", N where the next read starts.
  [[noreturn]] void Corrupt(const char* what) const;

 private:
  uint32_t Byte(size_t i) const { return static_cast<uint8_t>(bytes_[at_ + i]); }
  void Need(size_t count) {
    bit_ = 0;
    if (count > bytes_.size() - at_) Truncated();
  }

  std::string_view bytes_;
  size_t origin_;
  size_t at_ = 0;
  // Bits of the byte before `at_` still unread by Bits (0: none).
  unsigned bit_ = 0;
};
