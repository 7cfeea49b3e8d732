#include "swf/action_reader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "swf/address_filter.h"
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
  acCallFunction = 0x3D,
  acAdd2 = 0x47,
  acToNumber = 0x4A,
  acToString = 0x4B,
  acPushDuplicate = 0x4C,
  acGetMember = 0x4E,
  acCallMethod = 0x52,
  acGetURL = 0x83,
  acStoreRegister = 0x87,
  acConstantPool = 0x88,
  acPush = 0x96,
  acGetURL2 = 0x9A,
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

// GetURL2's flags: the target is a clip (loadMovie), the address gives variables
// (loadVariables).
constexpr uint8_t kLoadTarget = 0x40;
constexpr uint8_t kLoadVariables = 0x80;

// The functions and methods whose first argument is an address they load (attachMovie, whose
// argument names a symbol of the library, is not among them); getURL opens a page.
struct TLoadCall {
  std::string_view Name;
  TReferenceSource Source;
};
constexpr std::array<TLoadCall, 11> kLoadCalls = {{
    {"loadMovie", TReferenceSource::rsAvm1LoadMovie},
    {"loadMovieNum", TReferenceSource::rsAvm1LoadMovieNum},
    {"loadVariables", TReferenceSource::rsAvm1LoadVariables},
    {"loadVariablesNum", TReferenceSource::rsAvm1LoadVariablesNum},
    {"load", TReferenceSource::rsAvm1Load},
    {"sendAndLoad", TReferenceSource::rsAvm1SendAndLoad},
    {"loadClip", TReferenceSource::rsAvm1LoadClip},
    {"loadSound", TReferenceSource::rsAvm1LoadSound},
    {"play", TReferenceSource::rsAvm1Play},
    {"loadPolicyFile", TReferenceSource::rsAvm1LoadPolicyFile},
    {"getURL", TReferenceSource::rsAvm1GetUrl},
}};

// Names are matched without regard to case, as players before version 7 call them.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

const TLoadCall* LoadCallOf(std::string_view name) {
  for (const TLoadCall& call : kLoadCalls)
    if (SameName(call.Name, name)) return &call;
  return nullptr;
}

bool IsLevel(std::string_view target) {
  return target.size() > 6 && target.substr(0, 6) == "_level";
}

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
      for (uint16_t i = 0; i < count; ++i) {
        TStackValue entry;
        entry.Text = payload.String();
        entry.Pooled = strings_.AddPooled(entry.Text, TReferenceSource::rsAvm1Pool);
        entry.Kind = TStackValue::skPooled;
        pool_.push_back(entry);
      }
      return;
    }
    case acPush:
      while (!payload.AtEnd())
        Push(payload);
      return;
    case acGetURL: {
      Forget();
      const std::string_view address = payload.String();
      const std::string_view target = payload.AtEnd() ? std::string_view() : payload.String();
      // A level is where loadMovieNum puts a movie; any other target is a window or frame.
      if (IsLevel(target))
        strings_.AddLoad(address, TReferenceSource::rsAvm1LoadMovieNum);
      else
        strings_.AddNavigation(address, TReferenceSource::rsAvm1GetUrl);
      return;
    }
    case acGetURL2:
      GetUrl2(payload.U8());
      return;
    case acCallFunction:
    case acCallMethod:
      CallByName(code == acCallMethod);
      return;
    case acAdd:
    case acAdd2:
    case acStringAdd:
      Join();
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
        Keep(top.Kind, top.Text, top.Pooled, top.Number);
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
        Keep(TStackValue::skPooled, pool_[index].Text, pool_[index].Pooled);
      else
        Keep(TStackValue::skOther);
      return;
    }
    case ptInteger:
      Keep(TStackValue::skNumber, {}, {}, static_cast<int32_t>(payload.U32()));
      return;
    case ptDouble: {
      // The two halves of the double are stored high first, each little-endian.
      const uint64_t high = payload.U32();
      const uint64_t bits = high << 32 | payload.U32();
      double value = 0;
      std::memcpy(&value, &bits, sizeof value);
      Keep(TStackValue::skNumber, {}, {}, value);
      return;
    }
    case ptFloat: {
      const uint32_t bits = payload.U32();
      float value = 0;
      std::memcpy(&value, &bits, sizeof value);
      Keep(TStackValue::skNumber, {}, {}, value);
      return;
    }
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
                         TMovieStrings::TNoted pooled, double number) {
  if (depth_ == kMaxTrackedStack) Forget();
  TStackValue& value = stack_[depth_++];
  value.Text = text;
  value.Pooled = pooled;
  value.Number = number;
  value.Kind = kind;
}

