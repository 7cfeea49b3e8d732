// The instructions of the byte code's method bodies: the operands each opcode is followed by,
// so that a walk over a body never loses its place, and the opcodes the reader acts on.
#pragma once

#include <array>
#include <cstdint>

// How the operands of an instruction are written.
enum class TAbcOperands : uint8_t {
  aoUnknown,       // not an opcode: the body cannot be read on
  aoNone,          // no operand
  aoU8,            // one byte
  aoU30,           // one variable-length integer
  aoU30U30,        // two of them
  aoS24,           // a branch offset of three bytes
  aoLookupSwitch,  // an offset, a count n, then n + 1 offsets
  aoDebug,         // a byte, an integer, a byte, an integer
};

// Opcodes that compilers write, by their operand form; every other byte is unknown.
struct TAbcOperandTable {
  std::array<TAbcOperands, 256> Of{};
  constexpr TAbcOperandTable() {
    for (TAbcOperands& form : Of)
      form = TAbcOperands::aoUnknown;
    // bkpt nop throw dxnslate label
    for (int op : {0x01, 0x02, 0x03, 0x07, 0x09})
      Of[op] = TAbcOperands::aoNone;
    // getsuper setsuper dxns kill
    for (int op : {0x04, 0x05, 0x06, 0x08})
      Of[op] = TAbcOperands::aoU30;
    // ifnlt ifnle ifngt ifnge jump iftrue iffalse ifeq ifne iflt ifle ifgt ifge ifstricteq
    // ifstrictne
    for (int op = 0x0C; op <= 0x1A; ++op)
      Of[op] = TAbcOperands::aoS24;
    Of[0x1B] = TAbcOperands::aoLookupSwitch;
    // pushwith popscope nextname hasnext pushnull pushundefined nextvalue
    for (int op : {0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x23})
      Of[op] = TAbcOperands::aoNone;
    Of[0x24] = TAbcOperands::aoU8;   // pushbyte
    Of[0x25] = TAbcOperands::aoU30;  // pushshort
    // pushtrue pushfalse pushnan pop dup swap
    for (int op = 0x26; op <= 0x2B; ++op)
      Of[op] = TAbcOperands::aoNone;
    // pushstring pushint pushuint pushdouble
    for (int op = 0x2C; op <= 0x2F; ++op)
      Of[op] = TAbcOperands::aoU30;
    Of[0x30] = TAbcOperands::aoNone;    // pushscope
    Of[0x31] = TAbcOperands::aoU30;     // pushnamespace
    Of[0x32] = TAbcOperands::aoU30U30;  // hasnext2
    // the domain memory loads and stores li8 ... sf64
    for (int op = 0x35; op <= 0x3E; ++op)
      Of[op] = TAbcOperands::aoNone;
    // newfunction call construct
    for (int op : {0x40, 0x41, 0x42})
      Of[op] = TAbcOperands::aoU30;
    // callmethod callstatic callsuper callproperty
    for (int op = 0x43; op <= 0x46; ++op)
      Of[op] = TAbcOperands::aoU30U30;
    Of[0x47] = TAbcOperands::aoNone;    // returnvoid
    Of[0x48] = TAbcOperands::aoNone;    // returnvalue
    Of[0x49] = TAbcOperands::aoU30;     // constructsuper
    Of[0x4A] = TAbcOperands::aoU30U30;  // constructprop
    Of[0x4C] = TAbcOperands::aoU30U30;  // callproplex
    Of[0x4E] = TAbcOperands::aoU30U30;  // callsupervoid
    Of[0x4F] = TAbcOperands::aoU30U30;  // callpropvoid
    // sxi1 sxi8 sxi16
    for (int op = 0x50; op <= 0x52; ++op)
      Of[op] = TAbcOperands::aoNone;
    Of[0x53] = TAbcOperands::aoU30;  // applytype
    // newobject newarray
    Of[0x55] = TAbcOperands::aoU30;
    Of[0x56] = TAbcOperands::aoU30;
    Of[0x57] = TAbcOperands::aoNone;  // newactivation
    // newclass getdescendants newcatch
    for (int op : {0x58, 0x59, 0x5A})
      Of[op] = TAbcOperands::aoU30;
    // findpropstrict findproperty finddef getlex setproperty getlocal setlocal
    for (int op = 0x5D; op <= 0x63; ++op)
      Of[op] = TAbcOperands::aoU30;
    Of[0x64] = TAbcOperands::aoNone;  // getglobalscope
    Of[0x65] = TAbcOperands::aoU8;    // getscopeobject
    // getproperty getouterscope initproperty
    for (int op : {0x66, 0x67, 0x68})
      Of[op] = TAbcOperands::aoU30;
    Of[0x6A] = TAbcOperands::aoU30;  // deleteproperty
    // getslot setslot getglobalslot setglobalslot
    for (int op = 0x6C; op <= 0x6F; ++op)
      Of[op] = TAbcOperands::aoU30;
    // convert_s esc_xelem esc_xattr convert_i convert_u convert_d convert_b convert_o
    // checkfilter
    for (int op = 0x70; op <= 0x78; ++op)
      Of[op] = TAbcOperands::aoNone;
    Of[0x80] = TAbcOperands::aoU30;  // coerce
    // coerce_b coerce_a coerce_i coerce_d coerce_s
    for (int op = 0x81; op <= 0x85; ++op)
      Of[op] = TAbcOperands::aoNone;
    Of[0x86] = TAbcOperands::aoU30;  // astype
    // astypelate coerce_u coerce_o
    for (int op : {0x87, 0x88, 0x89})
      Of[op] = TAbcOperands::aoNone;
    // negate increment (inclocal) decrement (declocal) typeof not bitnot
    for (int op = 0x90; op <= 0x97; ++op)
      Of[op] = TAbcOperands::aoNone;
    Of[0x92] = TAbcOperands::aoU30;  // inclocal
    Of[0x94] = TAbcOperands::aoU30;  // declocal
    // add ... instanceof
    for (int op = 0xA0; op <= 0xB1; ++op)
      Of[op] = TAbcOperands::aoNone;
    Of[0xB2] = TAbcOperands::aoU30;   // istype
    Of[0xB3] = TAbcOperands::aoNone;  // istypelate
    Of[0xB4] = TAbcOperands::aoNone;  // in
    // increment_i decrement_i (inclocal_i declocal_i) negate_i add_i subtract_i multiply_i
    for (int op = 0xC0; op <= 0xC7; ++op)
      Of[op] = TAbcOperands::aoNone;
    Of[0xC2] = TAbcOperands::aoU30;  // inclocal_i
    Of[0xC3] = TAbcOperands::aoU30;  // declocal_i
    // getlocal_0 ... setlocal_3
    for (int op = 0xD0; op <= 0xD7; ++op)
      Of[op] = TAbcOperands::aoNone;
    Of[0xEF] = TAbcOperands::aoDebug;  // debug
    // debugline debugfile bkptline
    for (int op : {0xF0, 0xF1, 0xF2})
      Of[op] = TAbcOperands::aoU30;
    Of[0xF3] = TAbcOperands::aoNone;  // timestamp
  }
};
inline constexpr TAbcOperandTable kAbcOperands;

