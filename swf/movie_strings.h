// The strings a movie's code holds, gathered while its tags are read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Collects candidate strings in the order they are first met, and the strings that code only
// ever uses as pieces of a longer text (the operands of a concatenation), which are not files
// on their own.
class TMovieStrings {
 public:
  // What a string is known by once it was noted, so that using it again costs no lookup: an
  // entry of a constant pool is noted when the pool is read and used at every push of it.
  enum class TNoted : uint32_t {};

  // A string used whole: a pushed value, a GetURL address, a byte-code constant.
  void Add(std::string_view text) { Note(text, kWhole); }
  // A string that code may use either way: an entry of a constant pool, which counts as
  // whatever the code that refers to it makes of it.
  TNoted AddPooled(std::string_view text) { return Note(text, 0); }
  // A string met as an operand of a concatenation.
  void AddPiece(std::string_view text) { Note(text, kPiece); }
  // A pooled string used again, whole or as a piece.
  void Add(TNoted noted) { Use(noted, kWhole); }
  void AddPiece(TNoted noted) { Use(noted, kPiece); }
  // The strings added that pass IsLoadableAddress, except those used only as pieces; the
  // first kMaxAddresses of them.
  std::vector<std::string> Addresses() const;

 private:
  static constexpr uint8_t kWhole = 1;
  static constexpr uint8_t kPiece = 2;
  static constexpr uint8_t kRefused = 4;
  // Bounds on what is kept, so that a movie of millions of distinct strings costs no more
  // memory than a few MiB: no game loads more files than this.
  static constexpr size_t kMaxAddresses = 20000;
  static constexpr size_t kMaxKnownStrings = 100000;
  // Strings that later uses cannot change: no address can be among them, or the bounds were
  // reached when they were first met (the bounds are never left again).
  static constexpr TNoted kIgnored{UINT32_MAX};

  struct TEntry {
    std::string Text;
    uint64_t Hash;
    uint8_t Use;
  };
  // A slot of the index: the entry's position + 1 (0: empty) and the upper half of its hash,
  // so that most probes that miss never touch the entry.
  struct TSlot {
    uint32_t Entry = 0;
    uint32_t HashHigh = 0;
  };

  TNoted Note(std::string_view text, uint8_t use);
  void Use(TNoted noted, uint8_t use) {
    if (noted != kIgnored) entries_[static_cast<uint32_t>(noted)].Use |= use;
  }
  // The slot of `text`, or the empty slot where it would go.
  TSlot& Find(std::string_view text, uint64_t hash);
  void GrowIndex();

  // Every string judged, in the order first met, the refused ones marked kRefused.
  std::vector<TEntry> entries_;
  size_t addresses_ = 0;
  // Open addressing with linear probing over a power-of-two table at most half full.
  std::vector<TSlot> index_;
};
