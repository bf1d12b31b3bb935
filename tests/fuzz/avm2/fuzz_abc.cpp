// libFuzzer target: any bytes as an ABC file (the bytecode of a DoABC tag). A file that reads
// has every method body verified, twice (scope of the method's closure unknown, and none), and
// every instruction the verifier accepted decoded and described again; the tag readers get the
// same bytes as tag bodies.
#include <cstddef>
#include <cstdint>
#include <span>

#include "player/avm2/abc_file.h"
#include "player/avm2/abc_tags.h"
#include "player/avm2/instruction.h"
#include "player/avm2/verifier.h"

using namespace flashsaver::avm2;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  ReadDoAbcTag(bytes);
  ReadSymbolClassTag(bytes);
  AbcFile file;
  AbcError error;
  if (!ReadAbcFile(bytes, file, error)) return 0;
  for (uint32_t b = 0; b < file.bodies.size(); ++b) {
    VerifiedBody verified;
    VerifyError verify_error;
    VerifyMethodBody(file, b, verified, verify_error, {.outer_scope_depth = 0, .method_name = ""});
    if (!VerifyMethodBody(file, b, verified, verify_error)) continue;
    const auto& code = file.bodies[b].code;
    for (uint32_t pc = 0; pc < code.size(); ++pc) {
      if (!(verified.flags[pc] & code_flag::kInstruction)) continue;
      Instruction ins;
      // A verified instruction always decodes.
      if (DecodeInstruction(code, pc, ins) != DecodeResult::kOk) __builtin_trap();
      DescribeInstruction(code, ins);
    }
  }
  return 0;
}
