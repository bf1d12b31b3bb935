#include "player/avm2/instruction.h"

#include "player/avm2/abc_ints.h"

namespace flashsaver::avm2 {

namespace {

// A u30 operand: too short is truncation, too wide is a damaged number.
DecodeResult ReadU30(std::span<const uint8_t> code, size_t& pos, uint32_t& v) {
  if (!ReadVarU32(code, pos, v)) return DecodeResult::kTruncated;
  return (v & 0xC0000000u) ? DecodeResult::kBadU30 : DecodeResult::kOk;
}

DecodeResult DecodeOperand(std::span<const uint8_t> code, Operand kind, size_t& pos,
                           Instruction& out, int slot) {
  constexpr DecodeResult kOk = DecodeResult::kOk;
  constexpr DecodeResult kTruncated = DecodeResult::kTruncated;
  uint32_t u = 0;
  int32_t s = 0;
  DecodeResult r = kOk;
  switch (kind) {
    case Operand::kNone:
      return kOk;
    case Operand::kU8:
      if (pos >= code.size()) return kTruncated;
      out.operand[slot] = code[pos++];
      return kOk;
    case Operand::kS24:
      if (!ReadS24(code, pos, s)) return kTruncated;
      out.operand[slot] = static_cast<int64_t>(pos) + s;
      return kOk;
    case Operand::kSwitch: {
      uint32_t count = 0;
      if (!ReadS24(code, pos, s)) return kTruncated;
      if ((r = ReadU30(code, pos, count)) != kOk) return r;
      const uint64_t table_bytes = (static_cast<uint64_t>(count) + 1) * 3;
      if (table_bytes > code.size() - pos) return kTruncated;
      out.operand[0] = static_cast<int64_t>(out.offset) + s;
      out.operand[1] = count;
      out.switch_table = static_cast<uint32_t>(pos);
      pos += static_cast<size_t>(table_bytes);
      return kOk;
    }
    case Operand::kDebugInfo: {
      uint32_t index = 0, extra = 0;
      if (pos >= code.size()) return kTruncated;
      out.operand[0] = code[pos++];
      if ((r = ReadU30(code, pos, index)) != kOk) return r;
      if (pos >= code.size()) return kTruncated;
      out.operand[1] = index;
      out.operand[2] = code[pos++];
      if ((r = ReadU30(code, pos, extra)) != kOk) return r;
      out.operand[3] = extra;
      return kOk;
    }
    default:
      // pushshort takes any 32-bit number and keeps its low 16 bits.
      if (out.op == Op::kPushShort) {
        if (!ReadVarU32(code, pos, u)) return kTruncated;
      } else if ((r = ReadU30(code, pos, u)) != kOk) {
        return r;
      }
      out.operand[slot] = u;
      return kOk;
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
    const DecodeResult r = DecodeOperand(code, info.operands[i], pos, out, i);
    if (r != DecodeResult::kOk) return r;
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
