#include "player/avm2/verifier.h"

#include <functional>
#include <queue>
#include <span>

#include "player/avm2/instruction.h"
#include "player/avm2/verifier_internal.h"

namespace flashsaver::avm2 {

namespace {

constexpr int32_t kUnset = -1;

// The catch handlers whose try range covers a code position, each handed out once: handlers
// are filed in the nodes of a segment tree over the code, and a node's list is emptied when a
// position under it is asked about, so the whole search costs O((code + handlers) log code).
class HandlerRanges {
 public:
  // The ranges must lie inside the code.
  void Build(const std::vector<AbcException>& handlers, size_t code_length) {
    if (handlers.empty()) return;
    while (size_ < code_length) size_ *= 2;
    head_.assign(2 * size_, kNone);
    for (uint32_t h = 0; h < handlers.size(); ++h) {
      size_t l = handlers[h].from + size_, r = handlers[h].to + size_;
      for (; l < r; l /= 2, r /= 2) {
        if (l & 1) Add(l++, h);
        if (r & 1) Add(--r, h);
      }
    }
  }

  template <typename Visit>
  void TakeCovering(uint32_t pc, Visit visit) {
    if (head_.empty() || pc >= size_) return;
    for (size_t node = pc + size_; node >= 1; node /= 2) {
      for (uint32_t e = head_[node]; e != kNone; e = entries_[e].next) visit(entries_[e].handler);
      head_[node] = kNone;
    }
  }

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  struct Entry {
    uint32_t handler, next;
  };
  void Add(size_t node, uint32_t handler) {
    entries_.push_back({handler, head_[node]});
    head_[node] = static_cast<uint32_t>(entries_.size() - 1);
  }
  size_t size_ = 1;
  std::vector<uint32_t> head_;
  std::vector<Entry> entries_;
};

class Verifier final : public VerifierState {
 public:
  Verifier(const AbcFile& file, const AbcMethodBody& body, VerifyError& error,
           const VerifyOptions& options, std::vector<uint8_t>& flags)
      : VerifierState(file, body, error, options), flags_(flags) {}

  bool Run();

 private:
  bool CheckHeader();
  bool Walk(uint32_t start);
  bool MarkBytes(const Instruction& ins);
  bool Reach(int64_t target, uint32_t stack, uint32_t scope, int64_t from) override;
  void ReachHandlers(uint32_t pc);

