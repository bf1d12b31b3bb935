// The loops of String's regexp methods (match, replace, search, split) over the engine, with
// Flash's rules for empty matches, limits and replacement patterns. No script values here: the
// bindings in builtins/ turn these results into Arrays and call replacement functions.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "player/avm2/regexp_engine.h"

namespace flashsaver::avm2 {

// Units from i to the next character boundary: 2 across a surrogate pair, else 1.
size_t CharUnitsAt(std::u16string_view s, size_t i);

// The source and flags `new RegExp(pattern)` takes from a pattern string given without flags:
// Flash reads the letters after a second unescaped "/" as flags (and keeps the whole string,
// slashes included, as the source). Empty flags when there is no second slash.
std::optional<std::u16string> TrailingFlags(std::u16string_view pattern);

// A replacement string with $$, $&, $`, $', $n and $nn expanded for one match. Flash reads two
// digits when they name a group, else one; a $n naming no group stays as written.
std::u16string ExpandReplacement(std::u16string_view replacement, std::u16string_view subject,
                                 const RegExpMatch& match);

// The text of group k of a match: nullopt when it took no part (or lies past the list).
std::optional<std::u16string> GroupText(std::u16string_view subject, const RegExpMatch& match,
                                        size_t k);

// String.replace with a RegExp: each match's replacement comes from replacer. A function
// replacement (function_form) is never tried at the very end of the subject, as in Flash.
// Nothing when the result would pass max_size units.
std::optional<std::u16string> ReplaceMatches(
    const CompiledRegExp* regexp, std::u16string_view subject, bool global, bool function_form,
    const std::function<std::u16string(const RegExpMatch&)>& replacer, size_t max_size = SIZE_MAX);

// String.match with a global RegExp: every match's text. Stops at an empty match that does
// not move on (Flash's rule). last_index is the RegExp's lastIndex, updated as Flash does.
std::vector<std::u16string> MatchAllTexts(const CompiledRegExp* regexp, std::u16string_view subject,
                                          int32_t& last_index);

// String.split by a RegExp: pieces and groups, nullopt for a group that took no part.
// empty_source: the RegExp's source is "", which splits into characters.
std::vector<std::optional<std::u16string>> SplitByRegExp(const CompiledRegExp* regexp,
                                                         bool empty_source,
                                                         std::u16string_view subject,
                                                         uint32_t limit);

// String.split by a string (no RegExp), with Flash's answers for "" on either side.
std::vector<std::u16string> SplitByString(std::u16string_view subject, std::u16string_view delim,
                                          uint32_t limit);

// One search: the match from start, or false (no match, or the match ran past its limits).
bool FindMatch(const CompiledRegExp* regexp, std::u16string_view subject, size_t start,
               RegExpMatch& match);

}  // namespace flashsaver::avm2
