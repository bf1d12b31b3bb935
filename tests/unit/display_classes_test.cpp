// The classes that reach the display list from script: Color tints a clip, Transform reads and
// writes its matrix, and text fields made by createTextField answer their properties.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

#include "player/display/movie_player.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

// A small assembler: push of strings and integers, and single-byte actions.
struct Code {
  Bytes bytes;
  Code& Push(std::initializer_list<std::variant<std::string, int>> items) {
    Bytes body;
    for (const auto& item : items) {
      if (const auto* s = std::get_if<std::string>(&item)) {
        body.push_back(0);
        body.insert(body.end(), s->begin(), s->end());
        body.push_back(0);
      } else {
        const auto v = static_cast<uint32_t>(std::get<int>(item));
        body.push_back(7);
        Put16(body, v & 0xFFFF);
        Put16(body, v >> 16);
      }
    }
    bytes.push_back(0x96);
    Put16(bytes, static_cast<uint32_t>(body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return *this;
  }
  Code& Op(uint8_t op) {
    bytes.push_back(op);
    return *this;
  }
  // obj.name on the stack, from the variable `var`.
  Code& Member(const std::string& var, const std::string& name) {
    return Push({var}).Op(0x1C).Push({name}).Op(0x4E);
  }
};
constexpr uint8_t kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kTrace = 0x26,
                  kPop = 0x17, kNewObject = 0x40, kGetVariable = 0x1C, kSetVariable = 0x1D;

std::vector<std::string> RunMovie(const Code& code) {
  Bytes actions = code.bytes;
  actions.push_back(0);
  Bytes body{0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};
  Put16(body, 12 << 8);
  Put16(body, 1);
  auto tag = [&](uint16_t id, const Bytes& b) {
    Put16(body, static_cast<uint32_t>(id << 6) | 0x3F);
    Put16(body, static_cast<uint32_t>(b.size()) & 0xFFFF);
    Put16(body, static_cast<uint32_t>(b.size()) >> 16);
    body.insert(body.end(), b.begin(), b.end());
  };
  tag(swf_tag::kDoAction, actions);
  tag(swf_tag::kShowFrame, {});
  tag(swf_tag::kEnd, {});
  Bytes file{'F', 'W', 'S', 8};
  Put16(file, static_cast<uint32_t>(body.size() + 8) & 0xFFFF);
  Put16(file, static_cast<uint32_t>(body.size() + 8) >> 16);
  file.insert(file.end(), body.begin(), body.end());
  MoviePlayer player(file);
  std::vector<std::string> lines;
  player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
  player.AdvanceFrame();
  return lines;
}

TEST(DisplayClasses, ColorTransformAndFieldsReachTheDisplayList) {
  Code c;
  // _root.createEmptyMovieClip("a", 1); _root.createTextField("t", 2, 0, 0, 100, 20)
  c.Push({1, "a", 2, "_root"}).Op(kGetVariable).Push({"createEmptyMovieClip"}).Op(kCallMethod);
  c.Op(kPop);
  c.Push({20, 100, 0, 0, 2, "t", 6, "_root"}).Op(kGetVariable).Push({"createTextField"});
  c.Op(kCallMethod).Op(kPop);
  // col = new Color(_root.a); col.setRGB(0x336699); trace(col.getRGB())
  c.Push({"col"}).Push({"_root"}).Op(kGetVariable).Push({"a"}).Op(kGetMember);
  c.Push({1, "Color"}).Op(kNewObject).Op(kSetVariable);
  c.Push({0x336699, 1, "col"}).Op(kGetVariable).Push({"setRGB"}).Op(kCallMethod).Op(kPop);
  c.Push({0, "col"}).Op(kGetVariable).Push({"getRGB"}).Op(kCallMethod).Op(kTrace);
  // _root.a._x = 10; trace(_root.a.transform.matrix)
  c.Push({"_root"}).Op(kGetVariable).Push({"a"}).Op(kGetMember).Push({"_x", 10}).Op(kSetMember);
  c.Push({"_root"}).Op(kGetVariable).Push({"a"}).Op(kGetMember).Push({"transform"});
  c.Op(kGetMember).Push({"matrix"}).Op(kGetMember).Op(kTrace);
  // _root.t.text = "a\nb"; trace(_root.t.text.length); trace(_root.t); trace(_root.t.htmlText)
  c.Push({"_root"}).Op(kGetVariable).Push({"t"}).Op(kGetMember).Push({"text", "a\nb"});
  c.Op(kSetMember);
  c.Push({"_root"}).Op(kGetVariable).Push({"t"}).Op(kGetMember).Push({"length"}).Op(kGetMember);
  c.Op(kTrace);
  c.Member("_root", "t").Op(kTrace);
  c.Push({"_root"}).Op(kGetVariable).Push({"t"}).Op(kGetMember).Push({"html", 1}).Op(kSetMember);
  c.Push({"_root"}).Op(kGetVariable).Push({"t"}).Op(kGetMember).Push({"htmlText"});
  c.Op(kGetMember).Op(kTrace);
  const std::vector<std::string> expected = {
      std::to_string(0x336699),
      "(a=1, b=0, c=0, d=1, tx=10, ty=0)",
      "3",
      "_level0.t",
      "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
      "LETTERSPACING=\"0\" KERNING=\"0\">a</FONT></P><P ALIGN=\"LEFT\"><FONT FACE=\"Times New "
      "Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">b</FONT></P>",
  };
  EXPECT_EQ(RunMovie(c), expected);
}

}  // namespace
}  // namespace flashsaver
