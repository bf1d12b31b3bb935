// Checks one method body before it first runs, as Flash's verifier does: every reachable
// instruction decodes inside the code, branches land on instruction starts, the operand and
// scope stacks stay within the body's limits along every path and agree where paths meet,
// registers and pool indices are in range, and no path falls off the end. Only code reachable
// from the entry (or from a catch handler whose try range holds an instruction that may throw) is
// checked, as in Flash: unreachable bytes may be anything.
//
// Checks that need the runtime's knowledge of types (slot numbers of an object's class, whether
// a coerce's class exists) are left to the machine. Work and memory are linear in the code size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/avm2/abc_file.h"

namespace flashsaver::avm2 {

struct VerifyError {
  int id = 0;           // Flash's error number, e.g. 1021
  std::string message;  // "Error #1021: At least one branch target was not on a valid ..."
  uint32_t offset = 0;  // of the instruction at fault, when there is one
};

struct VerifyOptions {
  // How many scopes the method closes over (its declaring scope: 0 for a script's initialiser),
  // or -1 when not known yet; checks that need it (findproperty with no scope at all,
  // getglobalscope, getouterscope, setglobalslot) are skipped when it is unknown.
  int outer_scope_depth = -1;
  // How error #1011 names the method, e.g. "Main/run()"; its name string when empty.
  std::string method_name;
};

// Per byte of the code, what the verifier found there.
namespace code_flag {
inline constexpr uint8_t kInstruction = 0x01;  // a reachable instruction starts here
inline constexpr uint8_t kInterior = 0x02;     // inside a reachable instruction
inline constexpr uint8_t kBlockStart = 0x04;   // a branch, a label or a handler lands here
inline constexpr uint8_t kHandler = 0x08;      // a reachable catch handler starts here
}  // namespace code_flag

struct VerifiedBody {
  std::vector<uint8_t> flags;  // code_flag bits, one entry per code byte
};

// Verifies file.bodies[body_index]. On failure fills `error` (the machine throws it as a
// VerifyError) and returns false.
bool VerifyMethodBody(const AbcFile& file, uint32_t body_index, VerifiedBody& out,
                      VerifyError& error, const VerifyOptions& options = {});

}  // namespace flashsaver::avm2
