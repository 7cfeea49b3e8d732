#include "http/content_decoding.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "tests/support/generated_bytes.h"

namespace {

// `bytes` compressed with zlib's wrapper `windowBits` (31 gzip, 15 zlib, -15 bare deflate).
std::string Compressed(const std::string& bytes, int windowBits) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, bytes.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The body decoded when it arrives cut at `cut` (and in pieces of 7 bytes after), or the error.
std::string Decoded(TNetContentCoding coding, const std::string& body, size_t cut) {
  TStringStream out;
  try {
    TNetContentDecoder decoder(coding, out);
    decoder.WriteBuffer(body.data(), static_cast<int64_t>(std::min(cut, body.size())));
    for (size_t at = cut; at < body.size(); at += 7)
      decoder.WriteBuffer(body.data() + at,
                          static_cast<int64_t>(std::min<size_t>(7, body.size() - at)));
    decoder.Finish();
  } catch (const ENetException& e) {
    return "error: " + e.Message();
  }
  return out.DataString();
}

TEST(ContentDecoding, CodingsAreReadWhereverTheBodyIsCut) {
  const std::string movie = GeneratedBytes(0, 70000);
  const std::string gzip = Compressed(movie, 31);
  const struct {
    const char* Name;
    TNetContentCoding Coding;
    std::string Body;
    std::string Result;
  } rows[] = {
      {"gzip", TNetContentCoding::ccGzip, gzip, movie},
      {"two gzip members", TNetContentCoding::ccGzip, Compressed("ab", 31) + Compressed("cd", 31),
       "abcd"},
      {"deflate in zlib's wrapper", TNetContentCoding::ccDeflate, Compressed(movie, 15), movie},
      {"bare deflate, as some servers send it", TNetContentCoding::ccDeflate,
       Compressed(movie, -15), movie},
      {"empty", TNetContentCoding::ccGzip, "", ""},
      {"cut short", TNetContentCoding::ccGzip, gzip.substr(0, gzip.size() / 2),
       "error: Content-Encoding gzip: the data ends early"},
      {"not gzip", TNetContentCoding::ccGzip, "plain text, not compressed",
       "error: Content-Encoding gzip: the data is corrupt (incorrect header check)"},
  };
  for (const auto& row : rows)
    for (const size_t cut : {size_t{0}, size_t{1}, size_t{2}, size_t{11}, row.Body.size()})
      EXPECT_EQ(Decoded(row.Coding, row.Body, cut), row.Result) << row.Name << ", cut at " << cut;

  EXPECT_EQ(ContentCodingOf(""), TNetContentCoding::ccIdentity);
  EXPECT_EQ(ContentCodingOf(" Identity "), TNetContentCoding::ccIdentity);
  EXPECT_EQ(ContentCodingOf("X-GZIP"), TNetContentCoding::ccGzip);
  EXPECT_EQ(ContentCodingOf("deflate"), TNetContentCoding::ccDeflate);
  EXPECT_EQ(ContentCodingOf("br"), TNetContentCoding::ccUnknown);
  EXPECT_EQ(ContentCodingOf("gzip, gzip"), TNetContentCoding::ccUnknown);
}

}  // namespace
