// The AVM2 instruction set as the released players accept it, and the shape of each
// instruction's operands. The verifier, the interpreter and the disassembler all decode through
// this one table (see instruction.h), so they cannot disagree on where an instruction ends.
// Opcodes reserved for the players' own use (callsuperid, callinterface, findpropglobal, the
// float and float4 forms and the like) are left out: the verifier refuses them as illegal.
#pragma once

#include <array>
#include <cstdint>

namespace flashsaver::avm2 {

enum class Op : uint8_t {
  kBkpt = 0x01,
  kNop = 0x02,
  kThrow = 0x03,
  kGetSuper = 0x04,
  kSetSuper = 0x05,
  kDxns = 0x06,
  kDxnsLate = 0x07,
  kKill = 0x08,
  kLabel = 0x09,
  kIfNlt = 0x0C,
  kIfNle = 0x0D,
  kIfNgt = 0x0E,
  kIfNge = 0x0F,
  kJump = 0x10,
  kIfTrue = 0x11,
  kIfFalse = 0x12,
  kIfEq = 0x13,
  kIfNe = 0x14,
  kIfLt = 0x15,
  kIfLe = 0x16,
  kIfGt = 0x17,
  kIfGe = 0x18,
  kIfStrictEq = 0x19,
  kIfStrictNe = 0x1A,
  kLookupSwitch = 0x1B,
  kPushWith = 0x1C,
  kPopScope = 0x1D,
  kNextName = 0x1E,
  kHasNext = 0x1F,
  kPushNull = 0x20,
  kPushUndefined = 0x21,
  kNextValue = 0x23,
  kPushByte = 0x24,
  kPushShort = 0x25,
  kPushTrue = 0x26,
  kPushFalse = 0x27,
  kPushNaN = 0x28,
  kPop = 0x29,
  kDup = 0x2A,
  kSwap = 0x2B,
  kPushString = 0x2C,
  kPushInt = 0x2D,
  kPushUInt = 0x2E,
  kPushDouble = 0x2F,
  kPushScope = 0x30,
  kPushNamespace = 0x31,
  kHasNext2 = 0x32,
  // Domain memory (fast reads and writes of the current ByteArray).
  kLi8 = 0x35,
  kLi16 = 0x36,
  kLi32 = 0x37,
  kLf32 = 0x38,
  kLf64 = 0x39,
  kSi8 = 0x3A,
  kSi16 = 0x3B,
  kSi32 = 0x3C,
  kSf32 = 0x3D,
  kSf64 = 0x3E,
  kNewFunction = 0x40,
  kCall = 0x41,
  kConstruct = 0x42,
  kCallMethod = 0x43,
  kCallStatic = 0x44,
  kCallSuper = 0x45,
  kCallProperty = 0x46,
  kReturnVoid = 0x47,
  kReturnValue = 0x48,
  kConstructSuper = 0x49,
  kConstructProp = 0x4A,
  kCallPropLex = 0x4C,
  kCallSuperVoid = 0x4E,
  kCallPropVoid = 0x4F,
  kSxi1 = 0x50,
  kSxi8 = 0x51,
  kSxi16 = 0x52,
  kApplyType = 0x53,
  kNewObject = 0x55,
  kNewArray = 0x56,
  kNewActivation = 0x57,
  kNewClass = 0x58,
  kGetDescendants = 0x59,
  kNewCatch = 0x5A,
  kFindPropStrict = 0x5D,
  kFindProperty = 0x5E,
  kFindDef = 0x5F,
  kGetLex = 0x60,
  kSetProperty = 0x61,
  kGetLocal = 0x62,
  kSetLocal = 0x63,
  kGetGlobalScope = 0x64,
  kGetScopeObject = 0x65,
  kGetProperty = 0x66,
  kGetOuterScope = 0x67,
  kInitProperty = 0x68,
  kDeleteProperty = 0x6A,
  kGetSlot = 0x6C,
  kSetSlot = 0x6D,
  kGetGlobalSlot = 0x6E,
  kSetGlobalSlot = 0x6F,
  kConvertS = 0x70,
  kEscXElem = 0x71,
  kEscXAttr = 0x72,
  kConvertI = 0x73,
  kConvertU = 0x74,
  kConvertD = 0x75,
  kConvertB = 0x76,
  kConvertO = 0x77,
  kCheckFilter = 0x78,
  kCoerce = 0x80,
  kCoerceB = 0x81,
  kCoerceA = 0x82,
  kCoerceI = 0x83,
  kCoerceD = 0x84,
  kCoerceS = 0x85,
  kAsType = 0x86,
  kAsTypeLate = 0x87,
  kCoerceU = 0x88,
  kCoerceO = 0x89,
  kNegate = 0x90,
  kIncrement = 0x91,
  kIncLocal = 0x92,
  kDecrement = 0x93,
  kDecLocal = 0x94,
  kTypeOf = 0x95,
  kNot = 0x96,
  kBitNot = 0x97,
  kAdd = 0xA0,
  kSubtract = 0xA1,
  kMultiply = 0xA2,
  kDivide = 0xA3,
  kModulo = 0xA4,
  kLShift = 0xA5,
  kRShift = 0xA6,
  kURShift = 0xA7,
  kBitAnd = 0xA8,
  kBitOr = 0xA9,
  kBitXor = 0xAA,
  kEquals = 0xAB,
  kStrictEquals = 0xAC,
  kLessThan = 0xAD,
  kLessEquals = 0xAE,
  kGreaterThan = 0xAF,
  kGreaterEquals = 0xB0,
  kInstanceOf = 0xB1,
  kIsType = 0xB2,
  kIsTypeLate = 0xB3,
  kIn = 0xB4,
  kIncrementI = 0xC0,
  kDecrementI = 0xC1,
  kIncLocalI = 0xC2,
  kDecLocalI = 0xC3,
  kNegateI = 0xC4,
  kAddI = 0xC5,
  kSubtractI = 0xC6,
  kMultiplyI = 0xC7,
  kGetLocal0 = 0xD0,
  kGetLocal1 = 0xD1,
  kGetLocal2 = 0xD2,
  kGetLocal3 = 0xD3,
  kSetLocal0 = 0xD4,
  kSetLocal1 = 0xD5,
  kSetLocal2 = 0xD6,
  kSetLocal3 = 0xD7,
  kDebug = 0xEF,
  kDebugLine = 0xF0,
  kDebugFile = 0xF1,
  kBkptLine = 0xF2,
  kTimestamp = 0xF3,
};

// What one operand is. All but kU8, kS24 and the two special forms are u30 in the code.
enum class Operand : uint8_t {
  kNone,
  kU8,  // pushbyte's value (sign-extended), getscopeobject's index
  // A plain number: a line number, getouterscope's index, pushshort's value (any 32-bit
  // variable-length integer, of which the low 16 bits count, sign-extended).
  kU30,
  kArgCount,   // arguments taken from the stack
  kRegister,   // a local register, < local_count
  kString,     // string pool index (> 0)
  kInt,        // int pool index (> 0)
  kUInt,       // uint pool index (> 0)
  kDouble,     // double pool index (> 0)
  kNamespace,  // namespace pool index (> 0)
  kMultiname,  // multiname pool index (> 0)
  kMethod,     // method index
  kClass,      // class index
  kException,  // index into the body's exception table
  kSlot,       // slot id (1-based) of the object's traits
  kDispId,     // dispatch id (callmethod)
  kS24,        // branch offset from the end of the instruction
  // lookupswitch: s24 default, u30 case_count, then case_count + 1 s24 offsets, all relative to
  // the start of the instruction.
  kSwitch,
  // debug: u8 type, u30 string index (0 allowed), u8 register, u30 extra.
  kDebugInfo,
};

struct OpInfo {
  const char* name = nullptr;  // nullptr: not an instruction
  Operand operands[2] = {Operand::kNone, Operand::kNone};
  // Whether the instruction may throw: inside a try range such an instruction makes the range's
  // catch handlers reachable.
  bool can_throw = true;
};

namespace detail {

constexpr std::array<OpInfo, 256> BuildOpTable() {
  std::array<OpInfo, 256> t{};
  auto set = [&t](Op op, const char* name, Operand a = Operand::kNone, Operand b = Operand::kNone) {
    t[static_cast<uint8_t>(op)] = OpInfo{name, {a, b}, true};
  };
  using O = Operand;
  set(Op::kBkpt, "bkpt");
  set(Op::kNop, "nop");
  set(Op::kThrow, "throw");
  set(Op::kGetSuper, "getsuper", O::kMultiname);
  set(Op::kSetSuper, "setsuper", O::kMultiname);
  set(Op::kDxns, "dxns", O::kString);
  set(Op::kDxnsLate, "dxnslate");
  set(Op::kKill, "kill", O::kRegister);
  set(Op::kLabel, "label");
  set(Op::kIfNlt, "ifnlt", O::kS24);
  set(Op::kIfNle, "ifnle", O::kS24);
  set(Op::kIfNgt, "ifngt", O::kS24);
  set(Op::kIfNge, "ifnge", O::kS24);
  set(Op::kJump, "jump", O::kS24);
  set(Op::kIfTrue, "iftrue", O::kS24);
  set(Op::kIfFalse, "iffalse", O::kS24);
  set(Op::kIfEq, "ifeq", O::kS24);
  set(Op::kIfNe, "ifne", O::kS24);
  set(Op::kIfLt, "iflt", O::kS24);
  set(Op::kIfLe, "ifle", O::kS24);
  set(Op::kIfGt, "ifgt", O::kS24);
  set(Op::kIfGe, "ifge", O::kS24);
  set(Op::kIfStrictEq, "ifstricteq", O::kS24);
  set(Op::kIfStrictNe, "ifstrictne", O::kS24);
  set(Op::kLookupSwitch, "lookupswitch", O::kSwitch);
  set(Op::kPushWith, "pushwith");
  set(Op::kPopScope, "popscope");
  set(Op::kNextName, "nextname");
  set(Op::kHasNext, "hasnext");
  set(Op::kPushNull, "pushnull");
  set(Op::kPushUndefined, "pushundefined");
  set(Op::kNextValue, "nextvalue");
  set(Op::kPushByte, "pushbyte", O::kU8);
  set(Op::kPushShort, "pushshort", O::kU30);
  set(Op::kPushTrue, "pushtrue");
  set(Op::kPushFalse, "pushfalse");
  set(Op::kPushNaN, "pushnan");
  set(Op::kPop, "pop");
  set(Op::kDup, "dup");
  set(Op::kSwap, "swap");
  set(Op::kPushString, "pushstring", O::kString);
  set(Op::kPushInt, "pushint", O::kInt);
  set(Op::kPushUInt, "pushuint", O::kUInt);
  set(Op::kPushDouble, "pushdouble", O::kDouble);
  set(Op::kPushScope, "pushscope");
  set(Op::kPushNamespace, "pushnamespace", O::kNamespace);
  set(Op::kHasNext2, "hasnext2", O::kRegister, O::kRegister);
  set(Op::kLi8, "li8");
  set(Op::kLi16, "li16");
  set(Op::kLi32, "li32");
  set(Op::kLf32, "lf32");
  set(Op::kLf64, "lf64");
  set(Op::kSi8, "si8");
  set(Op::kSi16, "si16");
  set(Op::kSi32, "si32");
  set(Op::kSf32, "sf32");
  set(Op::kSf64, "sf64");
  set(Op::kNewFunction, "newfunction", O::kMethod);
  set(Op::kCall, "call", O::kArgCount);
  set(Op::kConstruct, "construct", O::kArgCount);
  set(Op::kCallMethod, "callmethod", O::kDispId, O::kArgCount);
  set(Op::kCallStatic, "callstatic", O::kMethod, O::kArgCount);
  set(Op::kCallSuper, "callsuper", O::kMultiname, O::kArgCount);
  set(Op::kCallProperty, "callproperty", O::kMultiname, O::kArgCount);
  set(Op::kReturnVoid, "returnvoid");
  set(Op::kReturnValue, "returnvalue");
  set(Op::kConstructSuper, "constructsuper", O::kArgCount);
  set(Op::kConstructProp, "constructprop", O::kMultiname, O::kArgCount);
  set(Op::kCallPropLex, "callproplex", O::kMultiname, O::kArgCount);
  set(Op::kCallSuperVoid, "callsupervoid", O::kMultiname, O::kArgCount);
  set(Op::kCallPropVoid, "callpropvoid", O::kMultiname, O::kArgCount);
  set(Op::kSxi1, "sxi1");
  set(Op::kSxi8, "sxi8");
  set(Op::kSxi16, "sxi16");
  set(Op::kApplyType, "applytype", O::kArgCount);
  set(Op::kNewObject, "newobject", O::kArgCount);
  set(Op::kNewArray, "newarray", O::kArgCount);
  set(Op::kNewActivation, "newactivation");
  set(Op::kNewClass, "newclass", O::kClass);
  set(Op::kGetDescendants, "getdescendants", O::kMultiname);
  set(Op::kNewCatch, "newcatch", O::kException);
  set(Op::kFindPropStrict, "findpropstrict", O::kMultiname);
  set(Op::kFindProperty, "findproperty", O::kMultiname);
  set(Op::kFindDef, "finddef", O::kMultiname);
  set(Op::kGetLex, "getlex", O::kMultiname);
  set(Op::kSetProperty, "setproperty", O::kMultiname);
  set(Op::kGetLocal, "getlocal", O::kRegister);
  set(Op::kSetLocal, "setlocal", O::kRegister);
  set(Op::kGetGlobalScope, "getglobalscope");
  set(Op::kGetScopeObject, "getscopeobject", O::kU8);
  set(Op::kGetProperty, "getproperty", O::kMultiname);
  set(Op::kGetOuterScope, "getouterscope", O::kU30);
  set(Op::kInitProperty, "initproperty", O::kMultiname);
  set(Op::kDeleteProperty, "deleteproperty", O::kMultiname);
  set(Op::kGetSlot, "getslot", O::kSlot);
  set(Op::kSetSlot, "setslot", O::kSlot);
  set(Op::kGetGlobalSlot, "getglobalslot", O::kSlot);
  set(Op::kSetGlobalSlot, "setglobalslot", O::kSlot);
  set(Op::kConvertS, "convert_s");
  set(Op::kEscXElem, "esc_xelem");
  set(Op::kEscXAttr, "esc_xattr");
  set(Op::kConvertI, "convert_i");
  set(Op::kConvertU, "convert_u");
  set(Op::kConvertD, "convert_d");
  set(Op::kConvertB, "convert_b");
  set(Op::kConvertO, "convert_o");
  set(Op::kCheckFilter, "checkfilter");
  set(Op::kCoerce, "coerce", O::kMultiname);
  set(Op::kCoerceB, "coerce_b");
  set(Op::kCoerceA, "coerce_a");
  set(Op::kCoerceI, "coerce_i");
  set(Op::kCoerceD, "coerce_d");
  set(Op::kCoerceS, "coerce_s");
  set(Op::kAsType, "astype", O::kMultiname);
  set(Op::kAsTypeLate, "astypelate");
  set(Op::kCoerceU, "coerce_u");
  set(Op::kCoerceO, "coerce_o");
  set(Op::kNegate, "negate");
  set(Op::kIncrement, "increment");
  set(Op::kIncLocal, "inclocal", O::kRegister);
  set(Op::kDecrement, "decrement");
  set(Op::kDecLocal, "declocal", O::kRegister);
  set(Op::kTypeOf, "typeof");
  set(Op::kNot, "not");
  set(Op::kBitNot, "bitnot");
  set(Op::kAdd, "add");
  set(Op::kSubtract, "subtract");
  set(Op::kMultiply, "multiply");
  set(Op::kDivide, "divide");
  set(Op::kModulo, "modulo");
  set(Op::kLShift, "lshift");
  set(Op::kRShift, "rshift");
  set(Op::kURShift, "urshift");
  set(Op::kBitAnd, "bitand");
  set(Op::kBitOr, "bitor");
  set(Op::kBitXor, "bitxor");
  set(Op::kEquals, "equals");
  set(Op::kStrictEquals, "strictequals");
  set(Op::kLessThan, "lessthan");
  set(Op::kLessEquals, "lessequals");
  set(Op::kGreaterThan, "greaterthan");
  set(Op::kGreaterEquals, "greaterequals");
  set(Op::kInstanceOf, "instanceof");
  set(Op::kIsType, "istype", O::kMultiname);
  set(Op::kIsTypeLate, "istypelate");
  set(Op::kIn, "in");
  set(Op::kIncrementI, "increment_i");
  set(Op::kDecrementI, "decrement_i");
  set(Op::kIncLocalI, "inclocal_i", O::kRegister);
  set(Op::kDecLocalI, "declocal_i", O::kRegister);
  set(Op::kNegateI, "negate_i");
  set(Op::kAddI, "add_i");
  set(Op::kSubtractI, "subtract_i");
  set(Op::kMultiplyI, "multiply_i");
  set(Op::kGetLocal0, "getlocal0");
  set(Op::kGetLocal1, "getlocal1");
  set(Op::kGetLocal2, "getlocal2");
  set(Op::kGetLocal3, "getlocal3");
  set(Op::kSetLocal0, "setlocal0");
  set(Op::kSetLocal1, "setlocal1");
  set(Op::kSetLocal2, "setlocal2");
  set(Op::kSetLocal3, "setlocal3");
  set(Op::kDebug, "debug", O::kDebugInfo);
  set(Op::kDebugLine, "debugline", O::kU30);
  set(Op::kDebugFile, "debugfile", O::kString);
  set(Op::kBkptLine, "bkptline", O::kU30);
  set(Op::kTimestamp, "timestamp");
  constexpr Op kCannotThrow[] = {
      Op::kBkpt,
      Op::kNop,
      Op::kKill,
      Op::kLabel,
      Op::kJump,
      Op::kIfTrue,
      Op::kIfFalse,
      Op::kIfStrictEq,
      Op::kIfStrictNe,
      Op::kLookupSwitch,
      Op::kPopScope,
      Op::kPushNull,
      Op::kPushUndefined,
      Op::kPushByte,
      Op::kPushShort,
      Op::kPushTrue,
      Op::kPushFalse,
      Op::kPushNaN,
      Op::kPop,
      Op::kDup,
      Op::kSwap,
      Op::kPushString,
      Op::kPushInt,
      Op::kPushUInt,
      Op::kPushDouble,
      Op::kPushNamespace,
      Op::kReturnVoid,
      Op::kGetLocal,
      Op::kSetLocal,
      Op::kGetGlobalScope,
      Op::kGetScopeObject,
      Op::kGetOuterScope,
      Op::kGetGlobalSlot,
      Op::kTypeOf,
      Op::kNot,
      Op::kGetLocal0,
      Op::kGetLocal1,
      Op::kGetLocal2,
      Op::kGetLocal3,
      Op::kSetLocal0,
      Op::kSetLocal1,
      Op::kSetLocal2,
      Op::kSetLocal3,
      Op::kBkptLine,
      Op::kTimestamp,
  };
  for (Op op : kCannotThrow) t[static_cast<uint8_t>(op)].can_throw = false;
  return t;
}

}  // namespace detail

inline constexpr std::array<OpInfo, 256> kOpTable = detail::BuildOpTable();

inline const OpInfo& GetOpInfo(uint8_t opcode) { return kOpTable[opcode]; }
inline bool IsValidOpcode(uint8_t opcode) { return kOpTable[opcode].name != nullptr; }

}  // namespace flashsaver::avm2
