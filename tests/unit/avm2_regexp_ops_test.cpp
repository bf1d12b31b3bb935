// String's regexp loops: replacement patterns, empty matches, split limits, Flash's quirks.
#include <gtest/gtest.h>

#include <string>

#include "player/avm2/regexp_ops.h"

namespace flashsaver::avm2 {
namespace {

std::shared_ptr<const CompiledRegExp> Re(std::u16string_view source,
                                         std::u16string_view flags = u"") {
  return CompileRegExp(source, RegExpFlags::Parse(flags)).regexp;
}

std::u16string Replace(std::u16string_view source, std::u16string_view flags,
                       std::u16string_view subject, std::u16string_view replacement) {
  auto re = Re(source, flags);
  return ReplaceMatches(
             re.get(), subject, RegExpFlags::Parse(flags).global, false,
             [&](const RegExpMatch& m) { return ExpandReplacement(replacement, subject, m); })
      .value_or(u"(too long)");
}

// Pieces joined by "|", "~" standing for a group that took no part.
template <typename T>
std::u16string Join(const std::vector<T>& pieces) {
  std::u16string out;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) out += u'|';
    if constexpr (std::is_same_v<T, std::u16string>) {
      out += pieces[i];
    } else {
      out += pieces[i] ? *pieces[i] : u"~";
    }
  }
  return out;
}

struct ReplaceCase {
  const char16_t* source;
  const char16_t* flags;
  const char16_t* subject;
  const char16_t* replacement;
  const char16_t* expected;
};

class RegExpReplaceCases : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(RegExpReplaceCases, Replaces) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(Replace(c.source, c.flags, c.subject, c.replacement), std::u16string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, RegExpReplaceCases,
    ::testing::Values(ReplaceCase{u"b", u"", u"abcb", u"[$&$`$'$$]", u"a[bacb$]cb"},
                      ReplaceCase{u"(a)(b)?", u"g", u"ab a", u"<$2$1>", u"<ba> <a>"},
                      ReplaceCase{u"(a)", u"", u"a", u"$01$0$2$", u"a1$0$2$"},
                      ReplaceCase{u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", u"", u"abcdefghij", u"$10$11",
                                  u"ja1"},
                      ReplaceCase{u"x*", u"g", u"abc", u"-", u"-a-b-c-"},
                      ReplaceCase{u"", u"g", u"\U0001F600", u"-", u"-\U0001F600-"},
                      ReplaceCase{u"(", u"g", u"abc", u"-", u"abc"}));

TEST(RegExpOps, FunctionReplacementSkipsTheEnd) {
  auto re = Re(u"x*", u"g");
  int calls = 0;
  std::u16string out = *ReplaceMatches(re.get(), u"ab", true, true, [&](const RegExpMatch&) {
    ++calls;
    return std::u16string(u"-");
  });
  EXPECT_EQ(out, u"-a-b");
  EXPECT_EQ(calls, 2);
}

TEST(RegExpOps, GlobalMatchStopsAtAnEmptyMatchInPlace) {
  int32_t last_index = 5;
  EXPECT_EQ(Join(MatchAllTexts(Re(u"a+", u"g").get(), u"aa b a", last_index)), u"aa|a");
  EXPECT_EQ(last_index, 0);
  last_index = 0;
  EXPECT_EQ(Join(MatchAllTexts(Re(u"a*", u"g").get(), u"aab", last_index)), u"aa");
  EXPECT_EQ(last_index, 2);
  last_index = 0;
  EXPECT_EQ(Join(MatchAllTexts(Re(u"b", u"g").get(), u"ab", last_index)), u"b");
  EXPECT_EQ(last_index, 1);  // back where it started, so Flash moves it on by one
}

TEST(RegExpOps, Split) {
  const uint32_t all = 0xFFFFFFFF;
  EXPECT_EQ(Join(SplitByRegExp(Re(u"\\s*(,)\\s*|(;)").get(), false, u"a , b;c", all)),
            u"a|,|~|b|~|;|c");
  EXPECT_EQ(Join(SplitByRegExp(Re(u"(,)").get(), false, u"a,b,c", 2)), u"a|,|b");
  EXPECT_EQ(Join(SplitByRegExp(Re(u"").get(), true, u"a\U0001F600", all)), u"a|\U0001F600");
  EXPECT_EQ(Join(SplitByRegExp(Re(u"x*").get(), false, u"abc", all)), u"abc");
  EXPECT_EQ(Join(SplitByRegExp(Re(u",").get(), false, u"", all)), u"");
  EXPECT_EQ(SplitByRegExp(Re(u",").get(), false, u"", 0).size(), 0u);
  EXPECT_EQ(Join(SplitByString(u"a,b,", u",", all)), u"a|b|");
  EXPECT_EQ(Join(SplitByString(u"abc", u"", 2)), u"a|b");
  EXPECT_EQ(SplitByString(u"", u"", all).size(), 1u);
}

TEST(RegExpOps, TrailingFlagsAfterASecondSlash) {
  EXPECT_EQ(TrailingFlags(u"/ab/gi"), u"gi");
  EXPECT_EQ(TrailingFlags(u"a\\/b/g"), std::nullopt);
  EXPECT_EQ(TrailingFlags(u"abc"), std::nullopt);
}

}  // namespace
}  // namespace flashsaver::avm2
