#include "player/avm2/regexp_engine.h"

#include <algorithm>
#include <pcre2.h>

namespace flashsaver::avm2 {
namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The value of \uHHHH at source[i] (i at the backslash), or -1 when no four hex digits follow.
int32_t UnicodeEscapeAt(std::u16string_view source, size_t i) {
  if (i + 6 > source.size() || source[i] != u'\\' || source[i + 1] != u'u') return -1;
  int32_t value = 0;
  for (size_t k = i + 2; k < i + 6; ++k) {
    int digit = HexValue(source[k]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// Rewrites the parts of an ECMAScript pattern that PCRE2 refuses in UTF mode: a surrogate pair
// written as two \uHHHH escapes (one character here), and lone surrogates, escaped or not,
// which no UTF-16 subject character can equal. origin maps each output unit back to its source
// index for error offsets.
class PatternTranslator {
 public:
  explicit PatternTranslator(std::u16string_view source) : source_(source) {}

  bool Run() {
    size_t i = 0;
    while (i < source_.size()) {
      char16_t c = source_[i];
      if (c == u'\\' && i + 1 < source_.size()) {
        if (source_[i + 1] == u'u') {
          if (!Unicode(i)) return false;
          continue;
        }
        Emit(i, source_.substr(i, 2));
        i += 2;
        continue;
      }
      if (IsSurrogate(c)) {
        if (IsHigh(c) && i + 1 < source_.size() && IsLow(source_[i + 1])) {
          Emit(i, source_.substr(i, 2));
          i += 2;
          continue;
        }
        if (!LoneSurrogate(i)) return false;
        ++i;
        continue;
      }
      if (!in_class_ && c == u'[') {
        in_class_ = true;
      } else if (in_class_ && c == u']') {
        // Even right after "[" or "[^": "[]" and "[^]" are the empty and the any-character
        // class, as in ECMAScript.
        in_class_ = false;
      }
      Emit(i, source_.substr(i, 1));
      ++i;
    }
    return true;
  }

  const std::u16string& output() const { return out_; }
  size_t SourceOffset(size_t out_offset) const {
    if (out_offset < origin_.size()) return origin_[out_offset];
    return source_.size();
  }
  size_t error_offset() const { return error_offset_; }

 private:
  void Emit(size_t from, std::u16string_view text) {
    out_ += text;
    origin_.insert(origin_.end(), text.size(), static_cast<uint32_t>(from));
  }

  bool Unicode(size_t& i) {
    int32_t value = UnicodeEscapeAt(source_, i);
    if (value < 0) {
      Emit(i, source_.substr(i, 2));  // PCRE2 reads it as the letter u
      i += 2;
      return true;
    }
    if (IsHigh(static_cast<char16_t>(value))) {
      int32_t next = UnicodeEscapeAt(source_, i + 6);
      if (next >= 0 && IsLow(static_cast<char16_t>(next))) {
        const char16_t pair[2] = {static_cast<char16_t>(value), static_cast<char16_t>(next)};
        Emit(i, std::u16string_view(pair, 2));
        i += 12;
        return true;
      }
    }
    if (IsSurrogate(static_cast<char16_t>(value))) {
      if (!LoneSurrogate(i)) return false;
      i += 6;
      return true;
    }
    // Any other \uHHHH is PCRE2's own (its ECMAScript escapes are on).
    Emit(i, source_.substr(i, 6));
    i += 6;
    return true;
  }

  // Outside a class a lone surrogate becomes a group that never matches; inside one it has
  // no UTF-16 equivalent, and the pattern is refused.
  bool LoneSurrogate(size_t i) {
    if (in_class_) {
      error_offset_ = i;
      return false;
    }
    Emit(i, u"(?:(?!))");
    return true;
  }

  std::u16string_view source_;
  std::u16string out_;
  std::vector<uint32_t> origin_;
  bool in_class_ = false;
  size_t error_offset_ = 0;
};

// Compiling recurses once per nesting level: the guard stops a pattern whose nesting would use
// more than this much stack (the host may run scripts on a thread with a small stack).
constexpr ptrdiff_t kCompileStackBytes = 512 * 1024;

int CompileStackGuard(uint32_t, void* data) {
  char here = 0;
  const char* start = static_cast<const char*>(data);
  ptrdiff_t used = start - &here;
  return (used < 0 ? -used : used) > kCompileStackBytes ? 1 : 0;
}

std::string ErrorText(int code) {
  PCRE2_UCHAR16 buffer[256];
  int n = pcre2_get_error_message(code, buffer, 256);
  std::string text;
  for (int k = 0; k < n; ++k) text += static_cast<char>(buffer[k] < 128 ? buffer[k] : '?');
  return text;
}

}  // namespace

RegExpFlags RegExpFlags::Parse(std::u16string_view text) {
  RegExpFlags flags;
  for (char16_t c : text) {
    switch (c) {
      case u'g':
        flags.global = true;
        break;
      case u'i':
        flags.ignore_case = true;
        break;
      case u'm':
        flags.multiline = true;
        break;
      case u's':
        flags.dotall = true;
        break;
      case u'x':
        flags.extended = true;
        break;
      default:
        break;
    }
  }
  return flags;
}

std::u16string RegExpFlags::ToString() const {
  std::u16string text;
  if (global) text += u'g';
  if (ignore_case) text += u'i';
  if (multiline) text += u'm';
  if (dotall) text += u's';
  if (extended) text += u'x';
  return text;
}

struct RegExpCompiler {
  static RegExpCompileResult Compile(std::u16string_view source, const RegExpFlags& flags) {
    RegExpCompileResult result;
    // Flash hands the pattern to its matcher as a C string: it ends at the first NUL.
    source = source.substr(0, std::min(source.find(u'\0'), source.size()));
    PatternTranslator translator(source);
    if (!translator.Run()) {
      result.error = "a lone surrogate in a character class";
      result.error_offset = translator.error_offset();
      return result;
    }
    // ALT_BSUX, as Flash sets it: \uHHHH and \xHH as ECMAScript has them, and \u or \x
    // without their digits are the letters.
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALLOW_EMPTY_CLASS |
                       PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALT_BSUX;
    if (flags.ignore_case) options |= PCRE2_CASELESS;
    if (flags.multiline) options |= PCRE2_MULTILINE;
    if (flags.dotall) options |= PCRE2_DOTALL;
    if (flags.extended) options |= PCRE2_EXTENDED;

    pcre2_compile_context_16* context = pcre2_compile_context_create_16(nullptr);
    if (context == nullptr) {
      result.error = "out of memory";
      return result;
    }
    // Lines end at CR, LF or CR LF: the ends ECMAScript knows, and the CR of Flash's text.
    // Flash's lines end at LF alone: "." matches CR, and ^ and $ see no line break there.
    pcre2_set_newline_16(context, PCRE2_NEWLINE_LF);
    // Flash compiles patterns nested far deeper than PCRE2's default of 250 groups.
    pcre2_set_parens_nest_limit_16(context, RegExpLimits::kNesting);
    char stack_start = 0;
    pcre2_set_compile_recursion_guard_16(context, CompileStackGuard, &stack_start);
    const std::u16string& pattern = translator.output();
    int code = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code_16* compiled = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(pattern.data()),
                                               pattern.size(), options, &code, &offset, context);
    pcre2_compile_context_free_16(context);
    if (compiled == nullptr) {
      result.error = ErrorText(code);
      result.error_offset = translator.SourceOffset(offset);
      return result;
    }

    std::shared_ptr<CompiledRegExp> regexp(new CompiledRegExp());
    regexp->code_ = compiled;
    pcre2_match_context_16* match_context = pcre2_match_context_create_16(nullptr);
    if (match_context == nullptr) {
      result.error = "out of memory";
      return result;
    }
    pcre2_set_match_limit_16(match_context, RegExpLimits::kMatchSteps);
    pcre2_set_depth_limit_16(match_context, RegExpLimits::kDepth);
    pcre2_set_heap_limit_16(match_context, RegExpLimits::kHeapKiB);
    regexp->match_context_ = match_context;

    uint32_t captures = 0;
    pcre2_pattern_info_16(compiled, PCRE2_INFO_CAPTURECOUNT, &captures);
    regexp->group_count_ = static_cast<int>(captures);
    uint32_t name_count = 0;
    uint32_t entry_size = 0;
    PCRE2_SPTR16 table = nullptr;
    pcre2_pattern_info_16(compiled, PCRE2_INFO_NAMECOUNT, &name_count);
    pcre2_pattern_info_16(compiled, PCRE2_INFO_NAMEENTRYSIZE, &entry_size);
    pcre2_pattern_info_16(compiled, PCRE2_INFO_NAMETABLE, &table);
    for (uint32_t k = 0; k < name_count && table != nullptr; ++k) {
      PCRE2_SPTR16 entry = table + static_cast<size_t>(k) * entry_size;
      RegExpGroupName name;
      name.number = entry[0];
      for (PCRE2_SPTR16 p = entry + 1; *p != 0; ++p) name.name += static_cast<char16_t>(*p);
      regexp->names_.push_back(std::move(name));
    }
    std::sort(
        regexp->names_.begin(), regexp->names_.end(),
        [](const RegExpGroupName& a, const RegExpGroupName& b) { return a.number < b.number; });
    result.regexp = std::move(regexp);
    return result;
  }
};

RegExpCompileResult CompileRegExp(std::u16string_view source, const RegExpFlags& flags) {
  return RegExpCompiler::Compile(source, flags);
}

CompiledRegExp::~CompiledRegExp() {
  pcre2_match_context_free_16(static_cast<pcre2_match_context_16*>(match_context_));
  pcre2_code_free_16(static_cast<pcre2_code_16*>(code_));
}

RegExpStatus CompiledRegExp::Exec(std::u16string_view subject, size_t start,
                                  RegExpMatch& match) const {
  match.ranges.clear();
  if (start > subject.size()) return RegExpStatus::kNoMatch;
  // Flash counts a surrogate pair as one character: a start between its halves moves on.
  if (start > 0 && start < subject.size() && IsLow(subject[start]) && IsHigh(subject[start - 1])) {
    ++start;
  }
  auto* code = static_cast<const pcre2_code_16*>(code_);
  pcre2_match_data_16* data = pcre2_match_data_create_from_pattern_16(code, nullptr);
  if (data == nullptr) return RegExpStatus::kLimitExceeded;
  int rc = pcre2_match_16(code, reinterpret_cast<PCRE2_SPTR16>(subject.data()), subject.size(),
                          start, 0, data, static_cast<pcre2_match_context_16*>(match_context_));
  RegExpStatus status = RegExpStatus::kMatched;
  if (rc > 0) {
    // Every group of the pattern, matched or not.
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(data);
    const uint32_t count = pcre2_get_ovector_count_16(data);
    match.ranges.resize(count);
    for (uint32_t k = 0; k < count && k < static_cast<uint32_t>(rc); ++k) {
      if (ovector[2 * k] == PCRE2_UNSET) continue;
      match.ranges[k].begin = static_cast<int32_t>(ovector[2 * k]);
      match.ranges[k].end = static_cast<int32_t>(ovector[2 * k + 1]);
    }
  } else if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
             rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_NOMEMORY) {
    status = RegExpStatus::kLimitExceeded;
  } else {
    status = RegExpStatus::kNoMatch;
  }
  pcre2_match_data_free_16(data);
  return status;
}

}  // namespace flashsaver::avm2
