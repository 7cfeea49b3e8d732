#include "swf/movie_reader.h"

#include <cstdint>

#include "base/exception.h"
#include "base/text.h"
#include "swf/abc_reader.h"
#include "swf/action_reader.h"
#include "swf/byte_reader.h"
#include "swf/movie_container.h"
#include "swf/movie_strings.h"

namespace {

enum TTagCode : uint16_t {
  tcEnd = 0,
  tcDefineButton = 7,
  tcDoAction = 12,
  tcPlaceObject2 = 26,
  tcDefineButton2 = 34,
  tcDefineSprite = 39,
  tcImportAssets = 57,
  tcDoInitAction = 59,
  tcPlaceObject3 = 70,
  tcImportAssets2 = 71,
  tcDoABCDefine = 72,
  tcDoABC = 82,
  tcDefineBinaryData = 87,
};

// Clip event flags: the key-press event carries a key code before its actions.
constexpr uint32_t kClipEventKeyPress = 0x00020000;

class TMovieWalk {
 public:
  explicit TMovieWalk(TMovieStrings& strings) : strings_(strings) {}

  // Reads one movie (the outermost at `nesting` 0).
  void Movie(std::string_view bytes, int nesting) {
    if (nesting > kMaxMovieNesting)
      throw EMovieError(Format("movies nested deeper than %d levels", kMaxMovieNesting));
    const TMovieContainer container(bytes, kMaxMovieSize - unpacked_);
    unpacked_ += container.Unpacked();
    TByteReader movie(container.Movie());
    movie.Skip(8);
    // The frame rectangle: 5 bits give the width of each of its four fields.
    const uint32_t bits = movie.Bits(5);
    movie.Bits(4 * bits);
    movie.AlignToByte();
    movie.Skip(4);  // frame rate and frame count
    const int saved = version_;
    version_ = container.Version();
    Tags(movie, nesting, 0);
    version_ = saved;
  }

 private:
  void Tags(TByteReader& tags, int nesting, int spriteNesting) {
    while (!tags.AtEnd()) {
      const uint16_t header = tags.U16();
      const uint16_t code = header >> 6;
      uint32_t length = header & 0x3F;
      if (length == 0x3F) length = tags.U32();
      TByteReader body = tags.Sub(length);
      if (code == tcEnd) break;
      Tag(code, body, nesting, spriteNesting);
    }
  }

  void Tag(uint16_t code, TByteReader& body, int nesting, int spriteNesting) {
    switch (code) {
      case tcDoAction:
        actions_.Read(body);
        break;
      case tcDoInitAction:
        body.Skip(2);  // the sprite it initialises
        actions_.Read(body);
        break;
      case tcPlaceObject2:
      case tcPlaceObject3:
        PlaceObject(body, code == tcPlaceObject3);
        break;
      case tcDefineButton:
        Button(body);
        break;
      case tcDefineButton2:
        Button2(body);
        break;
      case tcDefineSprite:
        if (spriteNesting >= kMaxSpriteNesting)
          throw EMovieError(Format("sprites nested deeper than %d levels", kMaxSpriteNesting));
        body.Skip(4);  // sprite id and frame count
        Tags(body, nesting, spriteNesting + 1);
        break;
      case tcImportAssets:
      case tcImportAssets2:
        strings_.AddLoad(body.String(), TReferenceSource::rsImportAssets);
        break;
      case tcDoABC:
        body.Skip(4);   // flags
        body.String();  // name
        TAbcReader(strings_).Read(body);
        break;
      case tcDoABCDefine:
        TAbcReader(strings_).Read(body);
        break;
      case tcDefineBinaryData: {
        body.Skip(6);  // character id and a reserved field
        const std::string_view data = body.Bytes(body.Remaining());
        if (LooksLikeMovie(data)) {
          strings_.EnterBinaryMovie();
          Movie(data, nesting + 1);
          strings_.LeaveBinaryMovie();
        }
        break;
      }
      default:
        break;
    }
  }

