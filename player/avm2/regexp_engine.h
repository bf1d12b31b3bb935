// The matcher behind AS3's RegExp: ECMAScript 3 syntax with PCRE's extensions (named groups
// (?P<name>...), flags s and x), on UTF-16 text, built on PCRE2's 16-bit library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace flashsaver::avm2 {

struct RegExpFlags {
  bool global = false;
  bool ignore_case = false;
  bool multiline = false;
  bool dotall = false;
  bool extended = false;

  // Letters g, i, m, s, x in any order; Flash ignores every other character.
  static RegExpFlags Parse(std::u16string_view text);
  // The flags as toString writes them after the closing slash ("gimsx" order).
  std::u16string ToString() const;
};

// One group's range in the subject, in UTF-16 units; begin < 0 when the group took no part.
struct RegExpRange {
  int32_t begin = -1;
  int32_t end = -1;
  bool matched() const { return begin >= 0; }
  int32_t length() const { return matched() ? end - begin : 0; }
};

enum class RegExpStatus {
  kMatched,
  kNoMatch,
  // The match ran past its step, depth or memory limit: Flash reports no match.
  kLimitExceeded,
};

struct RegExpMatch {
  // ranges[0] is the whole match, then every group of the pattern, matched or not.
  std::vector<RegExpRange> ranges;

  const RegExpRange& whole() const { return ranges.front(); }
};

struct RegExpGroupName {
  std::u16string name;
  int number = 0;
};

class CompiledRegExp {
 public:
  ~CompiledRegExp();
  CompiledRegExp(const CompiledRegExp&) = delete;
  CompiledRegExp& operator=(const CompiledRegExp&) = delete;

  // Searches subject from start (a UTF-16 index; one inside a surrogate pair moves on to the
  // next character). A start past the end finds nothing. Safe to call from several threads.
  RegExpStatus Exec(std::u16string_view subject, size_t start, RegExpMatch& match) const;

  int group_count() const { return group_count_; }
  // Named groups in the order of their numbers.
  const std::vector<RegExpGroupName>& group_names() const { return names_; }

 private:
  friend struct RegExpCompiler;
  CompiledRegExp() = default;

  void* code_ = nullptr;           // pcre2_code_16
  void* match_context_ = nullptr;  // pcre2_match_context_16, read-only after compiling
  int group_count_ = 0;
  std::vector<RegExpGroupName> names_;
};

struct RegExpCompileResult {
  std::shared_ptr<const CompiledRegExp> regexp;  // null when the source does not compile
  std::string error;                             // why, in English
  size_t error_offset = 0;                       // in the source, UTF-16 units
};

// Flash never throws for a bad pattern: such a RegExp simply never matches. The error is kept
// for diagnostics and tests. The global flag does not change the compiled pattern.
RegExpCompileResult CompileRegExp(std::u16string_view source, const RegExpFlags& flags);

// The limits that stop a runaway (catastrophically backtracking) match.
struct RegExpLimits {
  static constexpr uint32_t kMatchSteps = 5'000'000;
  static constexpr uint32_t kDepth = 1'000'000;
  static constexpr uint32_t kHeapKiB = 16 * 1024;
  static constexpr uint32_t kNesting = 1000;
};

}  // namespace flashsaver::avm2
