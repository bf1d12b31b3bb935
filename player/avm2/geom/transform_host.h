// What flash.geom.Transform asks of the display object it belongs to. The display list
// implements it (Vm::transform_host); a method returning false means the host does not know
// the object, and the Transform keeps the values on itself instead.
#pragma once

#include <array>

#include "player/avm2/geom/geom.h"

namespace flashsaver::avm2 {

// A colour transform's multipliers (red, green, blue, alpha), then its offsets.
using ColorValues = std::array<double, 8>;

class TransformHost {
 public:
  virtual ~TransformHost() = default;
  virtual bool GetMatrix(Object* display, Affine& out) = 0;
  virtual bool SetMatrix(Object* display, const Affine& m) = 0;
  virtual bool GetColorTransform(Object* display, ColorValues& out) = 0;
  virtual bool SetColorTransform(Object* display, const ColorValues& c) = 0;
  // The object's matrix and colour transform combined with all its parents'.
  virtual bool GetConcatenatedMatrix(Object* display, Affine& out) = 0;
  virtual bool GetConcatenatedColorTransform(Object* display, ColorValues& out) = 0;
  // A 3D matrix replaces the 2D one; `has3d` false is matrix3D == null.
  virtual bool GetMatrix3D(Object* display, bool& has3d, std::array<double, 16>& out) = 0;
  virtual bool SetMatrix3D(Object* display, const std::array<double, 16>* m) = 0;
  // The object's bounds on the stage, in pixels.
  virtual bool GetPixelBounds(Object* display, std::array<double, 4>& xywh) = 0;
};

}  // namespace flashsaver::avm2
