#include "player/avm2/instruction.h"

#include "player/avm2/abc_ints.h"

namespace flashsaver::avm2 {

namespace {

bool DecodeOperand(std::span<const uint8_t> code, Operand kind, size_t& pos, Instruction& out,
                   int slot) {
  uint32_t u = 0;
  int32_t s = 0;
  switch (kind) {
    case Operand::kNone:
      return true;
    case Operand::kU8:
      if (pos >= code.size()) return false;
      out.operand[slot] = code[pos++];
      return true;
    case Operand::kS24:
      if (!ReadS24(code, pos, s)) return false;
      out.operand[slot] = static_cast<int64_t>(pos) + s;
      return true;
    case Operand::kSwitch: {
      uint32_t count = 0;
      if (!ReadS24(code, pos, s) || !ReadVarU30(code, pos, count)) return false;
      const uint64_t table_bytes = (static_cast<uint64_t>(count) + 1) * 3;
      if (table_bytes > code.size() - pos) return false;
      out.operand[0] = static_cast<int64_t>(out.offset) + s;
      out.operand[1] = count;
      out.switch_table = static_cast<uint32_t>(pos);
      pos += static_cast<size_t>(table_bytes);
      return true;
    }
    case Operand::kDebugInfo: {
      uint32_t index = 0, extra = 0;
      if (pos >= code.size()) return false;
      out.operand[0] = code[pos++];
      if (!ReadVarU30(code, pos, index) || pos >= code.size()) return false;
      out.operand[1] = index;
      out.operand[2] = code[pos++];
      if (!ReadVarU30(code, pos, extra)) return false;
      out.operand[3] = extra;
      return true;
    }
    default:
      if (!ReadVarU30(code, pos, u)) return false;
      out.operand[slot] = u;
      return true;
  }
}

}  // namespace

DecodeResult DecodeInstruction(std::span<const uint8_t> code, uint32_t pc, Instruction& out) {
  out = Instruction{};
  if (pc >= code.size()) return DecodeResult::kTruncated;
  const OpInfo& info = GetOpInfo(code[pc]);
  if (info.name == nullptr) return DecodeResult::kIllegalOpcode;
  out.op = static_cast<Op>(code[pc]);
  out.offset = pc;
  size_t pos = pc + 1;
  for (int i = 0; i < 2; ++i) {
    if (!DecodeOperand(code, info.operands[i], pos, out, i)) return DecodeResult::kTruncated;
  }
  if (out.op == Op::kPushByte) out.operand[0] = static_cast<int8_t>(out.operand[0]);
  if (out.op == Op::kPushShort) out.operand[0] = static_cast<int16_t>(out.operand[0]);
  out.length = static_cast<uint32_t>(pos - pc);
  return DecodeResult::kOk;
}

int64_t SwitchTarget(std::span<const uint8_t> code, const Instruction& ins, uint32_t index) {
  size_t pos = static_cast<size_t>(ins.switch_table) + static_cast<size_t>(index) * 3;
  int32_t s = 0;
  if (!ReadS24(code, pos, s)) return -1;
  return static_cast<int64_t>(ins.offset) + s;
}

std::string DescribeInstruction(std::span<const uint8_t> code, const Instruction& ins) {
  const OpInfo& info = GetOpInfo(static_cast<uint8_t>(ins.op));
  std::string text = info.name ? info.name : "?";
  if (info.operands[0] == Operand::kSwitch) {
    text += " default:" + std::to_string(ins.operand[0]);
    for (uint32_t i = 0; i <= ins.operand[1] && i < 64; ++i) {
      text += (i == 0 ? " [" : ", ") + std::to_string(SwitchTarget(code, ins, i));
    }
    return text + (ins.operand[1] >= 64 ? ", ...]" : "]");
  }
  const int count = info.operands[0] == Operand::kDebugInfo ? 4
                    : info.operands[1] != Operand::kNone    ? 2
                    : info.operands[0] != Operand::kNone    ? 1
                                                            : 0;
  for (int i = 0; i < count; ++i) text += " " + std::to_string(ins.operand[i]);
  return text;
}

}  // namespace flashsaver::avm2
