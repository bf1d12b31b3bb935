// Conversions and comparisons, with the differences between SWF versions. SWF 6 and below
// turn undefined into 0 and "" (7 gives NaN and "undefined"); SWF 4 has no booleans (1 and 0)
// and reads bad number text as 0.
#include <cmath>

#include "player/avm1/text_util.h"
#include "player/avm1/vm.h"

namespace flashsaver::avm1 {

double Vm::ToNumber(const Value& v) {
  switch (v.type()) {
    case ValueType::kUndefined:
    case ValueType::kNull:
      return swf_version_ < 7 ? 0.0 : NAN;
    case ValueType::kBool:
      return v.AsBool() ? 1 : 0;
    case ValueType::kNumber:
      return v.AsNumber();
    case ValueType::kString:
      return StringToNumber(v.AsString(), swf_version_);
    case ValueType::kObject: {
      Value p = ToPrimitive(v, false);
      if (p.IsObject()) return swf_version_ < 5 ? 0.0 : NAN;
      return ToNumber(p);
    }
  }
  return NAN;
}

// valueOf or toString for a conversion, found without __resolve (coerce_to_object_monkeypatch).
Value Vm::CallConversion(Object* o, const char* name) {
  if (o->kind() == ObjectKind::kSuper) return CallMethod(o, name, {});
  Object* holder = FindHolder(o, name);
  if (!holder) return Value();
  Property* p = holder->FindOwn(name, case_sensitive());
  Value fn = p->value;
  if (p->virtual_property) fn = p->getter ? CallFunction(p->getter, o, {}) : Value();
  return CallFunction(fn, o, {});
}

// valueOf for numbers; an object whose valueOf gives an object stays an object. With for_add,
// Date objects use toString from SWF 6 on (the "+" operator).
Value Vm::ToPrimitive(const Value& v, bool for_add) {
  Object* o = v.AsObject();
  if (!o) return v;
  if (o->kind() == ObjectKind::kClip) return v;
  const char* method =
      for_add && swf_version_ > 5 && o->kind() == ObjectKind::kDate ? "toString" : "valueOf";
  Value r = CallConversion(o, method);
  // A valueOf that gives an object leaves the original object (add2: its toString is used).
  return r.IsObject() ? v : r;
}

std::string Vm::ToString(const Value& v) {
  switch (v.type()) {
    case ValueType::kUndefined:
      return swf_version_ < 7 ? "" : "undefined";
    case ValueType::kNull:
      return "null";
    case ValueType::kBool:
      if (swf_version_ < 5) return v.AsBool() ? "1" : "0";
      return v.AsBool() ? "true" : "false";
    case ValueType::kNumber:
      return NumberToString(v.AsNumber());
    case ValueType::kString:
      return v.AsString();
    case ValueType::kObject: {
      Object* o = v.AsObject();
      if (o->kind() == ObjectKind::kClip || host_.IsTextField(o)) return host_.ClipPath(o, true);
      Value r = CallConversion(o, "toString");
      if (r.IsString()) return r.AsString();
      return o->kind() == ObjectKind::kFunction ? "[type Function]" : "[type Object]";
    }
  }
  return "";
}

bool Vm::ToBool(const Value& v) const {
  switch (v.type()) {
    case ValueType::kBool:
      return v.AsBool();
    case ValueType::kNumber:
      return !std::isnan(v.AsNumber()) && v.AsNumber() != 0;
    case ValueType::kString: {
      if (swf_version_ >= 7) return !v.AsString().empty();
      double n = StringToNumber(v.AsString(), swf_version_);
      return !std::isnan(n) && n != 0;
    }
    case ValueType::kObject:
      return true;
    default:
      return false;
  }
}

// Boxing goes through the global constructor of the moment, even one a script put there, read
// without __resolve (coerce_to_object_monkeypatch). Undefined when the built-in one boxes, null
// when nothing can (the constructor deleted or replaced by something else).
Value Vm::ScriptBoxingConstructor(const Value& v) {
  if (!v.IsPrimitive() || v.IsNullish()) return Value();
  const char* name = v.IsBool() ? "Boolean" : v.IsNumber() ? "Number" : "String";
  Object* builtin = v.IsBool() ? boolean_proto : v.IsNumber() ? number_proto : string_proto;
  Object* holder = FindHolder(global_, name);
  if (!holder) return Value::Null();
  Property* p = holder->FindOwn(name, case_sensitive());
  Value ctor = p->value;
  if (p->virtual_property) ctor = p->getter ? CallFunction(p->getter, global_, {}) : Value();
  if (!IsFunction(ctor)) return Value::Null();
  if (static_cast<FunctionObject*>(ctor.AsObject())->native_construct) {
    Property* proto = ctor.AsObject()->FindOwn("prototype", true);
    return proto && proto->value.AsObject() == builtin ? Value() : Value::Null();
  }
  return ctor;
}

Object* Vm::ToObject(const Value& v) {
  Value ctor = ScriptBoxingConstructor(v);
  if (ctor.IsNull()) return nullptr;
  if (!ctor.IsUndefined()) {
    Value boxed = Construct(ctor, std::span<const Value>(&v, 1));
    return boxed.AsObject();
  }
  // A primitive is boxed as its class would construct it: with __proto__, __constructor__ and,
  // up to SWF 6, constructor.
  auto box = [&](ObjectKind kind, Object* proto) -> Object* {
    auto* o = New<ValueObject>(kind, v);
    o->Define("__proto__", proto);
    const Property* ctor_p = proto ? proto->FindOwn("constructor", true) : nullptr;
    if (ctor_p && !ctor_p->virtual_property) {
      o->Define("__constructor__", ctor_p->value, prop_flag::kDontEnum);
      if (swf_version_ < 7) o->Define("constructor", ctor_p->value, prop_flag::kDontEnum);
    }
    return o;
  };
  switch (v.type()) {
    case ValueType::kObject:
      return v.AsObject();
    case ValueType::kBool:
      return box(ObjectKind::kBoolean, boolean_proto);
    case ValueType::kNumber:
      return box(ObjectKind::kNumber, number_proto);
    case ValueType::kString:
      return box(ObjectKind::kString, string_proto);
    default:
      return nullptr;
  }
}

std::string Vm::TypeOf(const Value& v) const {
  switch (v.type()) {
    case ValueType::kUndefined:
      return "undefined";
    case ValueType::kNull:
      return "null";
    case ValueType::kBool:
      return "boolean";
    case ValueType::kNumber:
      return "number";
    case ValueType::kString:
      return "string";
    case ValueType::kObject:
      switch (v.AsObject()->kind()) {
        case ObjectKind::kFunction:
          return "function";
        case ObjectKind::kClip:
          return host_.ClipTypeOf(v.AsObject());
        default:
          return "object";
      }
  }
  return "undefined";
}

bool Vm::IsFunction(const Value& v) const {
  return v.IsObject() && v.AsObject()->kind() == ObjectKind::kFunction;
}

bool Vm::StrictEquals(const Value& a, const Value& b) const {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case ValueType::kUndefined:
    case ValueType::kNull:
      return true;
    case ValueType::kBool:
      return a.AsBool() == b.AsBool();
    case ValueType::kNumber:
      // NaN === NaN holds in the player (strictly_equals).
      return a.AsNumber() == b.AsNumber() || (std::isnan(a.AsNumber()) && std::isnan(b.AsNumber()));
    case ValueType::kString:
      return a.AsString() == b.AsString();
    case ValueType::kObject:
      return a.AsObject() == b.AsObject();
  }
  return false;
}

