// The tags that carry ActionScript 3: DoABC (bytecode with a name and flags), its older form
// without them, and SymbolClass (which class each character or the main timeline gets).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace flashsaver::avm2 {

struct DoAbcTag {
  // Flag 1: load the bytecode but run its scripts only when a class they define is first
  // needed.
  static constexpr uint32_t kLazyInitialize = 1;
  uint32_t flags = 0;
  std::string name;
  std::span<const uint8_t> abc;  // inside the tag's body
};

struct SymbolClassEntry {
  uint16_t character_id = 0;  // 0: the main timeline
  std::string class_name;     // fully qualified, "pkg.Name"
};

// DoABC (82). Empty when the body ends before the name does.
std::optional<DoAbcTag> ReadDoAbcTag(std::span<const uint8_t> body);
// The older DoABC (72): the whole body is the bytecode; no flags, no name.
DoAbcTag ReadDoAbcOldTag(std::span<const uint8_t> body);
// SymbolClass (76). Entries past a truncation are dropped, as Flash keeps those read before.
std::vector<SymbolClassEntry> ReadSymbolClassTag(std::span<const uint8_t> body);

}  // namespace flashsaver::avm2
