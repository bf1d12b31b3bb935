// Conversions between values (ECMA-262 with AS3's rules) and the argument helpers of natives.
#include <charconv>
#include <cmath>
#include <cstring>

#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

// Shortest round-trip digits, laid out as ECMAScript's Number.prototype.toString does.
std::string NumberToStringStandIn(double d) {
  if (std::isnan(d)) return "NaN";
  if (d == 0) return "0";
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific);
  std::string sci(buf, r.ptr);
  size_t e = sci.find('e');
  std::string digits;
  for (size_t i = 0; i < e; ++i)
    if (sci[i] != '.') digits.push_back(sci[i]);
  int exp = std::atoi(sci.c_str() + e + 1);
  int k = static_cast<int>(digits.size());
  int n = exp + 1;
  std::string out = d < 0 ? "-" : "";
  if (k <= n && n <= 21) {
    out += digits + std::string(n - k, '0');
  } else if (0 < n && n <= 21) {
    out += digits.substr(0, n) + "." + digits.substr(n);
  } else if (-6 < n && n <= 0) {
    out += "0." + std::string(-n, '0') + digits;
  } else {
    out += digits.substr(0, 1);
    if (k > 1) out += "." + digits.substr(1);
    out += (n - 1 >= 0 ? "e+" : "e-") + std::to_string(std::abs(n - 1));
  }
  return out;
}

namespace {

bool IsSpace(char16_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' ||
         c == 0xA0 || c == 0x2028 || c == 0x2029 || c == 0xFEFF || c == 0x3000 ||
         (c >= 0x2000 && c <= 0x200B) || c == 0x1680 || c == 0x202F || c == 0x205F;
}

}  // namespace

double StringToNumberStandIn(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  if (b == e) return 0;
  std::string a;
  for (size_t i = b; i < e; ++i) {
    if (s[i] > 127) return NAN;
    a.push_back(static_cast<char>(s[i]));
  }
  bool neg = false;
  std::string body = a;
  if (body[0] == '+' || body[0] == '-') {
    neg = body[0] == '-';
    body = body.substr(1);
  }
  if (body == "Infinity") return neg ? -INFINITY : INFINITY;
  if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
    double v = 0;
    for (size_t i = 2; i < body.size(); ++i) {
      char c = body[i];
      int dgt = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
      if (dgt < 0) return NAN;
      v = v * 16 + dgt;
    }
    return neg ? -v : v;
  }
  // Only decimal literal characters; strtod would also take "inf", "nan" and hex floats.
  for (char c : body)
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
      return NAN;
  if (body.empty() || body == "." ) return NAN;
  char* end = nullptr;
  double v = std::strtod(body.c_str(), &end);
  if (end != body.c_str() + body.size()) return NAN;
  return neg ? -v : v;
}

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
  if (auto* b = dynamic_cast<BoxedObject*>(o); b && !b->primitive.IsUndefined()) return b->primitive;
  // Dates prefer strings; everything else numbers (ECMA-262 [[DefaultValue]]).
  if (hint == 0) hint = (o->cls() && o->cls()->qualified == "Date") ? 2 : 1;
  const char* order[2] = {"valueOf", "toString"};
  if (hint == 2) std::swap(order[0], order[1]);
  for (const char* m : order) {
    Value f = GetProperty(v, std::string_view(m));
    if (f.AsObject() && f.AsObject()->kind() == ObjectKind::kFunction) {
      Value r = Call(f, v, {});
      if (r.IsPrimitive()) return r;
    }
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
      return StringToNumberStandIn(v.AsStr().view());
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
      return Str::FromUtf8(NumberToStringStandIn(v.AsDouble()));
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
