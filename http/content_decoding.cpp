#include "http/content_decoding.h"

#include <zlib.h>

#include "base/net_exceptions.h"
#include "base/text.h"

namespace {

// zlib's window bits for its three wrappers.
constexpr int kZlibWrapper = 15;
constexpr int kGzipWrapper = 15 + 16;
constexpr int kBareDeflate = -15;
// Decoded bytes handed on at a time.
constexpr size_t kOutputPiece = 64 * 1024;

std::string Lower(std::string text) {
  return LowerCase(Trim(text));
}

const char* CodingName(TNetContentCoding coding) {
  return coding == TNetContentCoding::ccGzip ? "gzip" : "deflate";
}

}  // namespace

TNetContentCoding ContentCodingOf(const std::string& contentEncoding) {
  const std::string value = Lower(contentEncoding);
  if (value.empty() || value == "identity") return TNetContentCoding::ccIdentity;
  if (value == "gzip" || value == "x-gzip") return TNetContentCoding::ccGzip;
  if (value == "deflate") return TNetContentCoding::ccDeflate;
  return TNetContentCoding::ccUnknown;
}

struct TNetContentDecoder::TState {
  z_stream Stream{};
  bool Open = false;
  bool Ended = false;    // the last member ended
  bool Started = false;  // bytes were given to the current member
  // deflate: whether the first bytes were tried as zlib data and are held for bare deflate.
  bool Probing = false;
  std::string Held;
  std::string Output = std::string(kOutputPiece, '\0');

  void Reset(int windowBits) {
    if (Open) inflateEnd(&Stream);
    Stream = z_stream{};
    Open = inflateInit2(&Stream, windowBits) == Z_OK;
    Ended = false;
    Started = false;
  }
  ~TState() {
    if (Open) inflateEnd(&Stream);
  }
};

TNetContentDecoder::TNetContentDecoder(TNetContentCoding coding, TStream& destination)
    : coding_(coding), destination_(destination), state_(std::make_unique<TState>()) {
  state_->Reset(coding == TNetContentCoding::ccGzip ? kGzipWrapper : kZlibWrapper);
  state_->Probing = coding == TNetContentCoding::ccDeflate;
  if (!state_->Open) Corrupt("zlib could not start");
}

TNetContentDecoder::~TNetContentDecoder() = default;

void TNetContentDecoder::Corrupt(const char* reason) const {
  throw ENetException(
      Format("Content-Encoding %s: the data is corrupt (%s)", CodingName(coding_), reason));
}

int64_t TNetContentDecoder::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  written_ += count;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  if (state_->Probing) {
    // "deflate" bodies are zlib data by the standard, bare deflate data from some servers: the
    // first bytes tell, as browsers find out.
    state_->Held.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
    if (state_->Held.size() < 2) return count;
    state_->Probing = false;
    const auto b0 = static_cast<unsigned char>(state_->Held[0]);
    const auto b1 = static_cast<unsigned char>(state_->Held[1]);
    const bool zlibHeader = (b0 & 0x0F) == 8 && ((b0 << 8) | b1) % 31 == 0;
    if (!zlibHeader) state_->Reset(kBareDeflate);
    const std::string held = std::move(state_->Held);
    Inflate(reinterpret_cast<const unsigned char*>(held.data()), held.size());
    return count;
  }
  Inflate(bytes, static_cast<size_t>(count));
  return count;
}

void TNetContentDecoder::Inflate(const unsigned char* bytes, size_t count) {
  TState& s = *state_;
  while (count > 0) {
    if (s.Ended) {
      // Another gzip member follows (concatenated files); anything else after the end is
      // dropped, as browsers drop it.
      if (coding_ != TNetContentCoding::ccGzip || bytes[0] != 0x1F) return;
      s.Reset(kGzipWrapper);
    }
    s.Started = true;
    s.Stream.next_in = const_cast<unsigned char*>(bytes);
    s.Stream.avail_in = static_cast<uInt>(std::min<size_t>(count, 1u << 30));
    const size_t given = s.Stream.avail_in;
    int result = Z_OK;
    do {
      s.Stream.next_out = reinterpret_cast<unsigned char*>(s.Output.data());
      s.Stream.avail_out = static_cast<uInt>(s.Output.size());
      result = inflate(&s.Stream, Z_NO_FLUSH);
      if (result == Z_NEED_DICT || result == Z_DATA_ERROR || result == Z_MEM_ERROR)
        Corrupt(s.Stream.msg ? s.Stream.msg : "inflate failed");
      const size_t produced = s.Output.size() - s.Stream.avail_out;
      if (produced > 0) destination_.WriteBuffer(s.Output.data(), static_cast<int64_t>(produced));
      if (result == Z_STREAM_END) {
        s.Ended = true;
        break;
      }
    } while (s.Stream.avail_out == 0 || (s.Stream.avail_in > 0 && result != Z_BUF_ERROR));
    const size_t used = given - s.Stream.avail_in;
    bytes += used;
    count -= used;
    if (!s.Ended && used == 0 && count > 0) Corrupt("no progress");
  }
}

void TNetContentDecoder::Finish() {
  TState& s = *state_;
  if (s.Probing && !s.Held.empty()) {
    s.Probing = false;
    const std::string held = std::move(s.Held);
    Inflate(reinterpret_cast<const unsigned char*>(held.data()), held.size());
  }
  // An empty body is an empty resource; a coded one must have ended.
  if (s.Started && !s.Ended)
    throw ENetException(Format("Content-Encoding %s: the data ends early", CodingName(coding_)));
}

int64_t TNetContentDecoder::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin != TSeekOrigin::soBeginning) return written_;
  if (origin == TSeekOrigin::soBeginning && offset == written_) return written_;
  throw ENetException("A body being decoded cannot be moved in");
}

void TNetContentDecoder::SetSize(int64_t) {
  // Readers size a stream ahead for what is announced; the decoded bytes go where they go.
}
