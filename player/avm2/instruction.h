// One decoded AVM2 instruction. Every user of the bytecode decodes through DecodeInstruction so
// that instruction boundaries are the same for the verifier and the interpreter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "player/avm2/opcodes.h"

namespace flashsaver::avm2 {

struct Instruction {
  Op op = Op::kNop;
  uint32_t offset = 0;  // of the opcode byte
  uint32_t length = 0;  // in bytes, operands included
  // Operands in the order the opcode table lists them. Branches: operand[0] is the target's
  // offset (already resolved; may lie outside the code, which the verifier refuses).
  // lookupswitch: operand[0] is the default target, operand[1] the case count less one, and
  // the case targets come from SwitchTarget. debug: type, string index, register, extra.
  int64_t operand[4] = {0, 0, 0, 0};
  uint32_t switch_table = 0;  // lookupswitch: offset of the first case's s24
};

enum class DecodeResult : uint8_t {
  kOk,
  kIllegalOpcode,  // not an instruction of the released players
  kTruncated,      // the operands run past the end of the code
  kBadU30,         // a u30 operand needs more than 30 bits
};

DecodeResult DecodeInstruction(std::span<const uint8_t> code, uint32_t pc, Instruction& out);

// The target of case `index` (0 .. operand[1]) of a decoded lookupswitch.
int64_t SwitchTarget(std::span<const uint8_t> code, const Instruction& ins, uint32_t index);

// "getlocal 3", "jump 0x1c", for traces and dumps.
std::string DescribeInstruction(std::span<const uint8_t> code, const Instruction& ins);

}  // namespace flashsaver::avm2
