// The strings a movie's code holds, gathered while its tags are read, with what the code does
// with each: loads it, opens it as a page, uses it whole or only as a piece of a longer text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Where an address came from, as `refs -v` names it.
enum class TReferenceSource : uint8_t {
  rsAvm1Push,       // a pushed string whose shape says file
  rsAvm1Pool,       // an entry of a constant pool whose shape says file
  rsAvm1LoadMovie,  // the address argument of a load action or call
  rsAvm1LoadMovieNum,
  rsAvm1LoadVariables,
  rsAvm1LoadVariablesNum,
  rsAvm1GetUrl,
  rsAvm1Load,
  rsAvm1SendAndLoad,
  rsAvm1LoadClip,
  rsAvm1LoadSound,
  rsAvm1Play,
  rsAvm1LoadPolicyFile,
  rsAvm2Push,        // pushstring, shape
  rsAvm2Slot,        // the string value of a slot or constant, shape
  rsAvm2UrlRequest,  // new URLRequest(...)
  rsAvm2UrlProperty,
  rsAvm2Play,
  rsAvm2LoadPolicyFile,
  rsAvm2Load,
  rsAvm2NavigateToUrl,
  rsAvm2SendToUrl,
  rsImportAssets,
  rsXmlValue,  // an attribute value or text of an XML file, shape
};
// "AVM2 URLRequest", "pushstring (shape)", ...
const char* ReferenceSourceName(TReferenceSource source);

struct TMovieReference {
  std::string Address;  // as written
  TReferenceSource Source;
  // A page the movie opens (getURL to a window, navigateToURL), not a file it loads.
  bool Navigation = false;
  // Found in a movie held as binary data inside this one.
  bool InBinaryMovie = false;
  bool operator==(const TMovieReference&) const = default;
};

// Collects the strings in the order they are first met. A string is listed as a file when code
// hands it to a load (whatever its shape), or uses it whole and its shape says file
// (IsLoadableAddress); never when code only ever uses it as a piece of a longer text. A string
// only ever opened as a page is listed as navigation.
class TMovieStrings {
 public:
  // What a string is known by once it was noted, so that using it again costs no lookup: an
  // entry of a constant pool is noted when the pool is read and used at every push of it.
  enum class TNoted : uint32_t {};
  // Strings that later uses cannot change: no address can be among them, or the bounds were
  // reached when they were first met (the bounds are never left again).
  static constexpr TNoted kIgnored{UINT32_MAX};

  // A string used whole: a pushed value, an imported library.
  void Add(std::string_view text, TReferenceSource source) { Note(text, kWhole, source); }
  // A string used whole, noted for later uses by what Note returns.
  TNoted AddNoted(std::string_view text, TReferenceSource source) {
    return Note(text, kWhole, source);
  }
  // A string that code may use either way: an entry of a constant pool, which counts as
  // whatever the code that refers to it makes of it.
  TNoted AddPooled(std::string_view text, TReferenceSource source) { return Note(text, 0, source); }
  // A string met as an operand of a concatenation.
  void AddPiece(std::string_view text) { Note(text, kPiece, TReferenceSource::rsAvm1Push); }
  // A noted string used again, whole or as a piece.
  void Add(TNoted noted) { Use(noted, kWhole); }
  void AddPiece(TNoted noted) { Use(noted, kPiece); }
  // A string that reaches a load: listed whatever its shape, unless it cannot be an address
  // at all (empty, too long, a control byte, a scheme that is not fetched).
  void AddLoad(std::string_view text, TReferenceSource source);
  // A string that code opens as a page.
  void AddNavigation(std::string_view text, TReferenceSource source);
  // A string that code uses as a name (of a namespace, say): never a file by its shape alone.
  void AddName(std::string_view text) { Note(text, kNamed, TReferenceSource::rsAvm2Push); }

  // Strings first met from here to the matching Leave are in a movie held as binary data.
  void EnterBinaryMovie() { ++binary_movies_; }
  void LeaveBinaryMovie() { --binary_movies_; }

  // What is listed, the first kMaxAddresses of it; `navigation`: the pages too.
  std::vector<TMovieReference> References(bool navigation) const;
  // The files alone, as written.
  std::vector<std::string> Addresses() const;

 private:
  static constexpr uint8_t kWhole = 1;
  static constexpr uint8_t kPiece = 2;
  static constexpr uint8_t kLoad = 4;
  static constexpr uint8_t kNavigation = 8;
  static constexpr uint8_t kNamed = 16;
  // Bounds on what is kept, so that a movie of millions of distinct strings costs no more
  // memory than a few MiB: no game loads more files than this.
  static constexpr size_t kMaxAddresses = 20000;
  static constexpr size_t kMaxKnownStrings = 100000;

  struct TEntry {
    std::string Text;
    uint64_t Hash;
    uint8_t Use;
    bool Shaped;  // its shape says file
    TReferenceSource WholeSource;
    TReferenceSource LoadSource;
    bool InBinaryMovie;
  };
  // A slot of the index: the entry's position + 1 (0: empty) and the upper half of its hash,
  // so that most probes that miss never touch the entry.
  struct TSlot {
    uint32_t Entry = 0;
    uint32_t HashHigh = 0;
  };

  TNoted Note(std::string_view text, uint8_t use, TReferenceSource source);
  // The entry of `text`, made when there is none and the bounds allow; nullptr otherwise.
  // `listed`: it is listed whatever its shape.
  TEntry* Entry(std::string_view text, bool listed);
  void Use(TNoted noted, uint8_t use) {
    if (noted != kIgnored) entries_[static_cast<uint32_t>(noted)].Use |= use;
  }
  // The slot of `text`, or the empty slot where it would go.
  TSlot& Find(std::string_view text, uint64_t hash);
  void GrowIndex();

  // Every string judged, in the order first met.
  std::vector<TEntry> entries_;
  size_t addresses_ = 0;
  int binary_movies_ = 0;
  // Open addressing with linear probing over a power-of-two table at most half full.
  std::vector<TSlot> index_;
};
