// flash.geom: value classes whose fields are plain Number slots (x, y, a, b, ...), so scripts
// subclass them and read them at slot speed; the natives read the same slots.
#pragma once

#include <array>
#include <span>

#include "player/avm2/natives.h"
#include "player/avm2/object.h"

namespace flashsaver::avm2 {

class Vm;

std::span<const NativeClass* const> GeomClasses();

// Slot order of each value class, as its NativeClass declares the fields.
namespace geom_slot {
inline constexpr uint32_t kX = 0, kY = 1;           // Point
inline constexpr uint32_t kWidth = 2, kHeight = 3;  // Rectangle (after x, y)
inline constexpr uint32_t kA = 0, kB = 1, kC = 2, kD = 3, kTx = 4, kTy = 5;  // Matrix
inline constexpr uint32_t kZ = 2, kW = 3;  // Vector3D (after x, y)
}  // namespace geom_slot

// The receiver or an argument as an instance of the geom class `qualified`: TypeError #1034
// for another object, #1009 for null.
Object* GeomThis(Vm& vm, const Value& v, const char* qualified);
Object* GeomArg(Vm& vm, std::span<const Value> args, size_t i, const char* qualified);
double GeomGet(Object* o, uint32_t slot);
void GeomSet(Object* o, uint32_t slot, double v);
// A new instance of a geom class with its Number fields in slot order.
Object* NewGeom(Vm& vm, const char* qualified, std::initializer_list<double> fields);
Value GeomValue(Object* o);

// A 2D affine matrix (a, b, c, d, tx, ty) read from or written to a Matrix object.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};
Affine ReadMatrix(Object* m);
void WriteMatrix(Object* m, const Affine& v);

// Matrix3D's storage: 16 numbers, column-major as rawData gives them.
class Matrix3DObject : public BoxedObject {
 public:
  Matrix3DObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};
Matrix3DObject* NewMatrix3D(Vm& vm, const std::array<double, 16>& m);

// PerspectiveProjection's storage.
class ProjectionObject : public BoxedObject {
 public:
  ProjectionObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}
  double field_of_view = 55;  // degrees
  double center_x = 250, center_y = 200;
  double focal_length = 0;  // derived from the field of view and the stage width
};

const NativeClass& PointClass();
const NativeClass& RectangleClass();
const NativeClass& MatrixClass();
const NativeClass& ColorTransformClass();
const NativeClass& Vector3DClass();
const NativeClass& Matrix3DClass();
const NativeClass& PerspectiveProjectionClass();
const NativeClass& Utils3DClass();
const NativeClass& Orientation3DClass();
const NativeClass& TransformClass();

}  // namespace flashsaver::avm2
