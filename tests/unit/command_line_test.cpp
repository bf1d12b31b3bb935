#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace flashsaver {
namespace {

struct ParseCase {
  const char* label;
  std::string line;
  int32_t mode;
  int32_t window;
  bool save_foreground;
};

class ParseCommandLineTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTable, GivesModeWindowAndForeground) {
  const ParseCase& c = GetParam();
  const CommandLine r = ParseCommandLine(c.line);
  EXPECT_EQ(r.run_mode, c.mode) << c.label;
  EXPECT_EQ(r.param_window, c.window) << c.label;
  EXPECT_EQ(r.save_foreground, c.save_foreground) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ParseCommandLineTable,
    ::testing::Values(
        ParseCase{"empty", "", 1, 0, false}, ParseCase{"program only", "saver.scr", 1, 0, false},
        ParseCase{"quoted program with blanks", "\"C:\\My Savers\\a b.scr\"", 1, 0, false},
        ParseCase{"show", "s.scr /s", 3, 0, true}, ParseCase{"show upper", "s.scr /S", 3, 0, true},
        ParseCase{"show dash", "s.scr -s", 3, 0, true},
        ParseCase{"unknown letter shows", "s.scr /x", 3, 0, true},
        ParseCase{"rest of argument ignored", "s.scr /Screen", 3, 0, true},
        ParseCase{"any switch character", "s.scr #s", 3, 0, true},
        ParseCase{"configure", "s.scr /c", 2, 0, false},
        ParseCase{"configure with handle", "s.scr /C:4711", 2, 0, false},
        ParseCase{"configure ignores second argument", "s.scr /c 4711", 2, 0, false},
        ParseCase{"preview", "s.scr /p 4711", 4, 4711, false},
        ParseCase{"preview lower dollar hex", "s.scr /p $1a", 4, 26, false},
        ParseCase{"preview 0x hex", "s.scr /P 0x1A", 4, 26, false},
        ParseCase{"preview x hex", "s.scr /p x1A", 4, 26, false},
        ParseCase{"preview 0X hex", "s.scr /p 0X1a", 4, 26, false},
        ParseCase{"preview alone configures", "s.scr /p", 1, 0, false},
        ParseCase{"preview not a number", "s.scr /p abc", 4, 0, false},
        ParseCase{"preview negative kept", "s.scr /p -5", 4, -5, false},
        ParseCase{"preview hex top bit", "s.scr /p $FFFFFFFF", 4, -1, false},
        ParseCase{"password", "s.scr /a 4711", 5, 4711, false},
        ParseCase{"password alone configures", "s.scr /a", 1, 0, false},
        ParseCase{"password not a number", "s.scr /a abc", 5, 0, false},
        ParseCase{"third argument ignored", "s.scr /p 12 99", 4, 12, false},
        ParseCase{"tabs and control bytes separate",
                  "s.scr\t/p\x01\x1f"
                  "77",
                  4, 77, false},
        ParseCase{"quoted handle", "s.scr /p \"4711\"", 4, 4711, false},
        ParseCase{"quotes inside a switch", "s.scr \"/p\" 8", 4, 8, false},
        ParseCase{"quoted blanks stay in the argument", "s.scr /p \" 42\"", 4, 42, false},
        ParseCase{"unbalanced quote runs to the end", "s.scr /p \"12 13", 4, 0, false},
        ParseCase{"lone switch character configures", "s.scr /", 1, 0, false},
        ParseCase{"non-ASCII letter shows", "s.scr /\xe9", 3, 0, true},
        ParseCase{"non-ASCII bytes are not blanks",
                  "s.scr /p 1\xa0"
                  "2",
                  4, 0, false}),
    [](const ::testing::TestParamInfo<ParseCase>& info) {
      std::string name;
      for (char c : std::string(info.param.label)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      }
      return name;
    });

struct HandleCase {
  const char* text;
  int32_t value;
};

class ReadWindowHandleTable : public ::testing::TestWithParam<HandleCase> {};

TEST_P(ReadWindowHandleTable, ReadsOrGivesZero) {
  EXPECT_EQ(ReadWindowHandle(GetParam().text), GetParam().value) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ReadWindowHandleTable,
    ::testing::Values(HandleCase{"0", 0}, HandleCase{"4711", 4711}, HandleCase{"+4711", 4711},
                      HandleCase{"-4711", -4711}, HandleCase{"   4711", 4711},
                      HandleCase{"2147483647", 2147483647}, HandleCase{"-2147483648", INT32_MIN},
                      HandleCase{"2147483648", 0}, HandleCase{"-2147483649", 0},
                      HandleCase{"99999999999999999999", 0}, HandleCase{"$0", 0},
                      HandleCase{"$7fffffff", 2147483647}, HandleCase{"$80000000", INT32_MIN},
                      HandleCase{"0xFFFFFFFF", -1}, HandleCase{"0x100000000", 0},
                      HandleCase{"$", 0}, HandleCase{"0x", 0}, HandleCase{"", 0},
                      HandleCase{"   ", 0}, HandleCase{"+", 0}, HandleCase{"-", 0},
                      HandleCase{"12a", 0}, HandleCase{"4711 ", 0}, HandleCase{"\t4711", 0},
                      HandleCase{"-$1A", 0}, HandleCase{"$1G", 0}, HandleCase{"1.5", 0},
                      HandleCase{"0x00000000000001A", 26}),
    [](const ::testing::TestParamInfo<HandleCase>& info) {
      return "case" + std::to_string(info.index);
    });

TEST(SplitArguments, DropsQuotesAndKeepsQuotedBlanks) {
  const auto args = SplitArguments("  a\"b c\"d   \"\" e\x7f ");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0], "ab cd");
  EXPECT_EQ(args[1], "");
  EXPECT_EQ(args[2], "e\x7f");
}

TEST(ParseCommandLineRobustness, VeryLongAndArbitraryLinesFollowTheGrammar) {
  std::string long_switch = "s.scr /p " + std::string(100000, '9');
  EXPECT_EQ(ParseCommandLine(long_switch).run_mode, 4);
  EXPECT_EQ(ParseCommandLine(long_switch).param_window, 0);

  std::string noise = "s.scr /s ";
  for (int i = 0; i < 5000; ++i) noise += static_cast<char>((i * 37) % 256);
  EXPECT_EQ(ParseCommandLine(noise).run_mode, 3);

  std::string all_bytes;
  for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
  // Bytes 0 to 32 are blanks, "!" alone is a lone switch character, the quote at 34 joins all
  // the rest to it: no switch up to "#", then "#" is a letter that shows.
  for (size_t cut = 0; cut <= all_bytes.size(); ++cut) {
    const CommandLine r = ParseCommandLine("s.scr " + all_bytes.substr(0, cut));
    EXPECT_EQ(r.run_mode, cut <= 35 ? kModeConfigure : kModeShow) << cut;
  }
}

}  // namespace
}  // namespace flashsaver
