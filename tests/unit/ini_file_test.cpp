#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_file_system.h"
#include "settings/integer_text.h"

namespace flashsaver {
namespace {

struct Spelling {
  const char* label;
  const char* text;
  int32_t expected = 2;
};

// Files that read FlashSize of the section Set as 2 (7 is the default).
const Spelling kSameFlashSize[] = {
    {"crlf", "[Set]\r\nFlashSize=2\r\n"},
    {"lf", "[Set]\nFlashSize=2\n"},
    {"cr", "[Set]\rFlashSize=2\r"},
    {"mixed endings", "[Set]\rOther=1\nFlashSize=2\r\nMore=3"},
    {"no final line end", "[Set]\r\nFlashSize=2"},
    {"section lower case", "[set]\r\nFlashSize=2\r\n"},
    {"section upper case", "[SET]\r\nflashsize=2\r\n"},
    {"key lower case", "[Set]\r\nflashsize=2\r\n"},
    {"blank after equals", "[Set]\r\nFlashSize= 2\r\n"},
    {"plus sign", "[Set]\r\nFlashSize=+2\r\n"},
    {"dollar hex", "[Set]\r\nFlashSize=$2\r\n"},
    {"x hex", "[Set]\r\nFlashSize=x2\r\n"},
    {"X hex", "[Set]\r\nFlashSize=X02\r\n"},
    {"0x hex", "[Set]\r\nFlashSize=0x2\r\n"},
    {"0X hex", "[Set]\r\nFlashSize=0X0002\r\n"},
    {"leading zeros", "[Set]\r\nFlashSize=0002\r\n"},
    {"first line wins", "[Set]\r\nFlashSize=2\r\nFlashSize=1\r\n"},
    {"first line wins across case", "[Set]\r\nflashSIZE=2\r\nFlashSize=1\r\n"},
    {"first section wins", "[Set]\r\nFlashSize=2\r\n[Other]\r\n[set]\r\nFlashSize=1\r\n"},
    {"first section wins without key", "[Set]\r\nOther=1\r\n[set]\r\nFlashSize=1\r\n", 7},
    {"comment and empty lines", "\r\n;FlashSize=1\r\n[Set]\r\n\r\n;x\r\nFlashSize=2\r\n"},
    {"entry before any section is dropped", "FlashSize=1\r\n[Set]\r\nFlashSize=2\r\n"},
    {"blank before key defines nothing", "[Set]\r\n FlashSize=1\r\nFlashSize=2\r\n"},
    {"blank before equals defines nothing", "[Set]\r\nFlashSize =1\r\nFlashSize=2\r\n"},
    {"second equals belongs to the value", "[Set]\r\nFlashSize==1\r\nFlashSize=2\r\n", 7},
};

TEST(IniFileTest, SpellingsThatReadTheSame) {
  for (const Spelling& s : kSameFlashSize) {
    IniFile ini;
    ini.Parse(s.text);
    EXPECT_EQ(ini.ReadInteger("Set", "FlashSize", 7), s.expected) << s.label;
  }
}

struct IntegerCase {
  const char* text;
  bool ok;
  int32_t value;
};

const IntegerCase kIntegers[] = {
    {"0", true, 0},
    {"10", true, 10},
    {"-10", true, -10},
    {"+10", true, 10},
    {"  10", true, 10},
    {"\t10", true, 10},
    {"$FF", true, 255},
    {"$ff", true, 255},
    {"0xFF", true, 255},
    {"0XfF", true, 255},
    {"xFF", true, 255},
    {"XFF", true, 255},
    {"-$10", true, -16},
    {"+0x10", true, 16},
    {" -x1", true, -1},
    {"2147483647", true, 2147483647},
    {"-2147483648", true, INT32_MIN},
    {"$7FFFFFFF", true, 2147483647},
    {"$FFFFFFFF", true, -1},
    {"$00000000FF", true, 255},
    {"16777215", true, 16777215},
    // Not integers as a whole.
    {"", false, 0},
    {" ", false, 0},
    {"-", false, 0},
    {"+", false, 0},
    {"$", false, 0},
    {"0x", false, 0},
    {"x", false, 0},
    {"2x", false, 0},
    {"10 ", false, 0},
    {"1 0", false, 0},
    {"- 1", false, 0},
    {"+-1", false, 0},
    {"--1", false, 0},
    {"$-1", false, 0},
    {"0x0x1", false, 0},
    {"00x1", false, 0},
    {"1.5", false, 0},
    {"1e3", false, 0},
    {"true", false, 0},
    {"$G", false, 0},
    {"2147483648", false, 0},
    {"-2147483649", false, 0},
    {"99999999999999999999", false, 0},
    {"$100000000", false, 0},
};

TEST(IntegerTextTest, Forms) {
  for (const IntegerCase& c : kIntegers) {
    int32_t value = 12345;
    const bool ok = ParseInt32(c.text, value);
    EXPECT_EQ(ok, c.ok) << "'" << c.text << "'";
    if (ok && c.ok) {
      EXPECT_EQ(value, c.value) << "'" << c.text << "'";
    }
  }
  // An embedded NUL is part of the text, not its end.
  int32_t value = 0;
  EXPECT_FALSE(ParseInt32(std::string_view("10\0", 3), value));
}

TEST(IntegerTextTest, SixtyFourBitOffsets) {
  int64_t value = 0;
  ASSERT_TRUE(ParseInt64("5000000000", value));
  EXPECT_EQ(value, 5000000000LL);
  ASSERT_TRUE(ParseInt64("$FFFFFFFFFFFFFFFF", value));
  EXPECT_EQ(value, -1);
  ASSERT_TRUE(ParseInt64("-9223372036854775808", value));
  EXPECT_EQ(value, INT64_MIN);
  EXPECT_FALSE(ParseInt64("9223372036854775808", value));
  EXPECT_FALSE(ParseInt64("$10000000000000000", value));
  EXPECT_FALSE(ParseInt64("12a", value));
}

TEST(IniFileTest, BooleansAreIntegers) {
  const struct {
    const char* value;
    bool default_value;
    bool expected;
  } cases[] = {
      {"1", false, true}, {"2", false, true},   {"-1", false, true},    {"$10", false, true},
      {"0", true, false}, {"0x0", true, false}, {"true", false, false}, {"false", true, true},
      {"", true, true},   {"", false, false},   {"yes", true, true},    {" 0", true, false},
  };
  for (const auto& c : cases) {
    IniFile ini;
    ini.Parse(std::string("[Set]\r\nMouseMove=") + c.value + "\r\n");
    EXPECT_EQ(ini.ReadBool("Set", "MouseMove", c.default_value), c.expected)
        << "'" << c.value << "' default " << c.default_value;
  }
  IniFile empty;
  EXPECT_TRUE(empty.ReadBool("Set", "MouseMove", true));
  EXPECT_FALSE(empty.ReadBool("Set", "MouseMove", false));
}

TEST(IniFileTest, StringsAreNotTrimmed) {
  IniFile ini;
  ini.Parse("[Set]\r\nScrName= My Saver \r\nEmpty=\r\nUrl=http://a/?b=c\r\nNoValue\r\n");
  EXPECT_EQ(ini.ReadString("Set", "ScrName", "d"), " My Saver ");
  EXPECT_EQ(ini.ReadString("Set", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("Set", "Url", "d"), "http://a/?b=c");
  EXPECT_EQ(ini.ReadString("Set", "NoValue", "d"), "d");
  EXPECT_EQ(ini.ReadString("Set", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Nowhere", "ScrName", "d"), "d");
  EXPECT_TRUE(ini.KeyExists("set", "EMPTY"));
  EXPECT_FALSE(ini.KeyExists("Set", "NoValue"));
}

TEST(IniFileTest, SectionsAndKeysInFileOrder) {
  IniFile ini;
  ini.Parse(
      "[Flash]\r\nb.swf=1\r\na.swf=0\r\n(URL) http://x/?q**1=1\r\nno equals\r\n=1\r\n"
      "b.swf=0\r\n[flash]\r\nc.swf=1\r\n[]\r\nk=v\r\n[Broken\r\n");
  EXPECT_EQ(ini.SectionKeys("FLASH"),
            (std::vector<std::string>{"b.swf", "a.swf", "(URL) http://x/?q**1", "", "b.swf"}));
  EXPECT_TRUE(ini.SectionKeys("Music").empty());
  EXPECT_FALSE(ini.SectionExists("Music"));
  EXPECT_TRUE(ini.SectionExists(""));
  EXPECT_EQ(ini.ReadString("", "k", "d"), "v");
  // "[Broken" is no header: an entry of the section before it.
  EXPECT_EQ(ini.Text(),
            "[Flash]\r\nb.swf=1\r\na.swf=0\r\n(URL) http://x/?q**1=1\r\nno equals\r\n=1\r\n"
            "b.swf=0\r\n\r\n[flash]\r\nc.swf=1\r\n\r\n[]\r\nk=v\r\n[Broken\r\n\r\n");
}

TEST(IniFileTest, WritesReplaceInPlaceAppendToSectionOrFile) {
  IniFile ini;
  ini.Parse("junk=1\r\n[set]\r\n;c\r\nflashsize=1\r\nA=1\r\nFLASHSIZE=5\r\n[Set]\r\nB=2\r\n");
  ini.WriteInteger("Set", "FlashSize", -3);
  ini.WriteBool("SET", "MouseMove", true);
  ini.WriteString("Caption", "FontName", "Arial");
  ini.WriteString("caption", "X", "line\r\nbreak");
  EXPECT_EQ(ini.Text(),
            "[set]\r\nFlashSize=-3\r\nA=1\r\nFLASHSIZE=5\r\nMouseMove=1\r\n\r\n"
            "[Set]\r\nB=2\r\n\r\n"
            "[Caption]\r\nFontName=Arial\r\nX=linebreak\r\n\r\n");
  EXPECT_EQ(ini.ReadInteger("Set", "flashsize", 0), -3);
}

}  // namespace
}  // namespace flashsaver

namespace flashsaver {
namespace {

// Whatever the input, the rewrite reads back as the same file and rewrites to itself.
const char* const kOddFiles[] = {
    "",
    "\r\n\r\n\n\r",
    "no section=1\r\nat all\r\n",
    "[]",
    "[]\r\n=\r\n==\r\n",
    "[",
    "]",
    "[a]b]\r\nk=v]\r\n[[x]]\r\n[ spaced ]\r\n k = v \r\n",
    "[Set]\r\n\t\r\n \r\n;\r\n[set]\r\n",
    "[Set]\r\r\n\n\rFlashSize=1\r",
    "[Set]\r\nk=\x01\x7f\xff\r\n[\xe9t\xe9]\r\ncl\xe9=1\r\n",
};

TEST(IniFileTest, RewriteIsStable) {
  for (const char* raw : kOddFiles) {
    const std::string input(raw);
    IniFile first;
    first.Parse(input);
    const std::string text = first.Text();
    IniFile second;
    second.Parse(text);
    EXPECT_EQ(second.Text(), text) << "'" << input << "'";
    for (const char* section : {"Set", "", "a]b", " spaced ", "[x]"}) {
      EXPECT_EQ(second.SectionKeys(section), first.SectionKeys(section)) << section;
      for (const std::string& key : first.SectionKeys(section)) {
        EXPECT_EQ(second.ReadString(section, key, "-"), first.ReadString(section, key, "-"));
      }
    }
  }
}

TEST(IniFileTest, NulBytesAreText) {
  IniFile ini;
  ini.Parse(std::string_view("[Set]\r\nScrName=a\0b\r\n", 20));
  EXPECT_EQ(ini.ReadString("Set", "ScrName", ""), std::string("a\0b", 3));
}

TEST(IniFileTest, OpenMissingFileIsEmptyAndWritable) {
  MemoryFileSystem fs;
  IniFile ini;
  EXPECT_FALSE(ini.Save()) << "a file never opened has nowhere to go";
  ini.Open(fs, "C:\\s\\Sky.002");
  EXPECT_TRUE(ini.IsOpen());
  EXPECT_FALSE(ini.SectionExists("Set"));
  EXPECT_EQ(ini.ReadInteger("Set", "FlashSize", 7), 7);
  ini.WriteInteger("Set", "FlashSize", 2);
  ASSERT_TRUE(ini.Save());
  ASSERT_NE(fs.Find("C:\\s\\Sky.002"), nullptr);
  EXPECT_EQ(fs.Find("C:\\s\\Sky.002")->data, "[Set]\r\nFlashSize=2\r\n\r\n");
  ini.Close();
  EXPECT_FALSE(ini.IsOpen());
  EXPECT_FALSE(ini.SectionExists("Set"));
}

}  // namespace
}  // namespace flashsaver
