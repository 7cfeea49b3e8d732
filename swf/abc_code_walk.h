// The instructions of a byte-code method body, walked in order with the operand stack and the
// first locals followed far enough to tie strings to the loads they reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "swf/movie_strings.h"

// What a body's code does with the operands of pushstring:
// - a string that reaches new URLRequest(...) (then a load, a Sound, anything but
//   navigateToURL), an assignment to a request's url, NetStream.play, Security.loadPolicyFile or
//   a load(...) that takes a string is a file whatever its shape; one whose request reaches
//   navigateToURL or sendToURL is a page;
// - two literals joined by add are one string; the operands of a join with anything else are
//   pieces, never files;
// - any other string used counts when its shape says file.
// The walk is linear: a branch is not followed, and where code can be reached by a jump the
// stack is taken as unknown. An opcode that is not one ends the body, not the movie.
class TAbcCodeWalk {
 public:
  // `pool` and `roles`: the file's strings and the roles of its multinames (abc_reader.h);
  // `constants`: for each multiname, the string a slot or constant of that name holds (0:
  // none), which code that reads the name gets.
  TAbcCodeWalk(TMovieStrings& strings, const std::vector<std::string_view>& pool,
               const std::vector<uint8_t>& roles, const std::vector<uint32_t>& constants);

  void Walk(std::string_view code);

 private:
  // A stack that deep is data, not a run of pushes leading to a call; every push goes through
  // Push, which holds the stack to this whatever the code repeats.
  static constexpr size_t kMaxTrackedStack = 1024;
  // Locals beyond these are not followed (a load's address is in the first few, if anywhere).
  static constexpr size_t kMaxTrackedLocals = 32;
  // Joined literals are kept up to this many bytes in all; beyond, a join counts as unknown.
  static constexpr size_t kMaxJoinedBytes = size_t{4} << 20;
  // Requests made in one body and followed to its end; more are taken as loads at once.
  static constexpr size_t kMaxTrackedRequests = 256;

  struct TValue {
    enum TKind : uint8_t {
      vkOther,
      vkString,   // Index: of the string pool
      vkJoined,   // Index: of joined_
      vkRequest,  // Index: of requests_
      vkClass,    // Index: the role of the class's name (URLRequest), as a constructor
    };
    uint32_t Index = 0;
    TKind Kind = vkOther;
  };
  struct TRequest {
    TValue Value;  // its address
    bool Navigation = false;
    TReferenceSource Source = TReferenceSource::rsAvm2UrlRequest;
  };

  void Push(TValue value) {
    if (depth_ == kMaxTrackedStack) Forget();
    stack_[depth_++] = value;
  }
  void PushOther() { Push(TValue()); }
  TValue Pop() { return depth_ > 0 ? stack_[--depth_] : TValue(); }
  uint8_t RoleOf(uint32_t name) const { return name < roles_.size() ? roles_[name] : 0; }
  // `value`, a string, reaches a load (or, with `navigation`, a page is opened with it).
  void Load(TValue value, bool navigation, TReferenceSource source);
  // Pops `count` values used in ways not followed.
  void Drop(size_t count);
  // Everything on the stack was used whole.
  void Forget();
  void UseWhole(TValue value);
  void UsePiece(TValue value);
  // The text of a string value; empty for others.
  std::string_view TextOf(TValue value) const;
  bool IsText(TValue value) const {
    return value.Kind == TValue::vkString || value.Kind == TValue::vkJoined;
  }
  void Join();
  // A call of the multiname `name` with `count` arguments; `construct`: constructprop;
  // `result`: it leaves a value.
  void Call(uint32_t name, uint32_t count, bool construct, bool result);
  // construct: a class on the stack below `count` arguments.
  void Construct(uint32_t count);
  // What reading the multiname `name` pushes: the string of a constant of that name, the
  // class of a load, or anything.
  TValue Named(uint32_t name) const;
  void SetProperty(uint32_t name);
  // The requests of the body are settled: pages or loads.
  void Settle();

  TMovieStrings& strings_;
  const std::vector<std::string_view>& pool_;
  const std::vector<uint8_t>& roles_;
  const std::vector<uint32_t>& constants_;
  // What each pool string is noted as, once used, and whether it was loaded (1) or opened as
  // a page (2) already.
  std::vector<TMovieStrings::TNoted> noted_;
  std::vector<uint8_t> loaded_;
  std::vector<TValue> stack_;
  size_t depth_ = 0;
  TValue locals_[kMaxTrackedLocals];
  std::vector<TRequest> requests_;
  std::deque<std::string> joined_;
  size_t joined_bytes_ = 0;
};
