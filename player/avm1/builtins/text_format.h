// TextFormat: a bag of optional character and paragraph settings. Every setting may be unset
// (null to scripts), so that getTextFormat can answer "mixed" and setTextFormat can change only
// what was given. Shared with the TextField class, which reads and fills it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "player/avm1/vm.h"

namespace flashsaver::avm1 {

struct TextFormatValues {
  std::optional<std::string> font, url, target, align;
  std::optional<int32_t> size, indent, leading, block_indent, left_margin, right_margin;
  std::optional<double> color, letter_spacing;  // color: 0 to 0xFFFFFFFF
  std::optional<bool> bold, italic, underline, bullet, kerning;
  std::optional<std::vector<int32_t>> tab_stops;
  std::string display = "block";  // "block", "inline" or "none"; never unset
};

class TextFormatObject final : public Object {
 public:
  TextFormatObject() : Object(ObjectKind::kOther) {}
  TextFormatValues values;
};

// The format of a script value, or null when it is no TextFormat.
const TextFormatValues* AsTextFormat(const Value& v);
// A new TextFormat object holding these values.
Object* NewTextFormat(Vm& vm, const TextFormatValues& values);

}  // namespace flashsaver::avm1
