#include "http/encoder.h"

#include <algorithm>

#include "base/net_exceptions.h"
#include "base/string_stream.h"

std::string TNetEncoder::EncodeText(const std::string& text) {
  TStringStream stream(text);
  return EncodeStream(stream, AllBytes);
}

std::string TNetEncoder3to4::EncodeStream(TStream& stream, int32_t byteCount) {
  if (byteCount != AllBytes && byteCount % 3 != 0) throw ENetException("Uneven size in Encode.");
  // Every 6-bit value indexes the table; a shorter one would be read past its end.
  if (CodingTable.size() != 64)
    throw ENetException("The coding table must hold exactly 64 characters.");
  const int64_t left = std::max<int64_t>(0, stream.Size() - stream.Position());
  const int64_t n = std::min<int64_t>(byteCount, left);
  if (n <= 0) return std::string();
  std::string bytes(static_cast<size_t>(n), '\0');
  stream.ReadBuffer(bytes.data(), n);

  std::string result;
  result.reserve(static_cast<size_t>((n + 2) / 3 * 4));
  const auto byteAt = [&bytes](size_t i) -> uint32_t {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
  };
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t b1 = byteAt(i), b2 = byteAt(i + 1), b3 = byteAt(i + 2);
    const size_t groupLength = std::min<size_t>(3, bytes.size() - i);
    result += CodingTable[b1 >> 2];
    result += CodingTable[((b1 << 4) & 0x3F) | (b2 >> 4)];
    result += groupLength >= 2 ? CodingTable[((b2 << 2) & 0x3F) | (b3 >> 6)] : FillChar;
    result += groupLength == 3 ? CodingTable[b3 & 0x3F] : FillChar;
  }
  return result;
}

TNetEncoderMIME::TNetEncoderMIME(TComponent* owner) : TNetEncoder3to4(owner) {
  CodingTable = kMIMECodingTable;
  FillChar = '=';
}
