#include "swf/abc_code_walk.h"

#include <array>

#include "swf/abc_opcodes.h"
#include "swf/abc_reader.h"
#include "swf/address_filter.h"

namespace {

constexpr TMovieStrings::TNoted kUnnoted{UINT32_MAX - 1};

// What an instruction of a fixed effect does to the stack: pops, then pushes. kSpecial: the
// walk handles it by itself; kUnknownEffect: what is on the stack is given up.
constexpr int8_t kSpecial = -1;
constexpr int8_t kUnknownEffect = -2;
struct TEffect {
  int8_t Pops = kUnknownEffect;
  int8_t Pushes = 0;
  TAbcOperands Form = TAbcOperands::aoUnknown;
};
struct TEffects {
  std::array<TEffect, 256> Of{};
  constexpr void Set(std::initializer_list<int> opcodes, int8_t pops, int8_t pushes) {
    for (const int op : opcodes)
      Of[op] = {pops, pushes, kAbcOperands.Of[op]};
  }
  constexpr TEffects() {
    for (int op = 0; op < 256; ++op)
      Of[op].Form = kAbcOperands.Of[op];
    // No effect: bkpt nop label kill dxns popscope debug debugline debugfile bkptline
    // timestamp inclocal declocal inclocal_i declocal_i.
    Set({0x01, 0x02, 0x09, 0x08, 0x06, 0x1D, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0x92, 0x94, 0xC2, 0xC3},
        0, 0);
    // Pushes of constants and of scopes, new objects without operands from the stack.
    Set({0x20, 0x21, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E, 0x2F, 0x31, 0x32, 0x40, 0x57, 0x5A,
         0x64, 0x65, 0x67, 0x6E},
        0, 1);
    // One in, one out: conversions and coercions that make another value, unary arithmetic,
    // the domain memory loads, sign extensions, getslot, typeof, newclass, istype, astype,
    // getdescendants and checkfilter (those with a multiname: see RuntimePops).
    Set({0x35, 0x36, 0x37, 0x38, 0x39, 0x50, 0x51, 0x52, 0x58, 0x6C, 0x71, 0x72,
         0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x81, 0x83, 0x84, 0x86, 0x88, 0x89,
         0x90, 0x91, 0x93, 0x95, 0x96, 0x97, 0xB2, 0xC0, 0xC1, 0xC4},
        1, 1);
    // Two in, one out: arithmetic, comparisons, instanceof, in, the iteration steps.
    for (int op = 0xA1; op <= 0xB1; ++op)
      Of[op] = {2, 1, kAbcOperands.Of[op]};
    Set({0x1E, 0x1F, 0x23, 0x87, 0xB3, 0xB4, 0xC5, 0xC6, 0xC7}, 2, 1);
    // Pops alone: stores to domain memory, setslot, setglobalslot, pushscope, pushwith,
    // dxnslate, the conditional branches.
    Set({0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x6D}, 2, 0);
    Set({0x6F, 0x30, 0x1C, 0x07, 0x11, 0x12}, 1, 0);
    Set({0x0C, 0x0D, 0x0E, 0x0F, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A}, 2, 0);
    // Handled one by one.
    Set({0x03, 0x10, 0x1B, 0x29, 0x2A, 0x2B, 0x2C, 0x47, 0x48, 0x41, 0x42, 0x43, 0x44,
         0x45, 0x46, 0x49, 0x4A, 0x4C, 0x4E, 0x4F, 0x53, 0x55, 0x56, 0x5D, 0x5E, 0x5F,
         0x60, 0x61, 0x62, 0x63, 0x66, 0x68, 0x6A, 0x59, 0x04, 0x05, 0x70, 0x80, 0x82,
         0x85, 0xA0, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7},
        kSpecial, 0);
  }
};
constexpr TEffects kEffects;

// Reads a variable-length integer of at most five bytes; false when the code ends first.
inline bool ReadU30(const uint8_t*& at, const uint8_t* end, uint32_t& value) {
  value = 0;
  for (unsigned shift = 0; shift < 35; shift += 7) {
    if (at == end) return false;
    const uint8_t byte = *at++;
    value |= static_cast<uint32_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return true;
}

// Steps over the operands of the rarer forms; false when they run past the end.
bool SkipOperands(TAbcOperands form, const uint8_t*& at, const uint8_t* end) {
  uint32_t value = 0;
  switch (form) {
    case TAbcOperands::aoNone:
      return true;
    case TAbcOperands::aoU8:
      if (at == end) return false;
      ++at;
      return true;
    case TAbcOperands::aoU30:
      return ReadU30(at, end, value);
    case TAbcOperands::aoU30U30:
      return ReadU30(at, end, value) && ReadU30(at, end, value);
    case TAbcOperands::aoS24:
      if (end - at < 3) return false;
      at += 3;
      return true;
    case TAbcOperands::aoLookupSwitch: {
      if (end - at < 3) return false;
      at += 3;
      if (!ReadU30(at, end, value)) return false;
      // value + 1 offsets of three bytes, checked without overflowing.
      if (static_cast<uint64_t>(end - at) < (uint64_t{value} + 1) * 3) return false;
      at += (size_t{value} + 1) * 3;
      return true;
    }
    case TAbcOperands::aoDebug:
      if (at == end) return false;
      ++at;
      if (!ReadU30(at, end, value) || at == end) return false;
      ++at;
      return ReadU30(at, end, value);
    case TAbcOperands::aoUnknown:
      break;
  }
  return false;
}

}  // namespace

TAbcCodeWalk::TAbcCodeWalk(TMovieStrings& strings, const std::vector<std::string_view>& pool,
                           const std::vector<uint8_t>& roles,
                           const std::vector<uint32_t>& constants)
    : strings_(strings),
      pool_(pool),
      roles_(roles),
      constants_(constants),
      noted_(pool.size(), kUnnoted),
      loaded_(pool.size(), 0),
      stack_(kMaxTrackedStack) {}

void TAbcCodeWalk::Walk(std::string_view code) {
  const auto* at = reinterpret_cast<const uint8_t*>(code.data());
  const uint8_t* const end = at + code.size();
  depth_ = 0;
  for (TValue& local : locals_)
    local = TValue();
  while (at < end) {
    const uint8_t op = *at++;
    const TEffect effect = kEffects.Of[op];
    // The operands first, the common forms here, read as they go.
    uint32_t a = 0, b = 0;
    bool read = true;
    switch (effect.Form) {
      case TAbcOperands::aoNone:
        break;
      case TAbcOperands::aoU30:
        read = ReadU30(at, end, a);
        break;
      case TAbcOperands::aoU30U30:
        read = ReadU30(at, end, a) && ReadU30(at, end, b);
        break;
      case TAbcOperands::aoU8:
        read = at != end;
        if (read) a = *at++;
        break;
      case TAbcOperands::aoS24:
        read = end - at >= 3;
        at += read ? 3 : 0;
        break;
      case TAbcOperands::aoUnknown:
        // Not an opcode: the body cannot be read on.
        read = false;
        break;
      default:
        read = SkipOperands(effect.Form, at, end);
        break;
    }
    if (!read) break;
    if (effect.Pops >= 0) {
      Drop(static_cast<size_t>(effect.Pops));
      if (effect.Pushes > 0) PushOther();
      continue;
    }
    if (effect.Pops == kUnknownEffect) {
      Forget();
      continue;
    }
    switch (op) {
      case opPushString:
        Push({a, a < pool_.size() ? TValue::vkString : TValue::vkOther});
        break;
      case opPop:
        Drop(1);
        break;
      case opDup:
        if (depth_ > 0) {
          Push(stack_[depth_ - 1]);
        } else {
          PushOther();
        }
        break;
      case opSwap:
        if (depth_ >= 2) std::swap(stack_[depth_ - 1], stack_[depth_ - 2]);
        break;
      case opAdd:
        Join();
        break;
      case opConvertS:
      case opCoerce:
      case opCoerceA:
      case opCoerceS:
        // The value stays what it was: a string is still that string.
        if (depth_ == 0) PushOther();
        break;
      case opGetLocal0:
      case opGetLocal0 + 1:
      case opGetLocal0 + 2:
      case opGetLocal3:
        Push(locals_[op - opGetLocal0]);
        break;
      case opGetLocal:
        Push(a < kMaxTrackedLocals ? locals_[a] : TValue());
        break;
      case opSetLocal0:
      case opSetLocal0 + 1:
      case opSetLocal0 + 2:
      case opSetLocal3:
      case opSetLocal: {
        const size_t local = op == opSetLocal ? a : static_cast<size_t>(op - opSetLocal0);
        const TValue value = Pop();
        // Kept for a later load, and used whole as far as anything else can tell.
        UseWhole(value);
        if (local < kMaxTrackedLocals) locals_[local] = value;
        break;
      }
      case opFindPropStrict:
      case opFindProperty:
      case 0x5F:  // finddef
        Drop(RuntimePartsOf(RoleOf(a)));
        PushOther();
        break;
      case opGetLex:
        Push(Named(a));
        break;
      case 0x66:  // getproperty
        Drop(RuntimePartsOf(RoleOf(a)) + 1);
        Push(Named(a));
        break;
      case 0x6A:  // deleteproperty
      case 0x59:  // getdescendants
      case 0x04:  // getsuper
        Drop(RuntimePartsOf(RoleOf(a)) + 1);
        PushOther();
        break;
      case opSetProperty:
      case opInitProperty:
        SetProperty(a);
        break;
      case 0x05:  // setsuper
        Drop(RuntimePartsOf(RoleOf(a)) + 2);
        break;
      case opCallProperty:
      case opCallPropLex:
        Call(a, b, false, true);
        break;
      case opCallPropVoid:
        Call(a, b, false, false);
        break;
      case opConstructProp:
        Call(a, b, true, true);
        break;
      case 0x45:  // callsuper
      case 0x4E:  // callsupervoid
        Drop(size_t{b} + RuntimePartsOf(RoleOf(a)) + 1);
        if (op == 0x45) PushOther();
        break;
      case 0x41:  // call: the function, the receiver, the arguments
        Drop(size_t{a} + 2);
        PushOther();
        break;
      case 0x42:  // construct
        Construct(a);
        break;
      case 0x53:  // applytype
        Drop(size_t{a} + 1);
        PushOther();
        break;
      case 0x49:  // constructsuper
        Drop(size_t{a} + 1);
        break;
      case 0x43:  // callmethod
      case 0x44:  // callstatic
        Drop(size_t{b} + 1);
        PushOther();
        break;
      case 0x55:  // newobject: a name and a value per property
        Drop(size_t{a} * 2);
        PushOther();
        break;
      case 0x56:  // newarray
        Drop(a);
        PushOther();
        break;
      case opReturnValue:
      case opThrow:
        Drop(1);
        Forget();
        break;
      default:  // jump, lookupswitch, returnvoid: what follows is reached from elsewhere
        if (op == opLookupSwitch) Drop(1);
        Forget();
        break;
    }
  }
  Forget();
  Settle();
}

void TAbcCodeWalk::Drop(size_t count) {
  for (; count > 0 && depth_ > 0; --count)
    UseWhole(stack_[--depth_]);
}

void TAbcCodeWalk::Forget() {
  for (size_t i = 0; i < depth_; ++i)
    UseWhole(stack_[i]);
  depth_ = 0;
}

void TAbcCodeWalk::UseWhole(TValue value) {
  if (value.Kind == TValue::vkString) {
    TMovieStrings::TNoted& noted = noted_[value.Index];
    if (noted == kUnnoted)
      noted = strings_.AddNoted(pool_[value.Index], TReferenceSource::rsAvm2Push);
    else
      strings_.Add(noted);
  } else if (value.Kind == TValue::vkJoined) {
    strings_.Add(joined_[value.Index], TReferenceSource::rsAvm2Push);
  }
}

void TAbcCodeWalk::UsePiece(TValue value) {
  if (value.Kind != TValue::vkString) return;
  TMovieStrings::TNoted& noted = noted_[value.Index];
  if (noted == kUnnoted)
    noted = strings_.AddPooled(pool_[value.Index], TReferenceSource::rsAvm2Push);
  strings_.AddPiece(noted);
}

std::string_view TAbcCodeWalk::TextOf(TValue value) const {
  if (value.Kind == TValue::vkString) return pool_[value.Index];
  if (value.Kind == TValue::vkJoined) return joined_[value.Index];
  return {};
}

void TAbcCodeWalk::Join() {
  const TValue second = Pop();
  const TValue first = Pop();
  if (IsText(first) && IsText(second)) {
    const std::string_view a = TextOf(first), b = TextOf(second);
    if (joined_bytes_ + a.size() + b.size() <= kMaxJoinedBytes) {
      std::string& joined = joined_.emplace_back(a);
      joined += b;
      joined_bytes_ += joined.size();
      Push({static_cast<uint32_t>(joined_.size() - 1), TValue::vkJoined});
      return;
    }
  }
  // A join with anything unknown: its literal operands are pieces, not files.
  UsePiece(first);
  UsePiece(second);
  PushOther();
}

void TAbcCodeWalk::Call(uint32_t name, uint32_t count, bool construct, bool result) {
  const uint8_t role = RoleOf(name);
  if (count > depth_) {
    Forget();
    if (result) PushOther();
    return;
  }
  // The arguments stay where they are in stack_ while the values below them are dropped:
  // dropping only moves depth_ down.
  const size_t first = depth_ - count;
  depth_ = first;
  Drop(RuntimePartsOf(role) + 1);  // the name's parts and the receiver
  TValue made;
  for (size_t i = 0; i < count; ++i) {
    const TValue argument = stack_[first + i];
    if (i > 0) {
      UseWhole(argument);
      continue;
    }
    switch (RoleOfName(role)) {
      case nrUrlRequest:
        if (construct && IsText(argument)) {
          if (requests_.size() < kMaxTrackedRequests) {
            requests_.push_back({argument});
            made = {static_cast<uint32_t>(requests_.size() - 1), TValue::vkRequest};
          } else {
            Load(argument, false, TReferenceSource::rsAvm2UrlRequest);
          }
          continue;
        }
        break;
      case nrPlay:
      case nrLoadPolicyFile:
      case nrLoad:
        // play and load are also the names of a game's own methods (sounds.play("click")):
        // their string counts as an address when it has the look of a path.
        if (!construct && IsText(argument) &&
            (RoleOfName(role) == nrLoadPolicyFile || LooksLikePath(TextOf(argument)))) {
          Load(argument, false,
               RoleOfName(role) == nrPlay   ? TReferenceSource::rsAvm2Play
               : RoleOfName(role) == nrLoad ? TReferenceSource::rsAvm2Load
                                            : TReferenceSource::rsAvm2LoadPolicyFile);
          continue;
        }
        break;
      case nrNavigateToUrl:
      case nrSendToUrl: {
        const TReferenceSource source = RoleOfName(role) == nrSendToUrl
                                            ? TReferenceSource::rsAvm2SendToUrl
                                            : TReferenceSource::rsAvm2NavigateToUrl;
        if (argument.Kind == TValue::vkRequest) {
          requests_[argument.Index].Navigation = true;
          requests_[argument.Index].Source = source;
          continue;
        }
        if (IsText(argument)) {
          Load(argument, true, source);
          continue;
        }
        break;
      }
      case nrName:
        if (IsText(argument)) {
          strings_.AddName(TextOf(argument));
          continue;
        }
        break;
      default:
        break;
    }
    UseWhole(argument);
  }
  if (result) Push(made);
}

TAbcCodeWalk::TValue TAbcCodeWalk::Named(uint32_t name) const {
  if (name < constants_.size() && constants_[name] != 0)
    return {constants_[name], TValue::vkString};
  if (RoleOfName(RoleOf(name)) == nrUrlRequest) return {nrUrlRequest, TValue::vkClass};
  return TValue();
}

void TAbcCodeWalk::Construct(uint32_t count) {
  if (count >= depth_ || stack_[depth_ - count - 1].Kind != TValue::vkClass ||
      stack_[depth_ - count - 1].Index != nrUrlRequest || count == 0 ||
      !IsText(stack_[depth_ - count])) {
    Drop(size_t{count} + 1);
    PushOther();
    return;
  }
  // new URLRequest(address) through the class on the stack, as some compilers write it.
  const TValue address = stack_[depth_ - count];
  for (size_t i = 1; i < count; ++i)
    UseWhole(stack_[depth_ - count + i]);
  depth_ -= count + 1;
  if (requests_.size() < kMaxTrackedRequests) {
    requests_.push_back({address});
    Push({static_cast<uint32_t>(requests_.size() - 1), TValue::vkRequest});
  } else {
    Load(address, false, TReferenceSource::rsAvm2UrlRequest);
    PushOther();
  }
}

void TAbcCodeWalk::SetProperty(uint32_t name) {
  const uint8_t role = RoleOf(name);
  const TValue value = Pop();
  if (RoleOfName(role) == nrUrl && IsText(value))
    Load(value, false, TReferenceSource::rsAvm2UrlProperty);
  else
    UseWhole(value);
  Drop(RuntimePartsOf(role) + 1);
}

void TAbcCodeWalk::Settle() {
  for (const TRequest& request : requests_)
    Load(request.Value, request.Navigation, request.Source);
  requests_.clear();
}

void TAbcCodeWalk::Load(TValue value, bool navigation, TReferenceSource source) {
  // A pool string loaded once is not judged again: the first use names its source.
  if (value.Kind == TValue::vkString) {
    uint8_t& done = loaded_[value.Index];
    const uint8_t bit = navigation ? 2 : 1;
    if (done & bit) return;
    done |= bit;
  }
  if (navigation)
    strings_.AddNavigation(TextOf(value), source);
  else
    strings_.AddLoad(TextOf(value), source);
}
