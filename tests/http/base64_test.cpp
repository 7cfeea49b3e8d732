#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "http/decoder.h"
#include "http/encoder.h"

namespace {

std::string Decode(const std::string& text) {
  TNetDecoderMIME decoder;
  TStringStream stream;
  decoder.DecodeText(text, stream);
  return stream.DataString();
}

// Runs `action` and returns the message of the ENetException it raises.
template <class F>
std::string NetErrorOf(F action) {
  try {
    action();
  } catch (const ENetException& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

}  // namespace

TEST(Base64Test, EncodesAndDecodesTheStandardVectors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xff\xfe\x00", 3), "//4A"},
      {std::string("\x00", 1), "AA=="},
      {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
  };
  TNetEncoderMIME encoder;
  for (const auto& [plain, encoded] : cases) {
    SCOPED_TRACE(encoded);
    EXPECT_EQ(encoder.EncodeText(plain), encoded);
    EXPECT_EQ(TNetEncoder::EncodeText<TNetEncoderMIME>(plain), encoded);
    EXPECT_EQ(Decode(encoded), plain);
  }
}

TEST(Base64Test, LongInputIsOneUnbrokenLine) {
  std::mt19937 random(7);
  std::string bytes(1 << 20, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random() & 0xFF);
  const std::string encoded = TNetEncoder::EncodeText<TNetEncoderMIME>(bytes);
  EXPECT_EQ(encoded.size(), ((bytes.size() + 2) / 3) * 4);
  EXPECT_EQ(encoded.find_first_not_of(kMIMECodingTable + std::string("=")), std::string::npos);
  EXPECT_EQ(Decode(encoded), bytes);
}

TEST(Base64Test, EncodeStreamTakesACountFromThePosition) {
  TNetEncoderMIME encoder;
  TStringStream stream("abcdefg");
  stream.SetPosition(1);
  EXPECT_EQ(encoder.EncodeStream(stream, 3), "YmNk");  // "bcd"
  EXPECT_EQ(stream.Position(), 4);
  // More than is left encodes what is left.
  EXPECT_EQ(encoder.EncodeStream(stream, 6), "ZWZn");
  EXPECT_EQ(encoder.EncodeStream(stream, 3), "");
  EXPECT_EQ(encoder.EncodeStream(stream, 0), "");
  stream.SetPosition(0);
  EXPECT_EQ(encoder.EncodeStream(stream), "YWJjZGVmZw==");
}

TEST(Base64Test, EncodeRefusesCountsThatAreNotWholeGroups) {
  TNetEncoderMIME encoder;
  TStringStream stream("abcdef");
  for (int count : {1, 2, 4, 5, -1}) {
    SCOPED_TRACE(count);
    EXPECT_EQ(NetErrorOf([&] { encoder.EncodeStream(stream, count); }), "Uneven size in Encode.");
  }
  EXPECT_EQ(stream.Position(), 0);
}

TEST(Base64Test, EncoderNeedsAFullCodingTable) {
  TNetEncoderMIME encoder;
  encoder.CodingTable = "ABC";
  EXPECT_NE(NetErrorOf([&] { encoder.EncodeText("xyz"); }), "(nothing raised)");
}

TEST(Base64Test, DecodeRefusesUnevenLengths) {
  for (const std::string text : {"A", "AB", "ABC", "Zm9vY"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(NetErrorOf([&] { Decode(text); }), "Uneven size in DecodeToStream.");
  }
}

TEST(Base64Test, DecodeRefusesCharactersOutsideTheTable) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string("Zm9\x80", 4), "Character #128 at position 4 is not in the coding table."},
      {std::string("Zm9\xff", 4), "Character #255 at position 4 is not in the coding table."},
      {std::string("Z\0m9", 4), "Character #0 at position 2 is not in the coding table."},
      {"Zm9vZm!v", "Character #33 at position 7 is not in the coding table."},
      {"Zm 9", "Character #32 at position 3 is not in the coding table."},
      {"=Zm9", "Character #61 at position 1 is not in the coding table."},
      {"Z=m9", "Character #61 at position 2 is not in the coding table."},
      {"Zm=\x7f", "Character #127 at position 4 is not in the coding table."},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(message);
    TNetDecoderMIME decoder;
    TStringStream stream;
    EXPECT_EQ(NetErrorOf([&] { decoder.DecodeText(text, stream); }), message);
    EXPECT_EQ(stream.Size(), 0);  // nothing is written from a text that fails
  }
}

// Padding closes the text: data after it, or padding in an earlier group, would be dropped
// or misread, so both are refused with the position.
TEST(Base64Test, FillCharactersOnlyEndTheText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"QQ=B", "Character #66 at position 4 follows the padding."},
      {"Zg=A", "Character #65 at position 4 follows the padding."},
      {"QQ==QUJD", "Padding at position 3 before the end of the text."},
      {"Zg==Zg==", "Padding at position 3 before the end of the text."},
      {"Zm8=Zm9v", "Padding at position 4 before the end of the text."},
      {"Zm9vZm8=Zm9v", "Padding at position 8 before the end of the text."},
      {"Zm9vZ===", "Character #61 at position 6 is not in the coding table."},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    TNetDecoderMIME decoder;
    TStringStream stream;
    EXPECT_EQ(NetErrorOf([&] { decoder.DecodeText(text, stream); }), message);
    EXPECT_EQ(stream.Size(), 0);
  }
  EXPECT_EQ(Decode("Zm9vZg=="), "foof");
  EXPECT_EQ(Decode("Zm9vZm8="), "foofo");
  TNetDecoderMIME decoder;
  TStringStream stream("0123456789");
  stream.SetPosition(2);
  decoder.DecodeText("Zm9v", stream);
  EXPECT_EQ(stream.DataString(), "01foo56789");
}
