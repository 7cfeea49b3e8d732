#include "swf/abc_opcodes.h"

#include <array>

namespace {

using enum TAbcOperands;

// Opcodes that compilers write, by their operand form; every other byte is unknown.
struct TOperandTable {
  std::array<TAbcOperands, 256> Of{};
  constexpr TOperandTable() {
    for (TAbcOperands& form : Of)
      form = aoUnknown;
    // bkpt nop throw dxnslate label
    for (int op : {0x01, 0x02, 0x03, 0x07, 0x09})
      Of[op] = aoNone;
    // getsuper setsuper dxns kill
    for (int op : {0x04, 0x05, 0x06, 0x08})
      Of[op] = aoU30;
    // ifnlt ifnle ifngt ifnge jump iftrue iffalse ifeq ifne iflt ifle ifgt ifge ifstricteq
    // ifstrictne
    for (int op = 0x0C; op <= 0x1A; ++op)
      Of[op] = aoS24;
    Of[0x1B] = aoLookupSwitch;
    // pushwith popscope nextname hasnext pushnull pushundefined nextvalue
    for (int op : {0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x23})
      Of[op] = aoNone;
    Of[0x24] = aoU8;   // pushbyte
    Of[0x25] = aoU30;  // pushshort
    // pushtrue pushfalse pushnan pop dup swap
    for (int op = 0x26; op <= 0x2B; ++op)
      Of[op] = aoNone;
    // pushstring pushint pushuint pushdouble
    for (int op = 0x2C; op <= 0x2F; ++op)
      Of[op] = aoU30;
    Of[0x30] = aoNone;    // pushscope
    Of[0x31] = aoU30;     // pushnamespace
    Of[0x32] = aoU30U30;  // hasnext2
    // the domain memory loads and stores li8 ... sf64
    for (int op = 0x35; op <= 0x3E; ++op)
      Of[op] = aoNone;
    // newfunction call construct
    for (int op : {0x40, 0x41, 0x42})
      Of[op] = aoU30;
    // callmethod callstatic callsuper callproperty
    for (int op = 0x43; op <= 0x46; ++op)
      Of[op] = aoU30U30;
    Of[0x47] = aoNone;    // returnvoid
    Of[0x48] = aoNone;    // returnvalue
    Of[0x49] = aoU30;     // constructsuper
    Of[0x4A] = aoU30U30;  // constructprop
    Of[0x4C] = aoU30U30;  // callproplex
    Of[0x4E] = aoU30U30;  // callsupervoid
    Of[0x4F] = aoU30U30;  // callpropvoid
    // sxi1 sxi8 sxi16
    for (int op = 0x50; op <= 0x52; ++op)
      Of[op] = aoNone;
    Of[0x53] = aoU30;  // applytype
    // newobject newarray
    Of[0x55] = aoU30;
    Of[0x56] = aoU30;
    Of[0x57] = aoNone;  // newactivation
    // newclass getdescendants newcatch
    for (int op : {0x58, 0x59, 0x5A})
      Of[op] = aoU30;
    // findpropstrict findproperty finddef getlex setproperty getlocal setlocal
    for (int op = 0x5D; op <= 0x63; ++op)
      Of[op] = aoU30;
    Of[0x64] = aoNone;  // getglobalscope
    Of[0x65] = aoU8;    // getscopeobject
    // getproperty getouterscope initproperty
    for (int op : {0x66, 0x67, 0x68})
      Of[op] = aoU30;
    Of[0x6A] = aoU30;  // deleteproperty
    // getslot setslot getglobalslot setglobalslot
    for (int op = 0x6C; op <= 0x6F; ++op)
      Of[op] = aoU30;
    // convert_s esc_xelem esc_xattr convert_i convert_u convert_d convert_b convert_o
    // checkfilter
    for (int op = 0x70; op <= 0x78; ++op)
      Of[op] = aoNone;
    Of[0x80] = aoU30;  // coerce
    // coerce_b coerce_a coerce_i coerce_d coerce_s
    for (int op = 0x81; op <= 0x85; ++op)
      Of[op] = aoNone;
    Of[0x86] = aoU30;  // astype
    // astypelate coerce_u coerce_o
    for (int op : {0x87, 0x88, 0x89})
      Of[op] = aoNone;
    // negate increment (inclocal) decrement (declocal) typeof not bitnot
    for (int op = 0x90; op <= 0x97; ++op)
      Of[op] = aoNone;
    Of[0x92] = aoU30;  // inclocal
    Of[0x94] = aoU30;  // declocal
    // add ... instanceof
    for (int op = 0xA0; op <= 0xB1; ++op)
      Of[op] = aoNone;
    Of[0xB2] = aoU30;   // istype
    Of[0xB3] = aoNone;  // istypelate
    Of[0xB4] = aoNone;  // in
    // increment_i decrement_i (inclocal_i declocal_i) negate_i add_i subtract_i multiply_i
    for (int op = 0xC0; op <= 0xC7; ++op)
      Of[op] = aoNone;
    Of[0xC2] = aoU30;  // inclocal_i
    Of[0xC3] = aoU30;  // declocal_i
    // getlocal_0 ... setlocal_3
    for (int op = 0xD0; op <= 0xD7; ++op)
      Of[op] = aoNone;
    Of[0xEF] = aoDebug;  // debug
    // debugline debugfile bkptline
    for (int op : {0xF0, 0xF1, 0xF2})
      Of[op] = aoU30;
    Of[0xF3] = aoNone;  // timestamp
  }
};
constexpr TOperandTable kOperands;

}  // namespace

TAbcOperands AbcOperandsOf(uint8_t opcode) {
  return kOperands.Of[opcode];
}