// Equals2. SWF 5 calls valueOf on both sides first, even for two objects.
bool Vm::LooseEquals(const Value& x, const Value& y) {
  Value a = x, b = y;
  if (swf_version_ <= 5) {
    a = ToPrimitive(x, false);
    b = ToPrimitive(y, false);
  }
  ValueType ta = a.type(), tb = b.type();
  if (a.IsNullish() && b.IsNullish()) return true;
  if (ta == tb) {
    if (ta == ValueType::kNumber) {
      // NaN equals NaN in the player's Equals2 (equals2_swf6/7 tests).
      return a.AsNumber() == b.AsNumber() || (std::isnan(a.AsNumber()) && std::isnan(b.AsNumber()));
    }
    return StrictEquals(a, b);
  }
  if (ta == ValueType::kBool) return LooseEquals(Value(a.AsBool() ? 1.0 : 0.0), b);
  if (tb == ValueType::kBool) return LooseEquals(a, Value(b.AsBool() ? 1.0 : 0.0));
  if (ta == ValueType::kNumber && tb == ValueType::kString) return a.AsNumber() == ToNumber(b);
  if (ta == ValueType::kString && tb == ValueType::kNumber) return ToNumber(a) == b.AsNumber();
  // An object without valueOf (_global) becomes undefined and so equals undefined and null
  // (equals2_swf6).
  if (ta == ValueType::kObject) {
    Value p = ToPrimitive(a, false);
    return p.IsPrimitive() && LooseEquals(p, b);
  }
  if (tb == ValueType::kObject) {
    Value p = ToPrimitive(b, false);
    return p.IsPrimitive() && LooseEquals(a, p);
  }
  return false;
}