TActionReader::TStackValue TActionReader::Pop() {
  return depth_ > 0 ? stack_[--depth_] : TStackValue();
}

void TActionReader::Join() {
  const TStackValue second = Pop();
  const TStackValue first = Pop();
  if (first.IsString() && second.IsString() &&
      joined_bytes_ + first.Text.size() + second.Text.size() <= kMaxJoinedBytes) {
    std::string& joined = joined_.emplace_back(first.Text);
    joined += second.Text;
    joined_bytes_ += joined.size();
    // The joined text is the candidate; a pool entry in it is not one on its own.
    for (const TStackValue* value : {&first, &second})
      if (value->Kind == TStackValue::skPooled) strings_.AddPiece(value->Pooled);
    Keep(TStackValue::skText, joined);
    return;
  }
  // A join with anything unknown: its literal operands are pieces, not files.
  for (const TStackValue* value : {&first, &second}) {
    if (value->Kind == TStackValue::skText) strings_.AddPiece(value->Text);
    if (value->Kind == TStackValue::skPooled) strings_.AddPiece(value->Pooled);
  }
  Keep(TStackValue::skOther);
}

void TActionReader::GetUrl2(uint8_t flags) {
  const TStackValue target = Pop();
  const TStackValue address = Pop();
  if (!address.IsString()) {
    UseWhole(address);
    return;
  }
  if (flags & kLoadVariables) {
    const bool level = target.IsString() && IsLevel(target.Text);
    strings_.AddLoad(address.Text, level ? TReferenceSource::rsAvm1LoadVariablesNum
                                         : TReferenceSource::rsAvm1LoadVariables);
  } else if (flags & kLoadTarget) {
    strings_.AddLoad(address.Text, TReferenceSource::rsAvm1LoadMovie);
  } else if (target.IsString() && IsLevel(target.Text)) {
    strings_.AddLoad(address.Text, TReferenceSource::rsAvm1LoadMovieNum);
  } else if (target.IsString()) {
    strings_.AddNavigation(address.Text, TReferenceSource::rsAvm1GetUrl);
  } else {
    // A target worked out at run time: a level or a window, nobody can tell.
    UseWhole(address);
  }
}

void TActionReader::CallByName(bool method) {
  const TStackValue name = Pop();
  if (method) UseWhole(Pop());
  const TStackValue count = Pop();
  const TLoadCall* call = name.IsString() ? LoadCallOf(name.Text) : nullptr;
  if (!call) UseWhole(name);
  if (count.Kind != TStackValue::skNumber || !(count.Number >= 0) || count.Number > kMaxArguments ||
      static_cast<size_t>(count.Number) > depth_) {
    UseWhole(count);
    Forget();
    Keep(TStackValue::skOther);
    return;
  }
  arguments_.clear();
  for (auto left = static_cast<size_t>(count.Number); left > 0; --left)
    arguments_.push_back(Pop());
  for (size_t i = 0; i < arguments_.size(); ++i) {
    const TStackValue& argument = arguments_[i];
    // play is also the name of a game's own methods (sounds.play("click")): its string counts
    // as an address when it has the look of a path.
    const bool address =
        call && argument.IsString() &&
        (call->Source != TReferenceSource::rsAvm1Play || LooksLikePath(argument.Text));
    if (i == 0 && address) {
      if (call->Source == TReferenceSource::rsAvm1GetUrl)
        strings_.AddNavigation(argument.Text, call->Source);
      else
        strings_.AddLoad(argument.Text, call->Source);
    } else {
      UseWhole(argument);
    }
  }
  Keep(TStackValue::skOther);
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
  if (value.Kind == TStackValue::skText) strings_.Add(value.Text, TReferenceSource::rsAvm1Push);
  if (value.Kind == TStackValue::skPooled) strings_.Add(value.Pooled);
}
