// ActionScript 3 display objects bound to the display list: a movie whose script builds its
// list in code (tests/data/as3-display/Main.hx) keeps Flash's index rules and errors, and what
// it draws and moves in enterFrame reaches the picture.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"

namespace flashsaver {
namespace {

std::vector<uint8_t> Fixture(const std::string& name) {
  std::ifstream in(std::string(FLASHSAVER_SOURCE_DIR) + "/tests/data/as3-display/" + name,
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Avm2Display, ScriptBuiltListKeepsFlashsRules) {
  const std::vector<uint8_t> movie = Fixture("sprites.swf");
  ASSERT_FALSE(movie.empty());
  MoviePlayer player(movie);
  std::vector<std::string> lines;
  player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
  for (int i = 0; i < 5; ++i) player.AdvanceFrame();
  const std::vector<std::string> expected = {
      "c,a,b", "c,b,a", "a,b,c",
      "c,b,a",  // addChildAt, setChildIndex, swapChildren(At)
      "at5 2006", "self 2024", "loop 2150", "notmine 2025",
      "c,a b true true",   // a child moved under a sibling
      "1 true true true",  // a removed tree is off the stage, without a root
      "false false 1",     // ... and back on it when added again
      "20 10",
      "10 40 2 90",  // width and height from the drawing, after scale and rotation
      // A new MovieClip: angles kept within -180..180, alpha in 256ths, positions in whole
      // twips toward zero, no frame to be on.
      "-90 0.296875 1.2 -2.25 0 1", "170 -1 false true 0",
      "frame3 80"};  // enterFrame ran on frames 2 and 3
  EXPECT_EQ(lines, expected);

  // The box drawn by Graphics, rotated upright, moved to x = 90 by the fifth frame.
  Picture picture(120, 80);
  {
    AggCanvas canvas(picture, CanvasOptions{});
    player.Render(canvas, Matrix::Scale(0.05, 0.05));
  }
  EXPECT_EQ(picture.Row(40)[90] & 0xFFFFFF, 0x3366CCu);
  EXPECT_EQ(picture.Row(40)[60] >> 24, 0u) << "the box left its first place";
  EXPECT_EQ(picture.Row(25)[90] & 0xFFFFFF, 0x3366CCu) << "the box stands 40 pixels high";
}

}  // namespace
}  // namespace flashsaver