Value Vm::LessThan(const Value& x, const Value& y) {
  Value a = ToPrimitive(x, false);
  if (a.IsObject() && a.AsObject()->kind() != ObjectKind::kClip) return false;
  Value b = ToPrimitive(y, false);
  if (b.IsObject() && b.AsObject()->kind() != ObjectKind::kClip) return false;
  // Strings compare by code points, even with surrogates encoded one half at a time
  // (string_relational_compare).
  if (a.IsString() && b.IsString()) return CodePointLess(a.AsString(), b.AsString());
  double na = ToNumber(a), nb = ToNumber(b);
  if (std::isnan(na) || std::isnan(nb)) return Value();
  return na < nb;
}

// Add2: strings concatenate when either side is (or becomes) a string.
// The right operand is converted first (add2).
Value Vm::Add(const Value& x, const Value& y) {
  Value b = ToPrimitive(y, true);
  Value a = ToPrimitive(x, true);
  if (a.IsString() || b.IsString()) {
    std::string sa = ToString(a), sb = ToString(b);
    CheckStringSize(sa.size() + sb.size());
    return sa + sb;
  }
  return ToNumber(a) + ToNumber(b);
}

bool Vm::InstanceOf(const Value& v, Object* ctor) {
  Object* o = v.AsObject();
  if (!o || !ctor) return false;
  // A removed clip is no instance and no class (instanceof_coercions).
  if (ctor->kind() == ObjectKind::kClip && host_.IsRemovedClip(ctor)) return false;
  // Only the class's own prototype slot counts: no getter, no inherited one, even one hidden
  // from this version (instanceof_coercions).
  Property* slot = ctor->FindOwn("prototype", case_sensitive());
  Value proto_v = slot && !slot->virtual_property ? slot->value : Value();
  Object* proto = proto_v.AsObject();
  // A clip is never the prototype that makes an instance (instanceof_coercions).
  if (proto && proto->kind() == ObjectKind::kClip) return false;
  if (proto && o->kind() == ObjectKind::kClip && host_.IsRemovedClip(o)) return false;
  if (!proto) {
    if (!proto_v.IsNullish()) ToObject(proto_v);  // boxed, to no avail (instanceof_coercions)
    return false;
  }
  int guard = 0;
  for (Object* p = o->proto(); p && guard < 10000; p = p->proto(), ++guard) {
    if (p == proto) return true;
  }
  // implements: the class's prototype lists interfaces in __interfaces__ (set by Implements).
  for (Object* p = o->proto(); p && guard < 20000; p = p->proto(), ++guard) {
    if (Property* list = p->FindOwn("__interfaces__", true)) {
      if (Object* arr = list->value.AsObject()) {
        uint32_t n = ArrayLength(arr);
        for (uint32_t i = 0; i < n; ++i) {
          Object* iface = GetIndex(arr, i).AsObject();
          if (iface == ctor) return true;
          if (iface) {
            Object* ip = GetMember(iface, "prototype").AsObject();
            for (Object* q = ip; q && guard < 30000; q = q->proto(), ++guard) {
              if (q == proto) return true;
            }
          }
        }
      }
    }
  }
  return false;
}

}  // namespace flashsaver::avm1
