// The addresses of old-style script: the action records of DoAction, DoInitAction, clip events
// and buttons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "swf/movie_strings.h"

class TByteReader;

// Reads action lists and follows their stack into the load actions: the address that reaches
// GetURL2 (loadMovie, loadVariables and their Num forms), GetURL, or a call by name of
// loadMovie, loadVariables, load, sendAndLoad, loadClip, loadSound, play or loadPolicyFile
// counts whatever its shape; an address opened in a window (getURL) is navigation. Other strings
// (pushed values, pool entries) count when their shape says file; two literals joined by an add
// are one string, and the operands of a join with anything else are only pieces. One reader
// serves all the lists of a movie, so that its pool and stack keep their room from one list to
// the next.
class TActionReader {
 public:
  explicit TActionReader(TMovieStrings& strings) : strings_(strings), stack_(kMaxTrackedStack) {}

  // Reads action records up to the end action (code 0) or the end of `actions`, whichever
  // comes first. Each list starts with no pool and an empty stack. Raises EMovieError when a
  // record's length goes past the end.
  void Read(TByteReader& actions);

 private:
  // A stack that deep is no longer a run of pushes leading to a call; it is data. Every push
  // goes through Keep, which holds the stack to this, whatever the movie repeats.
  static constexpr size_t kMaxTrackedStack = 4096;
  // A call with more arguments than this is not followed.
  static constexpr size_t kMaxArguments = 64;
  // Joined literals are kept up to this many bytes in all; beyond, a join counts as unknown.
  static constexpr size_t kMaxJoinedBytes = size_t{4} << 20;

  // A value pushed since the stack's state was last known.
  struct TStackValue {
    enum TKind : uint8_t {
      skOther,   // anything else
      skText,    // a string written in the push, or joined from two
      skPooled,  // an entry of the pool (noted when the pool was read)
      skNumber,
    };
    std::string_view Text;
    double Number = 0;
    TMovieStrings::TNoted Pooled{};
    TKind Kind = skOther;
    bool IsString() const { return Kind == skText || Kind == skPooled; }
  };

  void Act(uint8_t code, TByteReader& payload);
  void Push(TByteReader& payload);
  void Keep(TStackValue::TKind kind, std::string_view text = {}, TMovieStrings::TNoted pooled = {},
            double number = 0);
  TStackValue Pop();
  // Two values added: one string when both are literal strings.
  void Join();
  // GetURL2: the address and target on the stack, `flags` of the record.
  void GetUrl2(uint8_t flags);
  // CallFunction, or CallMethod (`method`): the name, the object, the count and the arguments
  // on the stack.
  void CallByName(bool method);
  void Drop(size_t count);
  void Forget();
  void UseWhole(const TStackValue& value);

  TMovieStrings& strings_;
  std::vector<TStackValue> pool_;
  // The values pushed, stack_[0] the oldest; its room is made once.
  std::vector<TStackValue> stack_;
  size_t depth_ = 0;
  std::vector<TStackValue> arguments_;
  // The texts of joined literals, which the stack views.
  std::deque<std::string> joined_;
  size_t joined_bytes_ = 0;
};