  // PlaceObject2 and PlaceObject3: the fields before the clip actions are stepped over as
  // their flags say.
  void PlaceObject(TByteReader& body, bool third) {
    const uint8_t flags = body.U8();
    const uint8_t flags3 = third ? body.U8() : 0;
    if ((flags & 0x80) == 0) return;  // no clip actions
    body.Skip(2);                     // depth
    if (third && ((flags3 & 0x08) != 0 || ((flags3 & 0x10) != 0 && (flags & 0x02) != 0)))
      body.String();                 // class name
    if (flags & 0x02) body.Skip(2);  // character
    if (flags & 0x04) Matrix(body);
    if (flags & 0x08) ColorTransform(body);
    if (flags & 0x10) body.Skip(2);   // ratio
    if (flags & 0x20) body.String();  // name
    if (flags & 0x40) body.Skip(2);   // clip depth
    if (third) {
      if (flags3 & 0x01) Filters(body);
      if (flags3 & 0x02) body.Skip(1);  // blend mode
      if (flags3 & 0x04) body.Skip(1);  // bitmap caching
      if (flags3 & 0x20) body.Skip(5);  // visibility and background colour
    }
    ClipActions(body);
  }

  void ClipActions(TByteReader& body) {
    const bool wide = version_ >= 6;
    body.Skip(2);             // reserved
    body.Skip(wide ? 4 : 2);  // the union of all events
    while (true) {
      const uint32_t events = wide ? body.U32() : body.U16();
      if (events == 0) return;
      TByteReader record = body.Sub(body.U32());
      if (wide && (events & kClipEventKeyPress)) record.Skip(1);  // key code
      actions_.Read(record);
    }
  }

  void Matrix(TByteReader& body) {
    if (body.Bits(1)) body.Bits(2 * body.Bits(5));  // scale
    if (body.Bits(1)) body.Bits(2 * body.Bits(5));  // rotation
    body.Bits(2 * body.Bits(5));                    // translation
    body.AlignToByte();
  }

  void ColorTransform(TByteReader& body) {
    const uint32_t add = body.Bits(1);
    const uint32_t multiply = body.Bits(1);
    const uint32_t bits = body.Bits(4);
    body.Bits(4 * bits * (add + multiply));
    body.AlignToByte();
  }

  void Filters(TByteReader& body) {
    const uint8_t count = body.U8();
    for (uint8_t i = 0; i < count; ++i) {
      const size_t at = body.Offset();
      const uint8_t type = body.U8();
      switch (type) {
        case 0:
          body.Skip(23);
          break;  // drop shadow
        case 1:
          body.Skip(9);
          break;  // blur
        case 2:
          body.Skip(15);
          break;  // glow
        case 3:
          body.Skip(27);
          break;  // bevel
        case 4:   // gradient glow
        case 7:   // gradient bevel
          body.Skip(size_t{body.U8()} * 5 + 19);
          break;
        case 5: {  // convolution
          const size_t columns = body.U8();
          const size_t rows = body.U8();
          body.Skip(8 + columns * rows * 4 + 5);
          break;
        }
        case 6:
          body.Skip(80);
          break;  // colour matrix
        default:
          throw EMovieError(Format("movie corrupt at byte %zu: unknown filter %u", at, type));
      }
    }
  }

  // DefineButton: button records up to a zero byte, then one action list.
  void Button(TByteReader& body) {
    body.Skip(2);  // button id
    while (body.U8() != 0) {
      body.Skip(4);  // character and depth
      Matrix(body);
    }
    actions_.Read(body);
  }

  // DefineButton2: the offset of the first condition record, then records that each give the
  // size of the one they head (0 for the last).
  void Button2(TByteReader& body) {
    body.Skip(3);  // button id and flags
    const uint16_t offset = body.U16();
    if (offset == 0) return;
    if (offset < 2)
      throw EMovieError(Format("movie corrupt at byte %zu: bad action offset", body.Offset() - 2));
    body.Skip(offset - 2);
    while (true) {
      const uint16_t size = body.U16();
      if (size == 0) {
        body.Skip(2);  // conditions
        actions_.Read(body);
        return;
      }
      if (size < 4)
        throw EMovieError(
            Format("movie corrupt at byte %zu: bad condition size", body.Offset() - 2));
      TByteReader record = body.Sub(size - 2);
      record.Skip(2);  // conditions
      actions_.Read(record);
    }
  }

  TMovieStrings& strings_;
  TActionReader actions_{strings_};
  int version_ = 0;
  // Bytes unpacked so far, nested movies included, against kMaxMovieSize.
  size_t unpacked_ = 0;
};

}  // namespace

std::vector<std::string> MovieAddresses(std::string_view movie) {
  TMovieStrings strings;
  TMovieWalk walk(strings);
  walk.Movie(movie, 0);
  return strings.Addresses();
}

std::vector<TMovieReference> MovieReferences(std::string_view movie, bool navigation) {
  TMovieStrings strings;
  TMovieWalk walk(strings);
  walk.Movie(movie, 0);
  return strings.References(navigation);
}