  std::vector<uint8_t>& flags_;
  std::vector<int32_t> stack_at_, scope_at_;
  std::vector<bool> loop_header_;
  std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<>> work_;
  HandlerRanges handlers_;
};

bool Verifier::CheckHeader() {
  const AbcMethod& method = file_.methods[body_.method];
  if (body_.max_scope_depth < body_.init_scope_depth) return Fail(kCorruptAbc, CorruptText());
  // The frame (registers, scopes, operands) must stay a sane size, as in Flash.
  const uint64_t frame = uint64_t{body_.local_count} + body_.max_stack +
                         (body_.max_scope_depth - body_.init_scope_depth);
  if (frame > 0x7FFFFFFFu / 16) return Fail(kCorruptAbc, CorruptText());
  for (const AbcException& e : body_.exceptions) {
    if (e.to < e.from || e.target < e.to || e.target >= body_.code.size()) {
      return Fail(1054, "Illegal range or target offsets in exception handler.");
    }
    // The catch variable is named by a plain qualified (or namespace-set) name.
    if (e.var_name != 0) {
      const MultinameKind kind = file_.multinames[e.var_name].kind;
      if (kind != MultinameKind::kQName && kind != MultinameKind::kMultiname) {
        return Fail(kCorruptAbc, CorruptText());
      }
    }
  }
  // Registers hold `this`, the parameters and, when asked for, the rest array or arguments.
  const uint64_t params = method.param_types.size();
  if (body_.local_count < params + 1) return Fail(kCorruptAbc, CorruptText());
  if ((method.flags & (method_flag::kNeedRest | method_flag::kNeedArguments)) &&
      body_.local_count <= params + 1) {
    return Fail(1025, "An invalid register " + std::to_string(params + 1) + " was accessed.");
  }
  return true;
}

bool Verifier::Run() {
  const size_t length = body_.code.size();
  if (length == 0) return Fail(1043, "Invalid code_length=0.");
  if (!CheckHeader()) return false;
  handlers_.Build(body_.exceptions, length);
  flags_.assign(length, 0);
  stack_at_.assign(length, kUnset);
  scope_at_.assign(length, kUnset);
  loop_header_.assign(length, false);
  // The entry is a block (one that later code may branch back to) only when it is a label.
  stack_at_[0] = 0;
  scope_at_[0] = 0;
  if (body_.code[0] == static_cast<uint8_t>(Op::kLabel)) flags_[0] |= code_flag::kBlockStart;
  work_.push(0);
  while (!work_.empty()) {
    const uint32_t pc = work_.top();
    work_.pop();
    if ((flags_[pc] & code_flag::kInstruction) == 0 && !Walk(pc)) return false;
  }
  return true;
}

bool Verifier::Reach(int64_t target, uint32_t stack, uint32_t scope, int64_t from) {
  const size_t length = body_.code.size();
  if (target < 0 || static_cast<uint64_t>(target) >= length) return BadTarget(from);
  const size_t t = static_cast<size_t>(target);
  // Flash follows code in one forward sweep: a branch back must land on a label or on a place
  // some earlier branch already made a block.
  const bool backward = target <= from;
  if (backward && !(flags_[t] & code_flag::kBlockStart) &&
      body_.code[t] != static_cast<uint8_t>(Op::kLabel)) {
    return BadTarget(from);
  }
  flags_[t] |= code_flag::kBlockStart;
  if (stack_at_[t] == kUnset) {
    stack_at_[t] = static_cast<int32_t>(stack);
    scope_at_[t] = static_cast<int32_t>(scope);
    work_.push(static_cast<uint32_t>(t));
  } else if (stack_at_[t] != static_cast<int32_t>(stack)) {
    return Fail(1030, "Stack depth is unbalanced. " + std::to_string(stack) +
                          " != " + std::to_string(stack_at_[t]) + ".");
  } else if (scope_at_[t] != static_cast<int32_t>(scope)) {
    return Fail(1031, "Scope depth is unbalanced. " + std::to_string(scope) +
                          " != " + std::to_string(scope_at_[t]) + ".");
  }
  if (backward && !loop_header_[t]) {
    // A loop's head may be interrupted (and so throw) on every round.
    loop_header_[t] = true;
    ReachHandlers(static_cast<uint32_t>(t));
  }
  return error_.id == 0;
}

// Each handler whose range covers pc becomes reachable, entered with the thrown value as the
// only operand and no scopes of the method's own.
void Verifier::ReachHandlers(uint32_t pc) {
  handlers_.TakeCovering(pc, [&](uint32_t h) {
    if (error_.id != 0) return;
    const uint32_t target = body_.exceptions[h].target;
    flags_[target] |= code_flag::kHandler;
    Reach(target, 1, 0, pc);
  });
}

bool Verifier::MarkBytes(const Instruction& ins) {
  uint8_t& first = flags_[ins.offset];
  if (first & code_flag::kInterior) return BadTarget(ins.offset);
  first |= code_flag::kInstruction;
  for (uint32_t i = 1; i < ins.length; ++i) {
    uint8_t& f = flags_[ins.offset + i];
    if (f & code_flag::kInstruction) return BadTarget(ins.offset);
    f |= code_flag::kInterior;
  }
  return true;
}

bool Verifier::Walk(uint32_t start) {
  const std::span<const uint8_t> code(body_.code);
  stack_ = static_cast<uint32_t>(stack_at_[start]);
  scope_ = static_cast<uint32_t>(scope_at_[start]);
  for (uint32_t pc = start;;) {
    if (pc >= code.size()) return Fail(1020, "Code cannot fall off the end of a method.");
    const uint8_t opcode = code[pc];
    if (!IsValidOpcode(opcode)) {
      return Fail(1011,
                  "Method " + MethodName() + " contained illegal opcode " + std::to_string(opcode) +
                      " at offset " + std::to_string(pc) + ".",
                  pc);
    }
    if (pc != start) {
      if (stack_at_[pc] != kUnset) return Reach(pc, stack_, scope_, pc - 1);
      if (opcode == static_cast<uint8_t>(Op::kLabel)) flags_[pc] |= code_flag::kBlockStart;
      stack_at_[pc] = static_cast<int32_t>(stack_);
      scope_at_[pc] = static_cast<int32_t>(scope_);
    }
    if (GetOpInfo(opcode).can_throw || loop_header_[pc]) {
      ReachHandlers(pc);
      if (error_.id != 0) return false;
    }
    Instruction ins;
    switch (DecodeInstruction(code, pc, ins)) {
      case DecodeResult::kOk:
        break;
      case DecodeResult::kBadU30:
        return Fail(kCorruptAbc, CorruptText(), pc);
      default:
        return Fail(1012, "The last instruction exceeded code size.", pc);
    }
    if (!MarkBytes(ins)) return false;
    pc_ = pc;
    bool ends_block = false;
    if (!Step(ins, code, ends_block)) return false;
    if (ends_block) return true;
    pc += ins.length;
  }
}

}  // namespace

bool VerifyMethodBody(const AbcFile& file, uint32_t body_index, VerifiedBody& out,
                      VerifyError& error, const VerifyOptions& options) {
  error = VerifyError{};
  out.flags.clear();
  if (body_index >= file.bodies.size()) {
    error = {1107, "Error #1107: The ABC data is corrupt, attempt to read out of bounds.", 0};
    return false;
  }
  Verifier verifier(file, file.bodies[body_index], error, options, out.flags);
  if (verifier.Run()) return true;
  out.flags.clear();
  return false;
}

}  // namespace flashsaver::avm2
