// The verifier's rule for each instruction: what it takes from and leaves on the operand and
// scope stacks, and which of its operands must name a register, a pool entry, a method or a
// class. Error numbers and texts are Flash's.
#include <string>

#include "player/avm2/verifier_internal.h"

namespace flashsaver::avm2 {

namespace {

bool IsAttribute(MultinameKind kind) {
  switch (kind) {
    case MultinameKind::kQNameA:
    case MultinameKind::kRTQNameA:
    case MultinameKind::kRTQNameLA:
    case MultinameKind::kMultinameA:
    case MultinameKind::kMultinameLA:
      return true;
    default:
      return false;
  }
}

// The operands a name takes from the stack at run time: a namespace, a name, or both.
uint32_t RuntimeParts(MultinameKind kind) {
  switch (kind) {
    case MultinameKind::kRTQName:
    case MultinameKind::kRTQNameA:
    case MultinameKind::kMultinameL:
    case MultinameKind::kMultinameLA:
      return 1;
    case MultinameKind::kRTQNameL:
    case MultinameKind::kRTQNameLA:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

bool VerifierState::Fail(int id, const std::string& text, uint32_t offset) {
  if (error_.id == 0) {
    error_.id = id;
    error_.offset = offset;
    error_.message = "Error #" + std::to_string(id) + ": " + text;
  }
  return false;
}

bool VerifierState::BadTarget(int64_t from) {
  return Fail(1021, "At least one branch target was not on a valid instruction in the method.",
              from < 0 ? 0 : static_cast<uint32_t>(from));
}

std::string VerifierState::MethodName() const {
  if (!options_.method_name.empty()) return options_.method_name;
  const std::string& name = file_.strings[file_.methods[body_.method].name];
  return name.empty() ? "<anonymous>()" : name + "()";
}

bool VerifierState::Stack(uint64_t pop, uint64_t push) {
  if (stack_ < pop) return Fail(1024, "Stack underflow occurred.");
  const uint64_t depth = stack_ - pop + push;
  if (depth > body_.max_stack) return Fail(1023, "Stack overflow occurred.");
  stack_ = static_cast<uint32_t>(depth);
  return true;
}

bool VerifierState::Register(int64_t index) {
  if (index >= 0 && static_cast<uint64_t>(index) < body_.local_count) return true;
  return Fail(1025, "An invalid register " + std::to_string(index) + " was accessed.");
}

// Instructions may not use entry 0 of a pool (Flash's rule, though the entry exists).
bool VerifierState::PoolIndex(int64_t index, size_t count) {
  if (index > 0 && static_cast<uint64_t>(index) < count) return true;
  return Fail(1032, "Cpool index " + std::to_string(index) + " is out of range " +
                        std::to_string(count) + ".");
}

// A multiname operand: checks the index, then the stack with the name's run-time parts taken
// as well, then the kinds of name the instruction refuses.
bool VerifierState::Name(int64_t index, uint64_t pop, uint64_t push, bool refuse_attribute,
                         bool refuse_runtime) {
  if (!PoolIndex(index, file_.multinames.size())) return false;
  const AbcMultiname& name = file_.multinames[static_cast<size_t>(index)];
  const uint32_t parts = RuntimeParts(name.kind);
  if (!Stack(pop + parts, push)) return false;
  if ((refuse_attribute && IsAttribute(name.kind)) || (refuse_runtime && parts != 0)) {
    const uint8_t opcode = body_.code[pc_];
    return Fail(1078, "Illegal opcode/multiname combination: " + std::to_string(opcode) + "<" +
                          file_.strings[name.name] + ">.");
  }
  return true;
}

// findproperty and its kin need some scope to search.
bool VerifierState::NeedScope() {
  if (options_.outer_scope_depth != 0 || scope_ != 0) return true;
  return Fail(1013, "Cannot call OP_findproperty when scopeDepth is 0.");
}

bool VerifierState::GlobalScope() {
  if (options_.outer_scope_depth != 0 || scope_ != 0) return true;
  return Fail(1019, "Getscopeobject 0 is out of bounds.");
}

bool VerifierState::SetsDxns() {
  if (file_.methods[body_.method].flags & method_flag::kSetDxns) return true;
  return Fail(1015, "Method " + MethodName() + " cannot set default xml namespace");
}

bool VerifierState::Step(const Instruction& ins, std::span<const uint8_t> code, bool& ends_block) {
  const int64_t a = ins.operand[0];
  const uint64_t argc = static_cast<uint64_t>(ins.operand[1]);  // of two-operand calls
  const uint32_t max_scope = body_.max_scope_depth - body_.init_scope_depth;
  ends_block = false;
  switch (ins.op) {
    case Op::kIfNlt:
    case Op::kIfNle:
    case Op::kIfNgt:
    case Op::kIfNge:
    case Op::kIfEq:
    case Op::kIfNe:
    case Op::kIfLt:
    case Op::kIfLe:
    case Op::kIfGt:
    case Op::kIfGe:
    case Op::kIfStrictEq:
    case Op::kIfStrictNe:
      return Stack(2, 0) && Reach(a, stack_, scope_, pc_);
    case Op::kIfTrue:
    case Op::kIfFalse:
      return Stack(1, 0) && Reach(a, stack_, scope_, pc_);
    case Op::kJump:
      ends_block = true;
      return Reach(a, stack_, scope_, pc_);
    case Op::kLookupSwitch:
      ends_block = true;
      if (!Stack(1, 0) || !Reach(a, stack_, scope_, pc_)) return false;
      for (uint32_t i = 0; i <= static_cast<uint64_t>(ins.operand[1]); ++i) {
        if (!Reach(SwitchTarget(code, ins, i), stack_, scope_, pc_)) return false;
      }
      return true;
    case Op::kThrow:
    case Op::kReturnValue:
      ends_block = true;
      return Stack(1, 0);
    case Op::kReturnVoid:
      ends_block = true;
      return true;

    case Op::kPushNull:
    case Op::kPushUndefined:
    case Op::kPushTrue:
    case Op::kPushFalse:
    case Op::kPushNaN:
    case Op::kPushShort:
    case Op::kPushByte:
      return Stack(0, 1);
    case Op::kPushString:
      return Stack(0, 1) && PoolIndex(a, file_.strings.size());
    case Op::kPushInt:
      return Stack(0, 1) && PoolIndex(a, file_.ints.size());
    case Op::kPushUInt:
      return Stack(0, 1) && PoolIndex(a, file_.uints.size());
    case Op::kPushDouble:
      return Stack(0, 1) && PoolIndex(a, file_.doubles.size());
    case Op::kPushNamespace:
      return Stack(0, 1) && PoolIndex(a, file_.namespaces.size());
    case Op::kDebugFile:
      return PoolIndex(a, file_.strings.size());
    case Op::kDebug:
      // A local variable's name (debug type 1) must be a string.
      return a != 1 || PoolIndex(ins.operand[1], file_.strings.size());
    case Op::kDxns:
      return SetsDxns() && PoolIndex(a, file_.strings.size());
    case Op::kDxnsLate:
      return Stack(1, 0) && SetsDxns();

    case Op::kGetLocal:
      return Stack(0, 1) && Register(a);
    case Op::kSetLocal:
      return Stack(1, 0) && Register(a);
    case Op::kGetLocal0:
    case Op::kGetLocal1:
    case Op::kGetLocal2:
    case Op::kGetLocal3:
      return Stack(0, 1) && Register(static_cast<uint8_t>(ins.op) - 0xD0);
    case Op::kSetLocal0:
    case Op::kSetLocal1:
    case Op::kSetLocal2:
    case Op::kSetLocal3:
      return Stack(1, 0) && Register(static_cast<uint8_t>(ins.op) - 0xD4);
    case Op::kKill:
    case Op::kIncLocal:
    case Op::kDecLocal:
    case Op::kIncLocalI:
    case Op::kDecLocalI:
      return Register(a);
    case Op::kHasNext2:
      if (!Stack(0, 1) || !Register(a) || !Register(ins.operand[1])) return false;
      if (a == ins.operand[1]) {
        return Fail(1124, "OP_hasnext2 requires object and index to be distinct registers.");
      }
      return true;

    case Op::kNewFunction:
      if (!Stack(0, 1)) return false;
      if (static_cast<uint64_t>(a) >= file_.methods.size()) {
        return Fail(1027, "Method_info " + std::to_string(a) + " exceeds method_count=" +
                              std::to_string(file_.methods.size()) + ".");
      }
      return true;
    case Op::kNewClass:
      if (!Stack(1, 1)) return false;
      if (static_cast<uint64_t>(a) >= file_.classes.size()) {
        return Fail(1060, "ClassInfo " + std::to_string(a) +
                              " exceeds class_count=" + std::to_string(file_.classes.size()) + ".");
      }
      return true;
    case Op::kNewActivation:
      if (!Stack(0, 1)) return false;
      if (file_.methods[body_.method].flags & method_flag::kNeedActivation) return true;
      return Fail(1113, "OP_newactivation used in method without NEED_ACTIVATION flag.");
    case Op::kNewCatch:
      if (!Stack(0, 1)) return false;
      // Flash reports a bad handler index with the newactivation error.
      if (static_cast<uint64_t>(a) < body_.exceptions.size()) return true;
      return Fail(1113, "OP_newactivation used in method without NEED_ACTIVATION flag.");
    case Op::kNewObject:
      return Stack(2 * static_cast<uint64_t>(a), 1);
    case Op::kNewArray:
      return Stack(static_cast<uint64_t>(a), 1);

    case Op::kGetLex:
      return NeedScope() && Name(a, 0, 1, false, true);
    case Op::kFindPropStrict:
    case Op::kFindProperty:
      return NeedScope() && Name(a, 0, 1, false, false);
    case Op::kFindDef:
      return Name(a, 0, 1, false, true);
    case Op::kSetProperty:
    case Op::kInitProperty:
      return Name(a, 2, 0, false, false);
    case Op::kGetProperty:
    case Op::kGetDescendants:
    case Op::kDeleteProperty:
      return Name(a, 1, 1, false, false);
    case Op::kGetSuper:
      return Name(a, 1, 1, true, false);
    case Op::kSetSuper:
      return Name(a, 2, 0, true, false);
    case Op::kCallProperty:
    case Op::kCallPropLex:
    case Op::kConstructProp:
    case Op::kCallSuper:
      return Name(a, argc + 1, 1, true, false);
    case Op::kCallPropVoid:
    case Op::kCallSuperVoid:
      return Name(a, argc + 1, 1, true, false) && Stack(1, 0);
    case Op::kCoerce:
    case Op::kAsType:
    case Op::kIsType:
      return Stack(1, 1) && PoolIndex(a, file_.multinames.size());

    case Op::kCallStatic:
      if (static_cast<uint64_t>(a) >= file_.methods.size()) return Fail(kCorruptAbc, CorruptText());
      return Stack(argc + 1, 1);
    case Op::kCall:
      return Stack(static_cast<uint64_t>(a) + 2, 1);
    case Op::kConstruct:
    case Op::kApplyType:
      return Stack(static_cast<uint64_t>(a) + 1, 1);
    case Op::kConstructSuper:
      return Stack(static_cast<uint64_t>(a) + 1, 0);
    case Op::kCallMethod:
      // Early-bound calls are only for the player's own code: Flash refuses them all.
      if (!Stack(argc + 1, 1)) return false;
      if (a == 0) return Fail(1072, "Disp_id 0 is illegal.");
      return Fail(1051, "Illegal early binding access to Object.");

    case Op::kPushScope:
    case Op::kPushWith:
      if (!Stack(1, 0)) return false;
      if (uint64_t{scope_} + 1 > max_scope) return Fail(1017, "Scope stack overflow occurred.");
      ++scope_;
      return true;
    case Op::kPopScope:
      if (scope_ == 0) return Fail(1018, "Scope stack underflow occurred.");
      --scope_;
      return true;
    case Op::kGetScopeObject:
      if (!Stack(0, 1)) return false;
      if (a < scope_) return true;
      return Fail(1019, "Getscopeobject " + std::to_string(a) + " is out of bounds.");
    case Op::kGetOuterScope:
      if (!Stack(0, 1)) return false;
      if (options_.outer_scope_depth < 0 || a < options_.outer_scope_depth) return true;
      return Fail(1019, "Getscopeobject " + std::to_string(a) + " is out of bounds.");
    case Op::kGetGlobalScope:
    case Op::kGetGlobalSlot:
      return Stack(0, 1) && GlobalScope();
    case Op::kSetGlobalSlot:
      if (options_.outer_scope_depth == 0 && scope_ == 0) {
        return Fail(1114, "OP_getglobalslot or OP_setglobalslot used with no global scope.");
      }
      return Stack(1, 0);

    case Op::kPop:
      return Stack(1, 0);
    case Op::kDup:
      return Stack(1, 2);
    case Op::kSwap:
      return Stack(2, 2);
    case Op::kSetSlot:
    case Op::kSi8:
    case Op::kSi16:
    case Op::kSi32:
    case Op::kSf32:
    case Op::kSf64:
      return Stack(2, 0);

    case Op::kNop:
    case Op::kBkpt:
    case Op::kBkptLine:
    case Op::kTimestamp:
    case Op::kLabel:
    case Op::kDebugLine:
      return true;

    default:
      break;
  }
  // What remains takes one or two operands and leaves one result.
  switch (ins.op) {
    case Op::kAsTypeLate:
    case Op::kIsTypeLate:
    case Op::kNextName:
    case Op::kNextValue:
    case Op::kHasNext:
    case Op::kLessThan:
    case Op::kLessEquals:
    case Op::kGreaterThan:
    case Op::kGreaterEquals:
    case Op::kIn:
    case Op::kEquals:
    case Op::kStrictEquals:
    case Op::kInstanceOf:
    case Op::kAdd:
    case Op::kSubtract:
    case Op::kMultiply:
    case Op::kDivide:
    case Op::kModulo:
    case Op::kAddI:
    case Op::kSubtractI:
    case Op::kMultiplyI:
    case Op::kBitAnd:
    case Op::kBitOr:
    case Op::kBitXor:
    case Op::kLShift:
    case Op::kRShift:
    case Op::kURShift:
      return Stack(2, 1);
    default:
      return Stack(1, 1);  // conversions, coercions, unary operators, loads, getslot
  }
}

}  // namespace flashsaver::avm2
