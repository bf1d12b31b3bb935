// An outline in twips: move, line and quadratic-curve commands, as SWF edges and font glyphs
// describe them. Cubic outlines (device fonts) are split into quadratics by their producer.
#pragma once

#include <vector>

#include "player/swf/swf_types.h"

namespace flashsaver {

struct PathCommand {
  enum class Kind : uint8_t { kMoveTo, kLineTo, kCurveTo };
  Kind kind = Kind::kMoveTo;
  Point to;
  Point control;  // kCurveTo only
};

struct Path {
  std::vector<PathCommand> commands;

  void MoveTo(Point p) { commands.push_back({PathCommand::Kind::kMoveTo, p, {}}); }
  void LineTo(Point p) { commands.push_back({PathCommand::Kind::kLineTo, p, {}}); }
  void CurveTo(Point control, Point p) {
    commands.push_back({PathCommand::Kind::kCurveTo, p, control});
  }
  bool Empty() const { return commands.empty(); }
};

enum class FillRule : uint8_t { kEvenOdd, kNonZero };

}  // namespace flashsaver
