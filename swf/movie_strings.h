// The strings a movie's code holds, gathered while its tags are read.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Collects candidate strings in the order they are first met, and the strings that code only
// ever uses as pieces of a longer text (the operands of a concatenation), which are not files
// on their own.
class TMovieStrings {
 public:
  // A string used whole: a pushed value, a GetURL address, a byte-code constant.
  void Add(std::string_view text);
  // A string that code may use either way: an entry of a constant pool, which counts as
  // whatever the code that refers to it makes of it.
  void AddPooled(std::string_view text);
  // A string met as an operand of a concatenation.
  void AddPiece(std::string_view text);
  // The strings added that pass IsLoadableAddress, except those used only as pieces.
  std::vector<std::string> Addresses() const;

 private:
  std::vector<std::string> order_;
  std::unordered_set<std::string> seen_;
  std::unordered_set<std::string> whole_;
  std::unordered_set<std::string> pieces_;
};
