// flash.geom arguments read by property name, and results made by constructing the class by
// name: whatever class a movie passes (flash.geom's own or any object with those properties)
// works, and the display and bitmap classes need no knowledge of how flash.geom is built.
#pragma once

#include <cstdint>
#include <utility>

#include "player/avm2/value.h"
#include "player/render/picture.h"
#include "player/swf/swf_types.h"

namespace flashsaver::avm2 {

class Vm;

// Coordinates as whole pixels (truncated), kept in a range where sums cannot overflow.
int32_t WholePixels(double d);
// x, y, width and height of a rectangle value as a pixel box; a negative size is empty.
PixelBox ReadBox(Vm& vm, const Value& rect);
std::pair<int32_t, int32_t> ReadPoint(Vm& vm, const Value& point);
// a, b, c, d, tx, ty; non-finite terms read as 0.
Matrix ReadMatrix(Vm& vm, const Value& matrix);
// The multipliers and offsets, with fractions as scripts give them.
ColorTransform ReadColorTransform(Vm& vm, const Value& transform);

Value NewRectangle(Vm& vm, double x, double y, double width, double height);
Value NewBoxRectangle(Vm& vm, PixelBox box);
Value NewPoint(Vm& vm, double x, double y);

}  // namespace flashsaver::avm2
