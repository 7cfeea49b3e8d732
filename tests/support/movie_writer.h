// Builds movies with chosen tags for the tests of the movie reader: action blocks, byte code
// with a string pool, sprites, buttons, placed clips, binary data, in all three containers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TMovieKind { mkPlain, mkZlib, mkLzma };

// Action records, as DoAction and clip events hold them. Each call appends one record.
class TActionWriter {
 public:
  TActionWriter& ConstantPool(const std::vector<std::string>& entries);
  // Push with one value each: a string, a pool reference (8-bit below 256, else 16-bit), or
  // an integer.
  TActionWriter& PushString(const std::string& text);
  TActionWriter& PushPooled(uint16_t index);
  TActionWriter& PushInteger(int32_t value);
  TActionWriter& GetURL(const std::string& address, const std::string& target = "_level0");
  // An action without a payload (Add2 0x47, GetVariable 0x1C, Pop 0x17, ...).
  TActionWriter& Simple(uint8_t code);
  // A record with any code and payload, lengths as given.
  TActionWriter& Record(uint8_t code, const std::string& payload);
  // The records, closed by the end action.
  std::string Bytes() const;

 private:
  std::string bytes_;
};

// The little-endian fields of a movie.
std::string U16(uint16_t value);
std::string U32(uint32_t value);
std::string ZeroTerminated(const std::string& text);
// The variable-length unsigned integer of the byte-code file.
std::string U30(uint32_t value);

// One tag: its record header (the long form when asked for or needed) and its body.
std::string Tag(uint16_t code, const std::string& body, bool longForm = false);

// Tags of common kinds.
std::string DoActionTag(const TActionWriter& actions);
// A DoAction that stores each address in a variable (Push, SetVariable), as a game keeps the
// files it will load.
std::string StoringActionTag(const std::vector<std::string>& addresses);
std::string DoInitActionTag(uint16_t sprite, const TActionWriter& actions);
// A byte-code file whose string pool holds `strings` (other pools empty), in DoABC (with
// flags and a name) or in the older DoABCDefine form.
std::string AbcFile(const std::vector<std::string>& strings);
std::string DoAbcTag(const std::vector<std::string>& strings, bool older = false);
std::string SpriteTag(uint16_t id, const std::vector<std::string>& tags);
// PlaceObject2 (or 3) with a character, a matrix, a name, a filter (for 3) and one clip event
// per action list (the second with the key-press event). `version` decides the event width.
std::string PlaceObjectTag(const std::vector<TActionWriter>& events, uint8_t version,
                           bool third = false);
std::string ButtonTag(const TActionWriter& actions);
std::string Button2Tag(const std::vector<TActionWriter>& conditions);
std::string ImportAssetsTag(const std::string& address, bool second = false);
std::string BinaryDataTag(uint16_t id, const std::string& data);

// The header fields after the signature, version and length: the frame rectangle (with
// 15-bit fields), frame rate and count.
std::string MovieHeaderRest();

// A whole movie: header, `tags`, the end tag, in the container of `kind`.
std::string Movie(TMovieKind kind, const std::vector<std::string>& tags, uint8_t version = 10);
// Packs a plain movie (whole, "FWS" header included) into another container.
std::string PackMovie(TMovieKind kind, const std::string& plain);
// Raw zlib and LZMA streams, for hostile movies.
std::string ZlibBytes(const std::string& data);
// `data` deflated in the wrapper zlib's `windowBits` name: 31 gzip, 15 zlib, -15 none (bodies
// with a content coding).
std::string DeflatedBytes(const std::string& data, int windowBits);
// Five property bytes, then the raw LZMA data.
std::string LzmaBytes(const std::string& data);
