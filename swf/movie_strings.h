// The strings a movie's code holds, gathered while its tags are read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Collects candidate strings in the order they are first met, and the strings that code only
// ever uses as pieces of a longer text (the operands of a concatenation), which are not files
// on their own.
class TMovieStrings {
 public:
  // A string used whole: a pushed value, a GetURL address, a byte-code constant.
  void Add(std::string_view text) { Note(text, kWhole); }
  // A string that code may use either way: an entry of a constant pool, which counts as
  // whatever the code that refers to it makes of it.
  void AddPooled(std::string_view text) { Note(text, 0); }
  // A string met as an operand of a concatenation.
  void AddPiece(std::string_view text) { Note(text, kPiece); }
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
  // Lookups by view, so that a string met again costs no copy.
  struct THash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  void Note(std::string_view text, uint8_t use);

  std::unordered_map<std::string, uint8_t, THash, std::equal_to<>> uses_;
  std::vector<const std::string*> order_;
};
