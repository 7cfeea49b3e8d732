#include "http/content_decoding.h"

#include <gtest/gtest.h>

#include <string>

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/movie_writer.h"

namespace {

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
  const std::string gzip = DeflatedBytes(movie, 31);
  const struct {
    const char* Name;
    TNetContentCoding Coding;
    std::string Body;
    std::string Result;
  } rows[] = {
      {"gzip", TNetContentCoding::ccGzip, gzip, movie},
      {"two gzip members", TNetContentCoding::ccGzip,
       DeflatedBytes("ab", 31) + DeflatedBytes("cd", 31), "abcd"},
      {"deflate in zlib's wrapper", TNetContentCoding::ccDeflate, DeflatedBytes(movie, 15), movie},
      {"bare deflate, as some servers send it", TNetContentCoding::ccDeflate,
       DeflatedBytes(movie, -15), movie},
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
