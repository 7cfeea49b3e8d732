#include "http/decoder.h"

#include "base/net_exceptions.h"
#include "base/text.h"
#include "http/encoder.h"

namespace {

// Built once, from the alphabet of the MIME encoder.
const TNetDecoder4to3::TDecodeTable& MIMEDecodeTable() {
  static const TNetDecoder4to3::TDecodeTable table =
      TNetDecoder4to3::ConstructDecodeTable(kMIMECodingTable);
  return table;
}

}  // namespace

TNetDecoder4to3::TNetDecoder4to3(TComponent* owner) : TNetDecoder(owner) {
  DecodeTable.fill(NotInTable);
}

TNetDecoder4to3::TDecodeTable TNetDecoder4to3::ConstructDecodeTable(
    const std::string& codingTable) {
  TDecodeTable table;
  table.fill(NotInTable);
  for (size_t i = 0; i < codingTable.size() && i < 64; ++i) {
    const unsigned char c = static_cast<unsigned char>(codingTable[i]);
    if (c >= 1 && c <= 127) table[c - 1] = static_cast<uint8_t>(i);
  }
  return table;
}

void TNetDecoder4to3::DecodeText(const std::string& text, TStream& stream) {
  if (text.size() % 4 != 0) throw ENetException("Uneven size in DecodeToStream.");
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  // Padding may only close the text: what follows it would be dropped unread.
  bool padded = false;
  for (size_t i = 0; i < text.size(); i += 4) {
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      const char ch = text[i + k];
      const unsigned char code = static_cast<unsigned char>(ch);
      // The table covers codes 1 to 127 only; other codes are refused before any lookup.
      uint8_t value = (code >= 1 && code <= 127) ? DecodeTable[code - 1] : NotInTable;
      if (value == NotInTable && (k < 2 || ch != FillChar))
        // A character outside the table would decode to bytes that the text never held.
        throw ENetException(Format("Character #%u at position %zu is not in the coding table.",
                                   static_cast<unsigned>(code), i + k + 1));
      if (padded && value != NotInTable)
        throw ENetException(Format("Character #%u at position %zu follows the padding.",
                                   static_cast<unsigned>(code), i + k + 1));
      if (value == NotInTable) {
        if (i + 4 < text.size())
          throw ENetException(
              Format("Padding at position %zu before the end of the text.", i + k + 1));
        padded = true;
        value = 0;
      }
      group = (group << 6) | value;
    }
    size_t keep = 3;
    if (text[i + 2] == FillChar)
      keep = 1;
    else if (text[i + 3] == FillChar)
      keep = 2;
    bytes += static_cast<char>(group >> 16);
    if (keep >= 2) bytes += static_cast<char>((group >> 8) & 0xFF);
    if (keep == 3) bytes += static_cast<char>(group & 0xFF);
  }
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

TNetDecoderMIME::TNetDecoderMIME(TComponent* owner) : TNetDecoder4to3(owner) {
  DecodeTable = MIMEDecodeTable();
  FillChar = '=';
}
