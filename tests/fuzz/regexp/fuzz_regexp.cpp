// libFuzzer target: arbitrary patterns, flags and subjects through the AS3 regexp engine and
// String's loops. The input is UTF-16: the first unit picks flags and a split limit, then the
// pattern up to the first U+FFFF, then the subject.
#include <cstddef>
#include <cstdint>
#include <string>

#include "player/avm2/regexp_ops.h"

using namespace flashsaver::avm2;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const char16_t control = units[0];
  std::u16string_view rest = std::u16string_view(units).substr(1);
  size_t cut = rest.find(u'\xFFFF');
  std::u16string_view pattern = rest.substr(0, cut);
  std::u16string_view subject = cut == std::u16string_view::npos ? u"" : rest.substr(cut + 1);

  RegExpFlags flags;
  flags.global = control & 1;
  flags.ignore_case = control & 2;
  flags.multiline = control & 4;
  flags.dotall = control & 8;
  flags.extended = control & 16;
  auto compiled = CompileRegExp(pattern, flags).regexp;
  const CompiledRegExp* re = compiled.get();
  RegExpMatch match;
  FindMatch(re, subject, (control >> 5) & 7, match);
  ReplaceMatches(re, subject, flags.global, false, [&](const RegExpMatch& m) {
    return ExpandReplacement(u"$&$1$`$'$12$$", subject, m);
  });
  int32_t last_index = 0;
  MatchAllTexts(re, subject, last_index);
  SplitByRegExp(re, pattern.empty(), subject, control >> 8);
  return 0;
}
