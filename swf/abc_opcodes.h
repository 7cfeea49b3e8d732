// The instructions of the byte code's method bodies: the operands each opcode is followed by,
// so that a walk over a body never loses its place, and the opcodes the reader acts on.
#pragma once

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

// The operand form of every opcode.
TAbcOperands AbcOperandsOf(uint8_t opcode);

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
