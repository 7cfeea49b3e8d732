// Base64 decoders: four characters of a coding table become three bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/net_base_component.h"
#include "base/stream.h"

class TNetDecoder : public TNetBaseComponent {
 public:
  using TNetBaseComponent::TNetBaseComponent;

  // Writes the bytes that `text` stands for to `stream` at its position.
  virtual void DecodeText(const std::string& text, TStream& stream) = 0;
};

class TNetDecoder4to3 : public TNetDecoder {
 public:
  // Entry c - 1 holds the 6-bit value of the character with code c (1 to 127), or
  // NotInTable.
  using TDecodeTable = std::array<uint8_t, 127>;
  static constexpr uint8_t NotInTable = 255;

  explicit TNetDecoder4to3(TComponent* owner = nullptr);

  char FillChar = '=';

  // Raises ENetException "Uneven size in DecodeToStream." when the length is not a multiple
  // of 4, and an ENetException naming the character when a character is not in the table
  // (the fill character is accepted as the third and fourth of the last group only, and
  // nothing but fill characters may follow the first of them).
  void DecodeText(const std::string& text, TStream& stream) override;

  static TDecodeTable ConstructDecodeTable(const std::string& codingTable);

 protected:
  TDecodeTable DecodeTable;
};

// The decoder of the RFC 2045 alphabet.
class TNetDecoderMIME : public TNetDecoder4to3 {
 public:
  explicit TNetDecoderMIME(TComponent* owner = nullptr);
};
