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

}  // namespace

void TActionReader::Read(TByteReader& actions) {
  pool_.clear();
  depth_ = 0;
  while (!actions.AtEnd()) {
    const uint8_t code = actions.U8();
    if (code == acEnd) break;
    TByteReader payload = actions.Sub(code >= 0x80 ? actions.U16() : 0);
    Act(code, payload);
  }
  Forget();
}

void TActionReader::Act(uint8_t code, TByteReader& payload) {
  switch (code) {
    case acConstantPool: {
      Forget();
      pool_.clear();
      const uint16_t count = payload.U16();
      for (uint16_t i = 0; i < count; ++i)
        pool_.push_back(strings_.AddPooled(payload.String()));
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
      Keep(TStackValue::skOther);
      return;
    case acGetVariable:
    case acToNumber:
    case acToString:
      Drop(1);
      Keep(TStackValue::skOther);
      return;
    case acGetMember:
    case acGetProperty:
      Drop(2);
      Keep(TStackValue::skOther);
      return;
    case acPop:
      Drop(1);
      return;
    case acPushDuplicate:
      if (depth_ > 0) {
        const TStackValue top = stack_[depth_ - 1];
        Keep(top.Kind, top.Text, top.Pooled);
      }
      return;
    case acStoreRegister:
      return;
    default:
      // Whatever else the action does with the stack, the strings on it were used whole.
      Forget();
      return;
  }
}

void TActionReader::Push(TByteReader& payload) {
  const uint8_t type = payload.U8();
  switch (type) {
    case ptString:
      Keep(TStackValue::skText, payload.String());
      return;
    case ptConstant8:
    case ptConstant16: {
      const uint16_t index = type == ptConstant8 ? payload.U8() : payload.U16();
      // A reference past the pool is the movie's own mistake; the player pushes undefined.
      if (index < pool_.size())
        Keep(TStackValue::skPooled, {}, pool_[index]);
      else
        Keep(TStackValue::skOther);
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
  Keep(TStackValue::skOther);
}

// The fields are stored one by one rather than as a value built first: this runs for every
// value pushed, and storing a built value costs a stall on reading it back whole.
void TActionReader::Keep(TStackValue::TKind kind, std::string_view text,
                         TMovieStrings::TNoted pooled) {
  if (depth_ == kMaxTrackedStack) Forget();
  TStackValue& value = stack_[depth_++];
  value.Text = text;
  value.Pooled = pooled;
  value.Kind = kind;
}

// Pops one value that an add used as a piece.
void TActionReader::Piece() {
  if (depth_ == 0) return;
  const TStackValue& value = stack_[--depth_];
  if (value.Kind == TStackValue::skText) strings_.AddPiece(value.Text);
  if (value.Kind == TStackValue::skPooled) strings_.AddPiece(value.Pooled);
}

// Pops values used whole.
void TActionReader::Drop(size_t count) {
  for (; count > 0 && depth_ > 0; --count)
    UseWhole(stack_[--depth_]);
}

// Everything on the stack was used whole, in the order it was pushed.
void TActionReader::Forget() {
  for (size_t i = 0; i < depth_; ++i)
    UseWhole(stack_[i]);
  depth_ = 0;
}

void TActionReader::UseWhole(const TStackValue& value) {
  if (value.Kind == TStackValue::skText) strings_.Add(value.Text);
  if (value.Kind == TStackValue::skPooled) strings_.Add(value.Pooled);
}
