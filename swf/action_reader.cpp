#include "swf/action_reader.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "swf/byte_reader.h"
#include "swf/movie_strings.h"

namespace {

enum TActionCode : uint8_t {
  acEnd = 0x00,
  acAdd = 0x0A,
  acPop = 0x17,
  acGetVariable = 0x1C,
  acStringAdd = 0x21,
  acGetProperty = 0x22,
  acToNumber = 0x4A,
  acToString = 0x4B,
  acPushDuplicate = 0x4C,
  acGetMember = 0x4E,
  acAdd2 = 0x47,
  acGetURL = 0x83,
  acStoreRegister = 0x87,
  acConstantPool = 0x88,
  acPush = 0x96,
};

enum TPushType : uint8_t {
  ptString = 0,
  ptFloat = 1,
  ptNull = 2,
  ptUndefined = 3,
  ptRegister = 4,
  ptBoolean = 5,
  ptDouble = 6,
  ptInteger = 7,
  ptConstant8 = 8,
  ptConstant16 = 9,
};

// The values pushed since the stack's state was last known: a string (a view into the movie)
// or anything else (empty view with `IsString` false).
struct TStackValue {
  std::string_view Text;
  bool IsString = false;
};

// A stack that deep is no longer a run of pushes leading to an add; it is data.
constexpr size_t kMaxTrackedStack = 4096;

class TActionRun {
 public:
  explicit TActionRun(TMovieStrings& strings) : strings_(strings) {}

  void Run(TByteReader& actions) {
    while (!actions.AtEnd()) {
      const uint8_t code = actions.U8();
      if (code == acEnd) break;
      TByteReader payload = actions.Sub(code >= 0x80 ? actions.U16() : 0);
      Act(code, payload);
    }
    Forget();
  }

 private:
  void Act(uint8_t code, TByteReader& payload) {
    switch (code) {
      case acConstantPool: {
        Forget();
        pool_.clear();
        const uint16_t count = payload.U16();
        for (uint16_t i = 0; i < count; ++i) {
          pool_.push_back(payload.String());
          strings_.AddPooled(pool_.back());
        }
        return;
      }
      case acPush:
        while (!payload.AtEnd())
          Push(payload);
        return;
      case acGetURL:
        Forget();
        strings_.Add(payload.String());
        return;
      case acAdd:
      case acAdd2:
      case acStringAdd:
        Piece();
        Piece();
        stack_.push_back({});
        return;
      case acGetVariable:
      case acToNumber:
      case acToString:
        Drop(1);
        stack_.push_back({});
        return;
      case acGetMember:
      case acGetProperty:
        Drop(2);
        stack_.push_back({});
        return;
      case acPop:
        Drop(1);
        return;
      case acPushDuplicate:
        if (!stack_.empty()) stack_.push_back(stack_.back());
        return;
      case acStoreRegister:
        return;
      default:
        // Whatever else the action does with the stack, the strings on it were used whole.
        Forget();
        return;
    }
  }

  void Push(TByteReader& payload) {
    const uint8_t type = payload.U8();
    switch (type) {
      case ptString:
        Keep({payload.String(), true});
        return;
      case ptConstant8:
      case ptConstant16: {
        const uint16_t index = type == ptConstant8 ? payload.U8() : payload.U16();
        // A reference past the pool is the movie's own mistake; the player pushes undefined.
        Keep(index < pool_.size() ? TStackValue{pool_[index], true} : TStackValue{});
        return;
      }
      case ptFloat:
      case ptInteger:
        payload.Skip(4);
        break;
      case ptDouble:
        payload.Skip(8);
        break;
      case ptRegister:
      case ptBoolean:
        payload.Skip(1);
        break;
      case ptNull:
      case ptUndefined:
        break;
      default:
        // An unknown type has no known size: the rest of the record cannot be read.
        payload.Skip(payload.Remaining());
        Forget();
        return;
    }
    Keep({});
  }

  void Keep(TStackValue value) {
    if (stack_.size() >= kMaxTrackedStack) Forget();
    stack_.push_back(value);
  }

  // Pops one value that an add used as a piece.
  void Piece() {
    if (stack_.empty()) return;
    if (stack_.back().IsString) strings_.AddPiece(stack_.back().Text);
    stack_.pop_back();
  }

  // Pops values used whole.
  void Drop(size_t count) {
    for (; count > 0 && !stack_.empty(); --count) {
      if (stack_.back().IsString) strings_.Add(stack_.back().Text);
      stack_.pop_back();
    }
  }

  // Everything on the stack was used whole, in the order it was pushed.
  void Forget() {
    for (const TStackValue& value : stack_)
      if (value.IsString) strings_.Add(value.Text);
    stack_.clear();
  }

  TMovieStrings& strings_;
  std::vector<std::string_view> pool_;
  std::vector<TStackValue> stack_;
};

}  // namespace

void ReadActions(TByteReader& actions, TMovieStrings& strings) {
  TActionRun run(strings);
  run.Run(actions);
}
