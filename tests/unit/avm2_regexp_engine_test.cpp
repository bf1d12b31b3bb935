// The AS3 regexp engine: ECMAScript syntax on PCRE2, UTF-16 indices, Flash's quirks.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "player/avm2/regexp_engine.h"

namespace flashsaver::avm2 {
namespace {

// "error", "none", "limit", or each range as begin-end ("_" for a group that took no part).
std::string Describe(std::u16string_view pattern, std::u16string_view flags,
                     std::u16string_view subject, size_t start = 0) {
  RegExpCompileResult compiled = CompileRegExp(pattern, RegExpFlags::Parse(flags));
  if (!compiled.regexp) return "error";
  RegExpMatch match;
  RegExpStatus status = compiled.regexp->Exec(subject, start, match);
  if (status == RegExpStatus::kNoMatch) return "none";
  if (status == RegExpStatus::kLimitExceeded) return "limit";
  std::string text;
  for (const RegExpRange& r : match.ranges) {
    if (!text.empty()) text += ' ';
    text += r.matched() ? std::to_string(r.begin) + "-" + std::to_string(r.end) : "_";
  }
  return text;
}

struct Case {
  std::u16string pattern;
  std::u16string flags;
  std::u16string subject;
  size_t start;
  const char* expected;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "/";
  for (char16_t u : c.pattern) *os << (u < 128 ? static_cast<char>(u) : '?');
  *os << "/ from " << c.start;
}

class RegExpEngineCases : public ::testing::TestWithParam<Case> {};

TEST_P(RegExpEngineCases, Matches) {
  const Case& c = GetParam();
  EXPECT_EQ(Describe(c.pattern, c.flags, c.subject, c.start), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, RegExpEngineCases,
    ::testing::Values(
        // Unmatched groups are distinct from empty ones.
        Case{u"(a)|(b)", u"", u"b", 0, "0-1 _ 0-1"}, Case{u"(a)|(b)", u"", u"a", 0, "0-1 0-1 _"},
        Case{u"a(x)?()", u"", u"a", 0, "0-1 _ 1-1"},
        Case{u"(a)?\\1b", u"", u"b", 0, "0-1 _"},  // a reference to an unset group matches empty
        Case{u"\\u0041\\x42", u"", u"AB", 0, "0-2"},
        Case{u"\\u00z", u"", u"u00z", 0, "0-4"},  // \u without four hex digits: the letter
        Case{u"\\x{2}", u"", u"xx", 0, "0-2"},    // \x without two hex digits: the letter
        Case{u"\\uD83D\\uDE00", u"", u"x\U0001F600", 0, "1-3"},
        Case{u"^.$", u"", u"\U0001F600", 0, "0-2"},  // a pair is one character
        Case{u"\\uD800", u"", u"\xD800", 0, "none"}, Case{u"[\\uD800]", u"", u"a", 0, "error"},
        Case{u"b", u"", std::u16string{0xD800, u'b'}, 0, "1-2"}, Case{u"[]", u"", u"a", 0, "none"},
        Case{u"[^]", u"", u"\n", 0, "0-1"}, Case{u"(", u"", u"(", 0, "error"},
        Case{u"a{", u"", u"a{", 0, "0-2"},
        Case{std::u16string(u"a\0b", 3), u"", u"ab", 0, "0-1"},  // the pattern ends at a NUL
        Case{u"(?P<y>\\d+)-(?P<m>\\d+)", u"", u"on 2024-05", 0, "3-10 3-7 8-10"},
        Case{u"(?P<n>a)|(?P<n>b)", u"", u"a", 0, "error"}));

INSTANTIATE_TEST_SUITE_P(
    Flags, RegExpEngineCases,
    ::testing::Values(
        Case{u"abc", u"", u"ABC", 0, "none"}, Case{u"abc", u"i", u"ABC", 0, "0-3"},
        Case{u"\u00e9", u"i", u"\u00c9", 0, "0-1"}, Case{u"^b$", u"", u"a\nb", 0, "none"},
        Case{u"^b$", u"m", u"a\nb\n", 0, "2-3"}, Case{u"^b", u"m", u"a\rb", 0, "none"},
        Case{u"a.b", u"", u"a\rb", 0, "0-3"}, Case{u"a$", u"", u"a\n", 0, "0-1"},
        Case{u"a.b", u"", u"a\nb", 0, "none"}, Case{u"a.b", u"s", u"a\nb", 0, "0-3"},
        Case{u"a b # note", u"x", u"ab", 0, "0-2"}, Case{u"a b", u"gz", u"a b", 0, "0-3"}));

INSTANTIATE_TEST_SUITE_P(
    Starts, RegExpEngineCases,
    ::testing::Values(Case{u"a", u"", u"aba", 1, "2-3"}, Case{u"$", u"", u"abc", 3, "3-3"},
                      Case{u"a", u"", u"abc", 4, "none"},
                      Case{u"(?<=a)b", u"", u"ab", 1, "1-2"},  // look-behind sees before start
                      Case{u".", u"", u"\U0001F600x", 1, "2-3"}));

TEST(RegExpEngine, FlagsParseAndPrint) {
  RegExpFlags flags = RegExpFlags::Parse(u"xsmig?");
  EXPECT_TRUE(flags.global && flags.ignore_case && flags.multiline && flags.dotall &&
              flags.extended);
  EXPECT_EQ(flags.ToString(), u"gimsx");
  EXPECT_EQ(RegExpFlags::Parse(u"q").ToString(), u"");
}

TEST(RegExpEngine, GroupNamesInNumberOrder) {
  auto compiled = CompileRegExp(u"(?P<z>a)(b)(?P<a>c)", {});
  ASSERT_TRUE(compiled.regexp);
  EXPECT_EQ(compiled.regexp->group_count(), 3);
  const auto& names = compiled.regexp->group_names();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0].name, u"z");
  EXPECT_EQ(names[0].number, 1);
  EXPECT_EQ(names[1].name, u"a");
  EXPECT_EQ(names[1].number, 3);
  EXPECT_FALSE(CompileRegExp(u"a)", {}).error.empty());
}

TEST(RegExpEngine, DeepNestingCompilesWithinBounds) {
  auto nested = [](int depth, const char16_t* open) {
    std::u16string p;
    for (int i = 0; i < depth; ++i) p += open;
    p += u"a|b";
    return p + std::u16string(static_cast<size_t>(depth), u')');
  };
  EXPECT_EQ(Describe(nested(500, u"(?:"), u"", u"a"), "0-1");
  RegExpCompileResult deep = CompileRegExp(nested(500, u"("), {});
  ASSERT_TRUE(deep.regexp);
  RegExpMatch match;
  EXPECT_EQ(deep.regexp->Exec(u"a", 0, match), RegExpStatus::kMatched);
  EXPECT_EQ(match.ranges.size(), 501u);
  EXPECT_EQ(Describe(nested(5000, u"("), u"", u"a"), "error");
}

TEST(RegExpEngine, CatastrophicBacktrackingStopsQuickly) {
  std::u16string subject = std::u16string(40, u'a') + u"!";
  auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(Describe(u"^(a+)+$", u"", subject), "limit");
  EXPECT_EQ(Describe(u"^(a|aa)*$", u"", subject), "limit");
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  // Deep but simple work stays within the limits.
  std::u16string long_subject(20000, u'a');
  EXPECT_EQ(Describe(u"(a|b)*$", u"", long_subject), "0-20000 19999-20000");
}

}  // namespace
}  // namespace flashsaver::avm2
