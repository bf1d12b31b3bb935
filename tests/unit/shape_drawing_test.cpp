#include "player/render/shape_drawing.h"

#include <gtest/gtest.h>

namespace flashsaver {
namespace {

ShapeRecord StyleChange(std::optional<uint32_t> f0, std::optional<uint32_t> f1,
                        std::optional<uint32_t> line, bool move = false, int32_t x = 0,
                        int32_t y = 0) {
  ShapeRecord r;
  r.fill0 = f0;
  r.fill1 = f1;
  r.line = line;
  r.has_move = move;
  r.move_x = x;
  r.move_y = y;
  return r;
}

ShapeRecord Edge(int32_t dx, int32_t dy) {
  ShapeRecord r;
  r.kind = ShapeRecord::Kind::kStraight;
  r.dx = dx;
  r.dy = dy;
  return r;
}

StyleArrays Arrays(size_t fills, size_t lines) {
  StyleArrays a;
  a.fills.resize(fills);
  a.lines.resize(lines);
  return a;
}

TEST(ShapeDrawing, LayersRunsAndLinePaths) {
  Shape shape;
  shape.styles = {Arrays(2, 1), Arrays(1, 2)};
  ShapeRecord new_layer = StyleChange(std::nullopt, 1, 2, true, 0, 0);
  new_layer.new_styles = 1;
  shape.records = {
      StyleChange(1, 2, 1, true, 100, 100),
      Edge(50, 0),
      StyleChange(2, 2, std::nullopt),  // same fill both sides: a line only edge
      Edge(0, 50),
      StyleChange(0, 9, 0),  // an index past the array fills nothing
      Edge(-50, 0),
      new_layer,
      Edge(10, 0),
      Edge(0, 10),
  };
  const ShapeDrawing d = ShapeDrawing::FromShape(shape);
  ASSERT_EQ(d.layers().size(), 2u);
  const ShapeLayer& first = d.layers()[0];
  ASSERT_EQ(first.fill_runs.size(), 1u);
  EXPECT_EQ(first.fill_runs[0].fill0, 1u);
  EXPECT_EQ(first.fill_runs[0].fill1, 2u);
  ASSERT_EQ(first.fill_runs[0].path.commands.size(), 2u);
  EXPECT_EQ(first.fill_runs[0].path.commands[1].to, (Point{150, 100}));
  // The line style continues across the style change: one subpath of two edges.
  ASSERT_EQ(first.line_paths.size(), 1u);
  EXPECT_EQ(first.line_paths[0].commands.size(), 3u);

  const ShapeLayer& second = d.layers()[1];
  ASSERT_EQ(second.fill_runs.size(), 1u);
  EXPECT_EQ(second.fill_runs[0].path.commands.front().to, (Point{0, 0}));
  EXPECT_EQ(second.fill_runs[0].path.commands.back().to, (Point{10, 10}));
  EXPECT_TRUE(second.line_paths[0].Empty());
  EXPECT_EQ(second.line_paths[1].commands.size(), 3u);
}

TEST(ShapeDrawing, MorphInterpolatesPairedEdges) {
  MorphShape m;
  m.fills.resize(1);
  m.fills[0].start.color = {0, 0, 0, 255};
  m.fills[0].end.color = {200, 100, 0, 55};
  m.lines.resize(1);
  m.lines[0].start.width = 20;
  m.lines[0].end.width = 60;
  ShapeRecord curve;
  curve.kind = ShapeRecord::Kind::kCurve;
  curve.control_dx = 0;
  curve.control_dy = 100;
  curve.dx = 100;
  curve.dy = 0;
  m.start_records = {StyleChange(std::nullopt, 1, 1, true, 0, 0), Edge(100, 0), Edge(0, 100)};
  // The end has its own start point; its first edge is a curve that the straight edge becomes.
  m.end_records = {StyleChange(std::nullopt, std::nullopt, std::nullopt, true, 100, 0), curve,
                   Edge(0, 300)};
  const ShapeDrawing half = ShapeDrawing::FromMorph(m, 32768);
  ASSERT_EQ(half.layers().size(), 1u);
  const ShapeLayer& layer = half.layers()[0];
  EXPECT_EQ(layer.fills[0].color, (Rgba{100, 50, 0, 155}));
  EXPECT_EQ(layer.lines[0].width, 40);
  const auto& cmds = layer.fill_runs.at(0).path.commands;
  ASSERT_EQ(cmds.size(), 3u);
  const double t = 32768 / 65535.0;
  EXPECT_NEAR(cmds[0].to.x, 100 * t, 1e-9);
  // Straight start edge (0,0)-(100,0) has its control at (50,0); the end curve's is (100,100).
  EXPECT_EQ(cmds[1].kind, PathCommand::Kind::kCurveTo);
  EXPECT_NEAR(cmds[1].control.x, 50 + 50 * t, 1e-9);
  EXPECT_NEAR(cmds[1].control.y, 100 * t, 1e-9);
  EXPECT_NEAR(cmds[1].to.x, 100 + 100 * t, 1e-9);
  EXPECT_EQ(cmds[2].kind, PathCommand::Kind::kLineTo);
  EXPECT_NEAR(cmds[2].to.y, 100 + 300 * t, 1e-9);

  EXPECT_EQ(ShapeDrawing::FromMorph(m, 0).layers()[0].fills[0].color, (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(ShapeDrawing::FromMorph(m, 65535).layers()[0].fill_runs[0].path.commands[2].to,
            (Point{200, 400}));
}

}  // namespace
}  // namespace flashsaver
