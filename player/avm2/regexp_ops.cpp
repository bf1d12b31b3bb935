#include "player/avm2/regexp_ops.h"

namespace flashsaver::avm2 {

size_t CharUnitsAt(std::u16string_view s, size_t i) {
  if (i + 1 < s.size() && s[i] >= 0xD800 && s[i] <= 0xDBFF && s[i + 1] >= 0xDC00 &&
      s[i + 1] <= 0xDFFF) {
    return 2;
  }
  return 1;
}

std::optional<std::u16string> TrailingFlags(std::u16string_view pattern) {
  int slashes = 0;
  for (size_t pos = 0; pos < pattern.size() && pattern[pos] != 0; ++pos) {
    if (pattern[pos] == u'/' && (pos == 0 || pattern[pos - 1] != u'\\') && slashes++ > 0) {
      return std::u16string(pattern.substr(pos + 1));
    }
  }
  return std::nullopt;
}

std::optional<std::u16string> GroupText(std::u16string_view subject, const RegExpMatch& match,
                                        size_t k) {
  if (k >= match.ranges.size() || !match.ranges[k].matched()) return std::nullopt;
  const RegExpRange& r = match.ranges[k];
  return std::u16string(
      subject.substr(static_cast<size_t>(r.begin), static_cast<size_t>(r.length())));
}

std::u16string ExpandReplacement(std::u16string_view replacement, std::u16string_view subject,
                                 const RegExpMatch& match) {
  // Flash reads the replacement as a C string: it ends at a NUL.
  replacement = replacement.substr(0, std::min(replacement.find(u'\0'), replacement.size()));
  const RegExpRange& whole = match.whole();
  const size_t captures = match.ranges.size() - 1;
  auto digit = [&](size_t i) {
    return i < replacement.size() && replacement[i] >= u'0' && replacement[i] <= u'9';
  };
  std::u16string out;
  size_t p = 0;
  while (p < replacement.size()) {
    char16_t c = replacement[p];
    char16_t next = p + 1 < replacement.size() ? replacement[p + 1] : u'\0';
    if (c != u'$') {
      out += c;
      ++p;
    } else if (next == u'$') {
      out += u'$';
      p += 2;
    } else if (next == u'&') {
      out += subject.substr(static_cast<size_t>(whole.begin), static_cast<size_t>(whole.length()));
      p += 2;
    } else if (next == u'`') {
      out += subject.substr(0, static_cast<size_t>(whole.begin));
      p += 2;
    } else if (next == u'\'') {
      out += subject.substr(static_cast<size_t>(whole.end));
      p += 2;
    } else if (digit(p + 1)) {
      size_t i = static_cast<size_t>(next - u'0');
      if (digit(p + 2)) {
        size_t two = i * 10 + static_cast<size_t>(replacement[p + 2] - u'0');
        if (two <= captures) i = two;
      }
      if (i >= 1 && i <= captures) {
        out += GroupText(subject, match, i).value_or(std::u16string());
        // Flash steps over the digits of the group's number, not the digits it read: "$01"
        // names group 1 and leaves the "1".
        p += i >= 10 ? 3 : 2;
      } else {
        out += u'$';
        ++p;
      }
    } else {
      out += u'$';
      ++p;
    }
  }
  return out;
}

bool FindMatch(const CompiledRegExp* regexp, std::u16string_view subject, size_t start,
               RegExpMatch& match) {
  return regexp != nullptr && regexp->Exec(subject, start, match) == RegExpStatus::kMatched;
}

std::optional<std::u16string> ReplaceMatches(
    const CompiledRegExp* regexp, std::u16string_view subject, bool global, bool function_form,
    const std::function<std::u16string(const RegExpMatch&)>& replacer, size_t max_size) {
  std::u16string out;
  size_t last = 0;
  RegExpMatch match;
  while ((function_form ? last < subject.size() : last <= subject.size()) &&
         FindMatch(regexp, subject, last, match)) {
    const RegExpRange whole = match.whole();
    const size_t begin = static_cast<size_t>(whole.begin);
    out += subject.substr(last, begin - last);
    out += replacer(match);
    size_t next = static_cast<size_t>(whole.end);
    // An empty global match copies the next character and moves past it.
    if (whole.length() == 0 && global) {
      if (next < subject.size()) {
        size_t n = CharUnitsAt(subject, next);
        out += subject.substr(next, n);
        next += n;
      } else {
        ++next;
      }
    }
    last = next;
    if (out.size() > max_size) return std::nullopt;
    if (!global) break;
  }
  if (last < subject.size()) out += subject.substr(last);
  if (out.size() > max_size) return std::nullopt;
  return out;
}

std::vector<std::u16string> MatchAllTexts(const CompiledRegExp* regexp, std::u16string_view subject,
                                          int32_t& last_index) {
  std::vector<std::u16string> texts;
  const int32_t old_last_index = last_index;
  last_index = 0;
  RegExpMatch match;
  while (true) {
    const int32_t last = last_index;
    bool found = last >= 0 && FindMatch(regexp, subject, static_cast<size_t>(last), match);
    last_index = found ? match.whole().end : 0;
    if (!found || last == last_index) break;
    texts.push_back(GroupText(subject, match, 0).value_or(std::u16string()));
  }
  if (last_index == old_last_index) ++last_index;
  return texts;
}

std::vector<std::optional<std::u16string>> SplitByRegExp(const CompiledRegExp* regexp,
                                                         bool empty_source,
                                                         std::u16string_view subject,
                                                         uint32_t limit) {
  std::vector<std::optional<std::u16string>> out;
  if (limit == 0) return out;
  if (subject.empty()) return {std::u16string()};
  size_t start = 0;
  RegExpMatch match;
  while (FindMatch(regexp, subject, start, match)) {
    size_t begin = static_cast<size_t>(match.whole().begin);
    size_t length = static_cast<size_t>(match.whole().length());
    if (length == 0) {
      // An empty match ends the split, except for the empty pattern, which takes one
      // character at a time.
      begin = start + (start < subject.size() ? CharUnitsAt(subject, start) : 1);
      if (!empty_source) break;
    }
    if (begin + length > subject.size()) {
      start = begin + length;
      break;
    }
    out.emplace_back(std::u16string(subject.substr(start, begin - start)));
    if (out.size() >= limit) break;
    for (size_t k = 1; k < match.ranges.size(); ++k) {
      out.push_back(GroupText(subject, match, k));
      // Flash leaves only this loop at the limit: the next piece may still come.
      if (out.size() >= limit) break;
    }
    start = begin + length;
  }
  if (out.size() < limit && start <= subject.size()) {
    out.emplace_back(std::u16string(subject.substr(start)));
  }
  return out;
}

std::vector<std::u16string> SplitByString(std::u16string_view subject, std::u16string_view delim,
                                          uint32_t limit) {
  std::vector<std::u16string> out;
  if (limit == 0) return out;
  if (subject.empty()) return {std::u16string()};
  if (delim.empty()) {
    for (size_t i = 0; i < subject.size() && out.size() < limit; ++i) {
      out.emplace_back(subject.substr(i, 1));
    }
    return out;
  }
  size_t start = 0;
  while (out.size() < limit) {
    size_t found = subject.find(delim, start);
    if (found == std::u16string_view::npos) {
      out.emplace_back(subject.substr(start));
      break;
    }
    out.emplace_back(subject.substr(start, found - start));
    start = found + delim.size();
  }
  return out;
}

}  // namespace flashsaver::avm2
