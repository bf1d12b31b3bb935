// The drawing API's shapes: a fill is filled whichever way round its outline runs, an open fill
// draws as if closed, and clear() removes everything.
#include <gtest/gtest.h>

#include <functional>

#include "player/display/clip_drawing.h"
#include "player/render/agg_canvas.h"
#include "player/render/picture.h"

namespace flashsaver {
namespace {

class NoBitmaps final : public BitmapSource {
 public:
  const Picture* FindBitmap(uint16_t) const override { return nullptr; }
};

Picture Draw(const ClipDrawing& drawing) {
  Picture picture(40, 40, 0xFFFFFFFF);
  AggCanvas canvas(picture, CanvasOptions{});
  canvas.DrawShape(drawing.Drawing(), RenderState{Matrix::Scale(1 / 20.0, 1 / 20.0), {}},
                   NoBitmaps());
  return picture;
}

TEST(ClipDrawingTest, FillsOutlinesEitherWayRound) {
  FillStyle red;
  red.color = Rgba{255, 0, 0, 255};
  const std::pair<const char*, std::function<void(ClipDrawing&)>> cases[] = {
      {"clockwise",
       [](ClipDrawing& d) { d.LineTo(600, 100), d.LineTo(600, 600), d.LineTo(100, 600); }},
      {"counter-clockwise",
       [](ClipDrawing& d) { d.LineTo(100, 600), d.LineTo(600, 600), d.LineTo(600, 100); }},
      {"curved", [](ClipDrawing& d) { d.CurveTo(700, 350, 100, 600); }},
  };
  for (const auto& [name, outline] : cases) {
    ClipDrawing drawing;
    drawing.MoveTo(100, 100);
    drawing.BeginFill(red);
    outline(drawing);  // left open: it closes itself
    const Picture picture = Draw(drawing);
    EXPECT_EQ(picture.Row(15)[12], 0xFFFF0000u) << name;
    EXPECT_EQ(picture.Row(35)[35], 0xFFFFFFFFu) << name;
    drawing.EndFill();
    EXPECT_EQ(Draw(drawing).Row(15)[12], 0xFFFF0000u) << name << ", closed";
    drawing.Clear();
    EXPECT_TRUE(drawing.empty()) << name;
  }
}

}  // namespace
}  // namespace flashsaver
