// The strings of old-style script: the action records of DoAction, DoInitAction, clip events
// and buttons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "swf/movie_strings.h"

class TByteReader;

// Reads action lists and gives `strings` the entries of ConstantPool, the string values of
// Push (pool references resolved) and the address of GetURL. A short run of the stack is
// followed so that strings joined by an add are known as pieces. One reader serves all the
// lists of a movie, so that its pool and stack keep their room from one list to the next.
class TActionReader {
 public:
  explicit TActionReader(TMovieStrings& strings) : strings_(strings), stack_(kMaxTrackedStack) {}

  // Reads action records up to the end action (code 0) or the end of `actions`, whichever
  // comes first. Each list starts with no pool and an empty stack. Raises EMovieError when a
  // record's length goes past the end.
  void Read(TByteReader& actions);

 private:
  // A stack that deep is no longer a run of pushes leading to an add; it is data. Every push
  // goes through Keep, which holds the stack to this, whatever the movie repeats.
  static constexpr size_t kMaxTrackedStack = 4096;

  // A value pushed since the stack's state was last known: a string written in the push, an
  // entry of the pool (noted when the pool was read), or anything else.
  struct TStackValue {
    enum TKind : uint8_t { skOther, skText, skPooled };
    std::string_view Text;
    TMovieStrings::TNoted Pooled{};
    TKind Kind = skOther;
  };

  void Act(uint8_t code, TByteReader& payload);
  void Push(TByteReader& payload);
  void Keep(TStackValue::TKind kind, std::string_view text = {}, TMovieStrings::TNoted pooled = {});
  void Piece();
  void Drop(size_t count);
  void Forget();
  void UseWhole(const TStackValue& value);

  TMovieStrings& strings_;
  std::vector<TMovieStrings::TNoted> pool_;
  // The values pushed, stack_[0] the oldest; its room is made once.
  std::vector<TStackValue> stack_;
  size_t depth_ = 0;
};
