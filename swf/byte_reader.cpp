#include "swf/byte_reader.h"

#include "base/exception.h"
#include "base/text.h"

std::string_view TByteReader::String() {
  bit_ = 0;
  const size_t end = bytes_.find('\0', at_);
  if (end == std::string_view::npos) Truncated();
  const std::string_view text = bytes_.substr(at_, end - at_);
  at_ = end + 1;
  return text;
}

uint32_t TByteReader::U30() {
  uint32_t value = 0;
  for (unsigned shift = 0; shift < 35; shift += 7) {
    const uint8_t byte = U8();
    value |= static_cast<uint32_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) break;
  }
  return value;
}

uint32_t TByteReader::Bits(unsigned count) {
  uint32_t value = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (bit_ == 0) {
      if (at_ == bytes_.size()) Truncated();
      ++at_;
      bit_ = 8;
    }
    --bit_;
    value = value << 1 | ((static_cast<uint8_t>(bytes_[at_ - 1]) >> bit_) & 1);
  }
  return value;
}

void TByteReader::Truncated() const {
  throw EMovieError(Format("movie truncated at byte %zu", origin_ + bytes_.size()));
}

void TByteReader::Corrupt(const char* what) const {
  throw EMovieError(Format("movie corrupt at byte %zu: %s", Offset(), what));
}