// The operand form of every opcode.
inline TAbcOperands AbcOperandsOf(uint8_t opcode) {
  return kAbcOperands.Of[opcode];
}

enum TAbcOpcode : uint8_t {
  opJump = 0x10,
  opLookupSwitch = 0x1B,
  opPushNull = 0x20,
  opPushUndefined = 0x21,
  opPushByte = 0x24,
  opPushShort = 0x25,
  opPushTrue = 0x26,
  opPushFalse = 0x27,
  opPushNan = 0x28,
  opPop = 0x29,
  opDup = 0x2A,
  opSwap = 0x2B,
  opPushString = 0x2C,
  opPushInt = 0x2D,
  opPushUint = 0x2E,
  opPushDouble = 0x2F,
  opReturnVoid = 0x47,
  opReturnValue = 0x48,
  opConstructProp = 0x4A,
  opCallProperty = 0x46,
  opCallPropLex = 0x4C,
  opCallPropVoid = 0x4F,
  opFindPropStrict = 0x5D,
  opFindProperty = 0x5E,
  opGetLex = 0x60,
  opSetProperty = 0x61,
  opGetLocal = 0x62,
  opSetLocal = 0x63,
  opInitProperty = 0x68,
  opThrow = 0x03,
  opCoerce = 0x80,
  opCoerceA = 0x82,
  opCoerceS = 0x85,
  opConvertS = 0x70,
  opAdd = 0xA0,
  opGetLocal0 = 0xD0,
  opGetLocal3 = 0xD3,
  opSetLocal0 = 0xD4,
  opSetLocal3 = 0xD7,
  opDebugFile = 0xF1,
};
