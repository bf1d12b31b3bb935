// Shared between the verifier's flow analysis (verifier.cpp) and its per-instruction rules
// (verifier_ops.cpp); not for other users.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "player/avm2/abc_file.h"
#include "player/avm2/instruction.h"
#include "player/avm2/verifier.h"

namespace flashsaver::avm2 {

inline constexpr int kCorruptAbc = 1107;

class VerifierState {
 protected:
  VerifierState(const AbcFile& file, const AbcMethodBody& body, VerifyError& error,
                const VerifyOptions& options)
      : file_(file), body_(body), error_(error), options_(options) {}
  virtual ~VerifierState() = default;

  // Records the first fault; always returns false.
  bool Fail(int id, const std::string& text) { return Fail(id, text, pc_); }
  bool Fail(int id, const std::string& text, uint32_t offset);
  bool BadTarget(int64_t from);
  static std::string CorruptText() {
    return "The ABC data is corrupt, attempt to read out of bounds.";
  }
  std::string MethodName() const;

  // Control reaches `target` from the instruction at `from` with these depths.
  virtual bool Reach(int64_t target, uint32_t stack, uint32_t scope, int64_t from) = 0;

  // Applies one decoded instruction to the depths; sets ends_block after an instruction that
  // never falls through.
  bool Step(const Instruction& ins, std::span<const uint8_t> code, bool& ends_block);

  const AbcFile& file_;
  const AbcMethodBody& body_;
  VerifyError& error_;
  const VerifyOptions& options_;
  uint32_t stack_ = 0, scope_ = 0;  // depths before the current instruction
  uint32_t pc_ = 0;                 // the current instruction

 private:
  bool Stack(uint64_t pop, uint64_t push);
  bool Register(int64_t index);
  bool PoolIndex(int64_t index, size_t count);
  bool Name(int64_t index, uint64_t pop, uint64_t push, bool refuse_attribute, bool refuse_runtime);
  bool NeedScope();
  bool GlobalScope();
  bool SetsDxns();
};

}  // namespace flashsaver::avm2
