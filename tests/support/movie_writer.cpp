#include "tests/support/movie_writer.h"

#include <lzma.h>
#include <zlib.h>

#include <stdexcept>

std::string U16(uint16_t value) {
  return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string U32(uint32_t value) {
  return U16(static_cast<uint16_t>(value & 0xFFFF)) + U16(static_cast<uint16_t>(value >> 16));
}

std::string U30(uint32_t value) {
  std::string bytes;
  do {
    const uint8_t low = value & 0x7F;
    value >>= 7;
    bytes += static_cast<char>(value != 0 ? low | 0x80 : low);
  } while (value != 0);
  return bytes;
}

std::string ZeroTerminated(const std::string& text) {
  return text + std::string(1, '\0');
}

TActionWriter& TActionWriter::Record(uint8_t code, const std::string& payload) {
  bytes_ += static_cast<char>(code);
  if (code >= 0x80) bytes_ += U16(static_cast<uint16_t>(payload.size())) + payload;
  return *this;
}

TActionWriter& TActionWriter::ConstantPool(const std::vector<std::string>& entries) {
  std::string payload = U16(static_cast<uint16_t>(entries.size()));
  for (const std::string& entry : entries)
    payload += ZeroTerminated(entry);
  return Record(0x88, payload);
}

TActionWriter& TActionWriter::PushString(const std::string& text) {
  return Record(0x96, std::string(1, '\0') + ZeroTerminated(text));
}

TActionWriter& TActionWriter::PushPooled(uint16_t index) {
  if (index < 256) return Record(0x96, std::string{8, static_cast<char>(index)});
  return Record(0x96, std::string(1, 9) + U16(index));
}

TActionWriter& TActionWriter::PushInteger(int32_t value) {
  return Record(0x96, std::string(1, 7) + U32(static_cast<uint32_t>(value)));
}

TActionWriter& TActionWriter::GetURL(const std::string& address, const std::string& target) {
  return Record(0x83, ZeroTerminated(address) + ZeroTerminated(target));
}

TActionWriter& TActionWriter::Simple(uint8_t code) {
  return Record(code, std::string());
}

std::string TActionWriter::Bytes() const {
  return bytes_ + std::string(1, '\0');
}

std::string Tag(uint16_t code, const std::string& body, bool longForm) {
  if (!longForm && body.size() < 0x3F)
    return U16(static_cast<uint16_t>(code << 6 | body.size())) + body;
  return U16(static_cast<uint16_t>(code << 6 | 0x3F)) + U32(static_cast<uint32_t>(body.size())) +
         body;
}

namespace {

// Fields packed bit by bit, most significant first.
class TBitWriter {
 public:
  void Put(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
      if (used_ == 0) bytes_ += '\0';
      if ((value >> i) & 1) bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> used_));
      used_ = (used_ + 1) % 8;
    }
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  unsigned used_ = 0;
};

// A matrix with scale and translation, which takes several bytes of bits.
std::string Matrix() {
  TBitWriter bits;
  bits.Put(1, 1);
  bits.Put(17, 5);
  bits.Put(0x10000, 17);
  bits.Put(0x10000, 17);
  bits.Put(0, 1);
  bits.Put(10, 5);
  bits.Put(100, 10);
  bits.Put(200, 10);
  return bits.Bytes();
}

// Filters of three kinds whose sizes the reader works out differently.
std::string FilterList() {
  std::string list(1, 3);
  list += std::string(1, 1) + std::string(9, 'b');                               // blur
  list += std::string(1, 7) + std::string(1, 2) + std::string(2 * 5 + 19, 'g');  // gradient bevel
  list +=
      std::string(1, 5) + std::string{2, 3} + std::string(8 + 2 * 3 * 4 + 5, 'c');  // convolution
  return list;
}

}  // namespace

std::string DoActionTag(const TActionWriter& actions) {
  return Tag(12, actions.Bytes());
}

std::string StoringActionTag(const std::vector<std::string>& addresses) {
  TActionWriter actions;
  for (const std::string& address : addresses)
    actions.PushString(address).Simple(0x1D);
  return DoActionTag(actions);
}

std::string DoInitActionTag(uint16_t sprite, const TActionWriter& actions) {
  return Tag(59, U16(sprite) + actions.Bytes());
}

std::string AbcFile(const std::vector<std::string>& strings) {
  std::string abc = U16(16) + U16(46);
  abc += U30(2) + U30(5);                  // one signed integer
  abc += U30(2) + U30(300);                // one unsigned integer
  abc += U30(2) + std::string(8, '\x11');  // one double
  abc += U30(static_cast<uint32_t>(strings.size() + 1));
  for (const std::string& text : strings)
    abc += U30(static_cast<uint32_t>(text.size())) + text;
  // The rest of a real file (namespaces, methods, classes) follows; the reader stops before.
  return abc + std::string(16, '\0');
}

std::string DoAbcTag(const std::vector<std::string>& strings, bool older) {
  if (older) return Tag(72, AbcFile(strings));
  return Tag(82, U32(1) + ZeroTerminated("frame1") + AbcFile(strings));
}

std::string SpriteTag(uint16_t id, const std::vector<std::string>& tags) {
  std::string body = U16(id) + U16(1);
  for (const std::string& tag : tags)
    body += tag;
  return Tag(39, body + U16(0));
}

