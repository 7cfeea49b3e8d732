#include "swf/movie_container.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "base/exception.h"
#include "base/text.h"
#include "swf/byte_reader.h"

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kLzmaDataStart = 17;
// The output buffer starts near what the packed size suggests and grows by doubling, so a
// movie whose header claims much more than its data holds costs no more than it inflates to.
constexpr size_t kFirstOutputSize = 1u << 20;
constexpr size_t kExpectedRatio = 8;

[[noreturn]] void TruncatedAt(size_t byte) {
  throw EMovieError(Format("movie truncated at byte %zu", byte));
}

// What the whole output will take, judged from the part of the input used so far.
size_t Expected(size_t produced, size_t consumed, size_t packedSize) {
  if (consumed == 0) return produced;
  const double ratio = static_cast<double>(produced) / static_cast<double>(consumed);
  const double whole = ratio * static_cast<double>(packedSize) * 1.125;
  return whole > static_cast<double>(SIZE_MAX / 2) ? SIZE_MAX / 2 : static_cast<size_t>(whole);
}

size_t FirstOutputSize(size_t packedSize, size_t limit) {
  const size_t guess =
      packedSize > SIZE_MAX / kExpectedRatio ? SIZE_MAX : packedSize * kExpectedRatio;
  return std::min(limit, std::max(guess, kFirstOutputSize) + kHeaderSize);
}

}  // namespace

bool LooksLikeMovie(std::string_view bytes) {
  if (bytes.size() < 3 || bytes.substr(1, 2) != "WS") return false;
  return bytes[0] == 'F' || bytes[0] == 'C' || bytes[0] == 'Z';
}

TMovieContainer::TMovieContainer(std::string_view bytes, size_t budget) {
  if (bytes.size() < kHeaderSize || !LooksLikeMovie(bytes)) throw EMovieError("not a Flash movie");
  TByteReader header(bytes);
  header.Skip(3);
  version_ = header.U8();
  const uint32_t length = header.U32();
  if (length < kHeaderSize) throw EMovieError("not a Flash movie");
  if (length > budget)
    throw EMovieError(Format("movie too large: its header claims %u bytes, at most %zu are read",
                             length, budget));

  switch (bytes[0]) {
    case 'F':
      if (bytes.size() < length) TruncatedAt(bytes.size());
      movie_ = bytes.substr(0, length);
      return;
    case 'C':
      Inflate(bytes.substr(kHeaderSize), length);
      break;
    default: {
      if (bytes.size() < kLzmaDataStart) TruncatedAt(bytes.size());
      const uint32_t packedLength = header.U32();
      std::string_view packed = bytes.substr(kLzmaDataStart - 5);
      // The properties (5 bytes) stay in front of the data; the data is at most what the
      // header says it is.
      packed = packed.substr(0, std::min<size_t>(packed.size(), size_t{packedLength} + 5));
      DecodeLzma(packed, length);
      break;
    }
  }
  // The unpacked movie keeps the header as it came, the signature included.
  std::memcpy(unpacked_.get(), bytes.data(), kHeaderSize);
  unpacked_size_ = length;
  movie_ = std::string_view(unpacked_.get(), length);
}

void TMovieContainer::Grow(size_t produced, size_t limit, size_t expected) {
  if (produced < unpacked_room_) return;
  const size_t room = std::min(limit, std::max({unpacked_room_ * 2, expected, kFirstOutputSize}));
  std::unique_ptr<char[]> grown(new char[room]);
  if (produced > 0) std::memcpy(grown.get(), unpacked_.get(), produced);
  unpacked_ = std::move(grown);
  unpacked_room_ = room;
}

void TMovieContainer::Inflate(std::string_view packed, size_t length) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
  const std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, inflateEnd);

  Grow(0, length, FirstOutputSize(packed.size(), length));
  size_t produced = kHeaderSize;
  size_t consumed = 0;
  while (produced < length) {
    Grow(produced, length, Expected(produced, consumed, packed.size()));
    const size_t inChunk = std::min<size_t>(packed.size() - consumed, UINT_MAX);
    const size_t outChunk = std::min<size_t>(unpacked_room_ - produced, UINT_MAX);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + consumed));
    stream.avail_in = static_cast<uInt>(inChunk);
    stream.next_out = reinterpret_cast<Bytef*>(unpacked_.get() + produced);
    stream.avail_out = static_cast<uInt>(outChunk);
    const int result = inflate(&stream, Z_NO_FLUSH);
    consumed += inChunk - stream.avail_in;
    produced += outChunk - stream.avail_out;
    if (result == Z_STREAM_END) break;
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result == Z_NEED_DICT || result == Z_DATA_ERROR) throw EMovieError("zlib data corrupt");
    // Nothing more can come out once the input is used up and output room was left.
    if (consumed == packed.size() && stream.avail_out != 0) break;
  }
  if (produced < length) TruncatedAt(produced);
}

void TMovieContainer::DecodeLzma(std::string_view packed, size_t length) {
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (packed.size() < 5) TruncatedAt(kLzmaDataStart - 5 + packed.size());
  if (lzma_properties_decode(&filters[0], nullptr, reinterpret_cast<const uint8_t*>(packed.data()),
                             5) != LZMA_OK)
    throw EMovieError("LZMA data corrupt");
  auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
  const std::unique_ptr<void, void (*)(void*)> optionsGuard(options, free);
  // No match reaches back further than the movie is long, so a dictionary the properties
  // claim beyond that would only take memory.
  const size_t dictionary = std::min<size_t>(options->dict_size, std::max<size_t>(length, 4096));
  options->dict_size = static_cast<uint32_t>(std::max<size_t>(dictionary, LZMA_DICT_SIZE_MIN));

  lzma_stream stream = LZMA_STREAM_INIT;
  const lzma_ret init = lzma_raw_decoder(&stream, filters);
  if (init == LZMA_MEM_ERROR) throw std::bad_alloc();
  if (init != LZMA_OK) throw EMovieError("LZMA data corrupt");
  const std::unique_ptr<lzma_stream, void (*)(lzma_stream*)> guard(&stream, lzma_end);

  const std::string_view data = packed.substr(5);
  Grow(0, length, FirstOutputSize(data.size(), length));
  size_t produced = kHeaderSize;
  stream.next_in = reinterpret_cast<const uint8_t*>(data.data());
  stream.avail_in = data.size();
  while (produced < length) {
    Grow(produced, length, Expected(produced, data.size() - stream.avail_in, data.size()));
    stream.next_out = reinterpret_cast<uint8_t*>(unpacked_.get() + produced);
    stream.avail_out = unpacked_room_ - produced;
    const lzma_ret result = lzma_code(&stream, LZMA_RUN);
    produced = unpacked_room_ - stream.avail_out;
    if (result == LZMA_STREAM_END) break;
    if (result == LZMA_MEM_ERROR) throw std::bad_alloc();
    if (result != LZMA_OK && result != LZMA_BUF_ERROR) throw EMovieError("LZMA data corrupt");
    if (stream.avail_in == 0 && stream.avail_out != 0) break;
  }
  if (produced < length) TruncatedAt(produced);
}
