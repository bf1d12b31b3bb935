// Conversions between values (ECMA-262 with AS3's rules) and the argument helpers of natives.
#include <cmath>
#include <cstring>

#include "player/avm2/builtins/proxy.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/number_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

bool Vm::ToBoolean(const Value& v) {
  switch (v.type()) {
    case ValueType::kUndefined:
    case ValueType::kNull:
      return false;
    case ValueType::kBoolean:
      return v.AsBoolean();
    case ValueType::kInt:
      return v.AsInt() != 0;
    case ValueType::kUInt:
      return v.AsUInt() != 0;
    case ValueType::kNumber:
      return !(v.AsDouble() == 0 || std::isnan(v.AsDouble()));
    case ValueType::kString:
      return !v.AsStr().empty();
    case ValueType::kObject:
      return true;
  }
  return false;
}

Value Vm::ToPrimitive(const Value& v, int hint) {
  Object* o = v.AsObject();
  if (!o) return v;
  if (Value r; XmlToPrimitive(*this, v, r)) return r;
  if (auto* b = dynamic_cast<BoxedObject*>(o); b && !b->primitive.IsUndefined())
    return b->primitive;
  // Dates prefer strings; everything else numbers (ECMA-262 [[DefaultValue]]).
  if (hint == 0) hint = (o->cls() && o->cls()->qualified == "Date") ? 2 : 1;
  const char* order[2] = {"valueOf", "toString"};
  if (hint == 2) std::swap(order[0], order[1]);
  for (const char* m : order) {
    // A Proxy is asked to call the method (its callProperty), not for the function.
    if (AsProxy(o)) {
      Value r = CallProperty(v, PublicName(std::string_view(m)), {});
      if (r.IsPrimitive()) return r;
      continue;
    }
    Value f = GetProperty(v, std::string_view(m));
    // Flash calls the method as callproperty does: a value that is no function is #1006.
    if (!f.AsObject() || (f.AsObject()->kind() != ObjectKind::kFunction &&
                          f.AsObject()->kind() != ObjectKind::kClass))
      ThrowError(ErrorType::kTypeError, 1006, {m});
    Value r = Call(f, v, {});
    if (r.IsPrimitive()) return r;
  }
  ThrowError(ErrorType::kTypeError, 1050, {TypeNameForError(v)});
}

double Vm::ToNumber(const Value& v) {
  switch (v.type()) {
    case ValueType::kUndefined:
      return NAN;
    case ValueType::kNull:
      return 0;
    case ValueType::kBoolean:
      return v.AsBoolean() ? 1 : 0;
    case ValueType::kInt:
    case ValueType::kUInt:
    case ValueType::kNumber:
      return v.AsDouble();
    case ValueType::kString:
      return StringToNumber(v.AsStr().view());
    case ValueType::kObject:
      return ToNumber(ToPrimitive(v, 1));
  }
  return NAN;
}

Str Vm::ToString(const Value& v) {
  switch (v.type()) {
    case ValueType::kUndefined:
      return Str(u"undefined");
    case ValueType::kNull:
      return Str(u"null");
    case ValueType::kBoolean:
      return Str(v.AsBoolean() ? u"true" : u"false");
    case ValueType::kInt:
      return Str::FromUtf8(std::to_string(v.AsInt()));
    case ValueType::kUInt:
      return Str::FromUtf8(std::to_string(v.AsUInt()));
    case ValueType::kNumber:
      return Str::FromUtf8(NumberToString(v.AsDouble()));
    case ValueType::kString:
      return v.AsStr();
    case ValueType::kObject:
      return ToString(ToPrimitive(v, 2));
  }
  return Str();
}

Str Vm::TypeOf(const Value& v) {
  switch (v.type()) {
    case ValueType::kUndefined:
      return Str(u"undefined");
    case ValueType::kNull:
      return Str(u"object");
    case ValueType::kBoolean:
      return Str(u"boolean");
    case ValueType::kInt:
    case ValueType::kUInt:
    case ValueType::kNumber:
      return Str(u"number");
    case ValueType::kString:
      return Str(u"string");
    case ValueType::kObject: {
      Object* o = v.AsObject();
      if (o->kind() == ObjectKind::kFunction) return Str(u"function");
      if (o->cls() && (o->cls()->qualified == "XML" || o->cls()->qualified == "XMLList"))
        return Str(u"xml");
      return Str(u"object");
    }
  }
  return Str();
}

bool Vm::LooseEquals(const Value& a, const Value& b) {
  if (bool r; XmlLooseEquals(*this, a, b, r)) return r;
  if (a.IsNumeric() && b.IsNumeric()) return a.AsDouble() == b.AsDouble();
  if (a.type() == b.type()) return StrictEquals(a, b);
  if (a.IsNullish() && b.IsNullish()) return true;
  if (a.IsNullish() || b.IsNullish()) return false;
  if ((a.IsNumeric() && b.IsString()) || (a.IsString() && b.IsNumeric()))
    return ToNumber(a) == ToNumber(b);
  if (a.IsBoolean()) return LooseEquals(Value(ToNumber(a)), b);
  if (b.IsBoolean()) return LooseEquals(a, Value(ToNumber(b)));
  if (a.IsObject() && !b.IsObject()) return LooseEquals(ToPrimitive(a), b);
  if (b.IsObject() && !a.IsObject()) return LooseEquals(a, ToPrimitive(b));
  return false;
}

int Vm::LessThan(const Value& a, const Value& b) {
  Value pa = ToPrimitive(a, 1), pb = ToPrimitive(b, 1);
  if (pa.IsString() && pb.IsString()) return pa.AsStr().str() < pb.AsStr().str() ? 1 : 0;
  double x = ToNumber(pa), y = ToNumber(pb);
  if (std::isnan(x) || std::isnan(y)) return -1;
  return x < y ? 1 : 0;
}

double ArgNumber(Vm& vm, std::span<const Value> args, size_t i, double def) {
  return i < args.size() ? vm.ToNumber(args[i]) : def;
}
int32_t ArgInt(Vm& vm, std::span<const Value> args, size_t i, int32_t def) {
  return i < args.size() ? vm.ToInt32(args[i]) : def;
}
uint32_t ArgUInt(Vm& vm, std::span<const Value> args, size_t i, uint32_t def) {
  return i < args.size() ? vm.ToUint32(args[i]) : def;
}
bool ArgBool(Vm&, std::span<const Value> args, size_t i, bool def) {
  return i < args.size() ? Vm::ToBoolean(args[i]) : def;
}
Str ArgString(Vm& vm, std::span<const Value> args, size_t i, const Str& def) {
  return i < args.size() ? vm.ToString(args[i]) : def;
}

}  // namespace flashsaver::avm2