std::string PlaceObjectTag(const std::vector<TActionWriter>& events, uint8_t version, bool third) {
  const bool wide = version >= 6;
  const auto eventFlags = [wide](uint32_t flags) {
    return wide ? U32(flags) : U16(static_cast<uint16_t>(flags));
  };
  std::string body(1, static_cast<char>(0x80 | 0x20 | 0x04 | 0x02));
  if (third) body += static_cast<char>(0x01 | 0x02 | 0x08 | 0x20);
  body += U16(1);
  if (third) body += ZeroTerminated("game.Hero");
  body += U16(2) + Matrix() + ZeroTerminated("hero");
  if (third) body += FilterList() + std::string(1, 1) + std::string(1, 1) + U32(0xFFFFFFFF);
  body += U16(0) + eventFlags(wide ? 0x00020001 : 0x0001);
  for (size_t i = 0; i < events.size(); ++i) {
    const bool keyPress = wide && i % 2 == 1;
    const std::string actions =
        (keyPress ? std::string(1, 'K') : std::string()) + events[i].Bytes();
    body += eventFlags(keyPress ? 0x00020000 : 0x0001) +
            U32(static_cast<uint32_t>(actions.size())) + actions;
  }
  body += eventFlags(0);
  return Tag(third ? 70 : 26, body);
}

std::string ButtonTag(const TActionWriter& actions) {
  const std::string record = std::string(1, 0x0F) + U16(3) + U16(1) + Matrix();
  return Tag(7, U16(4) + record + std::string(1, '\0') + actions.Bytes());
}

std::string Button2Tag(const std::vector<TActionWriter>& conditions) {
  // Records with a colour transform that has no terms (one byte of bits).
  const std::string records = std::string(1, 0x0F) + U16(3) + U16(1) + Matrix() +
                              std::string(1, '\0') + std::string(1, '\0');
  std::string actions;
  for (size_t i = 0; i < conditions.size(); ++i) {
    const std::string record = U16(0x0008) + conditions[i].Bytes();
    const bool last = i + 1 == conditions.size();
    actions += U16(last ? 0 : static_cast<uint16_t>(record.size() + 2)) + record;
  }
  return Tag(34, U16(5) + std::string(1, '\0') +
                     U16(conditions.empty() ? 0 : static_cast<uint16_t>(records.size() + 2)) +
                     records + actions);
}

std::string ImportAssetsTag(const std::string& address, bool second) {
  const std::string assets = U16(1) + U16(7) + ZeroTerminated("Hero");
  if (second)
    return Tag(71, ZeroTerminated(address) + std::string(1, 1) + std::string(1, 0) + assets);
  return Tag(57, ZeroTerminated(address) + assets);
}

std::string BinaryDataTag(uint16_t id, const std::string& data) {
  return Tag(87, U16(id) + U32(0) + data, true);
}

std::string MovieHeaderRest() {
  TBitWriter rect;
  rect.Put(15, 5);
  rect.Put(0, 15);
  rect.Put(11000, 15);
  rect.Put(0, 15);
  rect.Put(8000, 15);
  return rect.Bytes() + U16(24 << 8) + U16(1);
}

std::string Movie(TMovieKind kind, const std::vector<std::string>& tags, uint8_t version) {
  std::string body = MovieHeaderRest();
  for (const std::string& tag : tags)
    body += tag;
  body += U16(0);
  const std::string plain = "FWS" + std::string(1, static_cast<char>(version)) +
                            U32(static_cast<uint32_t>(body.size() + 8)) + body;
  return PackMovie(kind, plain);
}

std::string PackMovie(TMovieKind kind, const std::string& plain) {
  const std::string header = plain.substr(1, 7);
  switch (kind) {
    case TMovieKind::mkPlain:
      return plain;
    case TMovieKind::mkZlib:
      return "C" + header + ZlibBytes(plain.substr(8));
    case TMovieKind::mkLzma: {
      const std::string packed = LzmaBytes(plain.substr(8));
      return "Z" + header + U32(static_cast<uint32_t>(packed.size() - 5)) + packed;
    }
  }
  return plain;
}

std::string ZlibBytes(const std::string& data) {
  uLongf size = compressBound(data.size());
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), data.size(), 6) != Z_OK)
    throw std::runtime_error("compress2 failed");
  packed.resize(size);
  return packed;
}

std::string DeflatedBytes(const std::string& data, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string packed(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(packed.data());
  z.avail_out = static_cast<uInt>(packed.size());
  const int result = deflate(&z, Z_FINISH);
  packed.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return packed;
}

std::string LzmaBytes(const std::string& data) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 1)) throw std::runtime_error("lzma_lzma_preset failed");
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  uint8_t properties[5];
  if (lzma_properties_encode(&filters[0], properties) != LZMA_OK)
    throw std::runtime_error("lzma_properties_encode failed");
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&stream, filters) != LZMA_OK)
    throw std::runtime_error("lzma_raw_encoder failed");
  std::string packed(reinterpret_cast<const char*>(properties), 5);
  std::string chunk(1 << 16, '\0');
  stream.next_in = reinterpret_cast<const uint8_t*>(data.data());
  stream.avail_in = data.size();
  lzma_ret result = LZMA_OK;
  while (result == LZMA_OK) {
    stream.next_out = reinterpret_cast<uint8_t*>(chunk.data());
    stream.avail_out = chunk.size();
    result = lzma_code(&stream, LZMA_FINISH);
    packed.append(chunk, 0, chunk.size() - stream.avail_out);
  }
  lzma_end(&stream);
  if (result != LZMA_STREAM_END) throw std::runtime_error("lzma_code failed");
  return packed;
}
