// Base64 encoders: three bytes become four characters of a coding table, with a fill
// character for a short last group and no line breaks.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "base/net_base_component.h"
#include "base/stream.h"

// The alphabet of RFC 2045.
inline constexpr char kMIMECodingTable[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class TNetEncoder : public TNetBaseComponent {
 public:
  // The byte count that means every byte from the stream's position on.
  static constexpr int32_t AllBytes = std::numeric_limits<int32_t>::max();

  using TNetBaseComponent::TNetBaseComponent;

  // Encodes up to `byteCount` bytes from the stream's position.
  virtual std::string EncodeStream(TStream& stream, int32_t byteCount = AllBytes) = 0;
  // Encodes all bytes of `text`.
  std::string EncodeText(const std::string& text);
  // Creates an encoder of the given class for one text.
  template <class TEncoderClass>
  static std::string EncodeText(const std::string& text) {
    TEncoderClass encoder;
    return encoder.EncodeText(text);
  }
};

class TNetEncoder3to4 : public TNetEncoder {
 public:
  using TNetEncoder::TNetEncoder;

  // 64 characters: the character for each 6-bit value.
  std::string CodingTable;
  char FillChar = '=';

  // Raises ENetException "Uneven size in Encode." for a byte count (other than AllBytes)
  // that is not a multiple of 3.
  std::string EncodeStream(TStream& stream, int32_t byteCount = AllBytes) override;
};

class TNetEncoderMIME : public TNetEncoder3to4 {
 public:
  explicit TNetEncoderMIME(TComponent* owner = nullptr);
};
