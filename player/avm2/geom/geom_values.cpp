// What the flash.geom classes share: reading their Number slots, checking receivers and making
// new instances; and the list of the package's classes.
#include <cmath>

#include "player/avm2/class.h"
#include "player/avm2/geom/geom.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

namespace {
std::string Dotted(const char* qualified) {
  std::string s = qualified;
  if (auto p = s.find("::"); p != std::string::npos) s.replace(p, 2, ".");
  return s;
}
}  // namespace

Object* GeomThis(Vm& vm, const Value& v, const char* qualified) {
  Object* o = v.AsObject();
  if (!o) {
    if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 1009);
    vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(v), Dotted(qualified)});
  }
  ClassObject* want = vm.FindClass(qualified);
  if (!want || !o->cls() || !o->cls()->IsSubclassOf(want) ||
      o->slots().size() < want->instance_traits.slot_count)
    vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(v), Dotted(qualified)});
  return o;
}

Object* GeomArg(Vm& vm, std::span<const Value> args, size_t i, const char* qualified) {
  return GeomThis(vm, Arg(args, i), qualified);
}

double GeomGet(Object* o, uint32_t slot) {
  const Value& v = o->slots()[slot];
  return v.IsNumeric() ? v.AsDouble() : NAN;
}

void GeomSet(Object* o, uint32_t slot, double v) { o->slots()[slot] = Value(v); }

Value GeomValue(Object* o) { return Value(o); }

Object* NewGeom(Vm& vm, const char* qualified, std::initializer_list<double> fields) {
  ClassObject* cls = vm.FindClass(qualified);
  Object* o = vm.CreateInstance(cls);
  uint32_t i = 0;
  for (double f : fields)
    if (i < o->slots().size()) o->slots()[i++] = Value(f);
  return o;
}

Affine ReadMatrix(Object* m) {
  using namespace geom_slot;
  return {GeomGet(m, kA), GeomGet(m, kB),  GeomGet(m, kC),
          GeomGet(m, kD), GeomGet(m, kTx), GeomGet(m, kTy)};
}

void WriteMatrix(Object* m, const Affine& v) {
  using namespace geom_slot;
  GeomSet(m, kA, v.a);
  GeomSet(m, kB, v.b);
  GeomSet(m, kC, v.c);
  GeomSet(m, kD, v.d);
  GeomSet(m, kTx, v.tx);
  GeomSet(m, kTy, v.ty);
}

std::span<const NativeClass* const> GeomClasses() {
  static const NativeClass* const list[] = {&PointClass(),
                                            &RectangleClass(),
                                            &MatrixClass(),
                                            &ColorTransformClass(),
                                            &Vector3DClass(),
                                            &Matrix3DClass(),
                                            &PerspectiveProjectionClass(),
                                            &Utils3DClass(),
                                            &Orientation3DClass(),
                                            &TransformClass()};
  return list;
}

}  // namespace flashsaver::avm2
