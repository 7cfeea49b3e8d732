// The three containers a movie comes in, and the limits of unpacking them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The most a movie may unpack to, nested movies included: a small file that claims or inflates
// to more is refused rather than allowed to fill the memory.
constexpr size_t kMaxMovieSize = 256u << 20;

// Whether `bytes` begins like a movie ("FWS", "CWS" or "ZWS"); says nothing of the rest.
bool LooksLikeMovie(std::string_view bytes);

// A movie with its body unpacked: "FWS" as it is, "CWS" inflated (zlib from byte 8), "ZWS"
// decoded (raw LZMA: bytes 8-11 the packed length, 12-16 the properties, data from 17). The
// header's length field (the unpacked size with the 8-byte header) bounds the unpacking.
class TMovieContainer {
 public:
  // Raises EMovieError: "not a Flash movie", "movie truncated at byte N", "zlib data corrupt",
  // "LZMA data corrupt", or "movie too large: ..." when the header claims more than `budget`
  // bytes. `budget` is what is left of kMaxMovieSize.
  TMovieContainer(std::string_view bytes, size_t budget = kMaxMovieSize);
  TMovieContainer(const TMovieContainer&) = delete;
  TMovieContainer& operator=(const TMovieContainer&) = delete;

  uint8_t Version() const { return version_; }
  // The whole movie as if it were plain: the 8 header bytes, then the body. Refers into the
  // caller's bytes for a plain movie, into this object otherwise.
  std::string_view Movie() const { return movie_; }
  // What unpacking took from the budget (0 for a plain movie).
  size_t Unpacked() const { return unpacked_size_; }

 private:
  // Unpack the body into unpacked_ after room for the header, up to `length` in all.
  void Inflate(std::string_view packed, size_t length);
  void DecodeLzma(std::string_view packed, size_t length);
  // Room for more than `produced` bytes, at most `limit` in all, and about `expected` (what
  // the data unpacked so far says the whole will take) when that is more than twice the room.
  void Grow(size_t produced, size_t limit, size_t expected);

  uint8_t version_ = 0;
  // The unpacked bytes. Made without being filled, so that only what unpacking writes is ever
  // touched: a header that claims more than the data holds costs no memory, and growing copies
  // only what was produced.
  std::unique_ptr<char[]> unpacked_;
  size_t unpacked_room_ = 0;
  size_t unpacked_size_ = 0;
  std::string_view movie_;
};
