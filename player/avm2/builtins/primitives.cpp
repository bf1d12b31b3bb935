// Boolean, Number, int, uint and String. Their values are primitives; the classes convert.
#include <algorithm>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/regexp_class.h"
#include "player/avm2/number_text.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

Value BooleanCall(Vm&, const Value&, std::span<const Value> args) {
  return Value(args.empty() ? false : Vm::ToBoolean(args[0]));
}
Value NumberCall(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(args.empty() ? 0.0 : vm.ToNumber(args[0]));
}
Value IntCall(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(args.empty() ? 0 : vm.ToInt32(args[0]));
}
Value UIntCall(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(args.empty() ? 0u : vm.ToUint32(args[0]));
}
Value StringCall(Vm& vm, const Value&, std::span<const Value> args) {
  return Value(args.empty() ? Str() : vm.ToString(args[0]));
}

Value BoolToString(Vm& vm, const Value& self, std::span<const Value>) {
  if (!self.IsBoolean()) {
    if (self.AsObject() == vm.classes().boolean->prototype) return Value(Str(u"false"));
    vm.ThrowError(ErrorType::kTypeError, 1004, {"Boolean.prototype.toString"});
  }
  return Value(vm.ToString(self));
}
Value BoolValueOf(Vm& vm, const Value& self, std::span<const Value>) {
  if (!self.IsBoolean()) {
    if (self.AsObject() == vm.classes().boolean->prototype) return Value(false);
    vm.ThrowError(ErrorType::kTypeError, 1004, {"Boolean.prototype.valueOf"});
  }
  return self;
}

double ThisNumber(Vm& vm, const Value& self) {
  if (self.IsNumeric()) return self.AsDouble();
  if (self.AsObject() == vm.classes().number->prototype) return 0;
  vm.ThrowError(ErrorType::kTypeError, 1004, {"Number.prototype.toString"});
}

Value NumToString(Vm& vm, const Value& self, std::span<const Value> args) {
  double d = ThisNumber(vm, self);
  int radix = args.empty() || args[0].IsUndefined() ? 10 : vm.ToInt32(args[0]);
  NumberText t = NumberToStringRadix(d, radix);
  if (t.error_id) vm.ThrowError(ErrorType::kRangeError, t.error_id, {std::to_string(radix)});
  return Value(Str::FromUtf8(t.text));
}
Value NumValueOf(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(ThisNumber(vm, self));
}
template <NumberText (*F)(double, int)>
Value NumFormat(Vm& vm, const Value& self, std::span<const Value> args) {
  double d = ThisNumber(vm, self);
  NumberText t = F(d, ArgInt(vm, args, 0, 0));
  if (t.error_id) vm.ThrowError(ErrorType::kRangeError, t.error_id);
  return Value(Str::FromUtf8(t.text));
}
Value NumToPrecision(Vm& vm, const Value& self, std::span<const Value> args) {
  double d = ThisNumber(vm, self);
  if (args.empty() || args[0].IsUndefined()) return Value(vm.ToString(Value(d)));
  NumberText t = NumberToPrecision(d, vm.ToInt32(args[0]));
  if (t.error_id) vm.ThrowError(ErrorType::kRangeError, t.error_id);
  return Value(Str::FromUtf8(t.text));
}

Str ThisString(Vm& vm, const Value& self) {
  if (self.IsString()) return self.AsStr();
  if (self.AsObject() == vm.classes().string->prototype) return Str();
  return vm.ToString(self);
}

Value StrLength(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(static_cast<int32_t>(ThisString(vm, self).size()));
}
Value StrToString(Vm& vm, const Value& self, std::span<const Value>) {
  if (!self.IsString() && self.AsObject() != vm.classes().string->prototype)
    vm.ThrowError(ErrorType::kTypeError, 1004, {"String.prototype.toString"});
  return Value(ThisString(vm, self));
}
Value CharAt(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  double i = ToInteger(ArgNumber(vm, args, 0, 0));
  if (i < 0 || i >= static_cast<double>(s.size())) return Value(Str());
  return Value(Str(std::u16string(1, s.str()[static_cast<size_t>(i)])));
}
Value CharCodeAt(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  double i = ToInteger(ArgNumber(vm, args, 0, 0));
  if (i < 0 || i >= static_cast<double>(s.size())) return Value(NAN);
  return Value(static_cast<int32_t>(s.str()[static_cast<size_t>(i)]));
}
Value Concat(Vm& vm, const Value& self, std::span<const Value> args) {
  std::u16string s = ThisString(vm, self).str();
  for (const Value& a : args) s += vm.ToString(a).str();
  return Value(Str(std::move(s)));
}
size_t Clamp(double d, size_t len) {
  if (std::isnan(d) || d < 0) return 0;
  return d > static_cast<double>(len) ? len : static_cast<size_t>(d);
}
Value IndexOf(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  Str needle = ArgString(vm, args, 0, Str(u"undefined"));
  size_t from = Clamp(ToInteger(ArgNumber(vm, args, 1, 0)), s.size());
  size_t p = s.str().find(needle.str(), from);
  return Value(p == std::u16string::npos ? -1 : static_cast<int32_t>(p));
}
Value LastIndexOf(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  Str needle = ArgString(vm, args, 0, Str(u"undefined"));
  double f = args.size() > 1 ? vm.ToNumber(args[1]) : INFINITY;
  size_t from = std::isnan(f) ? s.size() : Clamp(ToInteger(f), s.size());
  size_t p = s.str().rfind(needle.str(), from);
  return Value(p == std::u16string::npos ? -1 : static_cast<int32_t>(p));
}
double RelIndex(double d, size_t len) {
  d = ToInteger(d);
  if (d < 0) d = std::max(0.0, static_cast<double>(len) + d);
  return std::min(d, static_cast<double>(len));
}
Value Slice(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  double b = RelIndex(ArgNumber(vm, args, 0, 0), s.size());
  double e = args.size() > 1 && !args[1].IsUndefined() ? RelIndex(vm.ToNumber(args[1]), s.size())
                                                       : static_cast<double>(s.size());
  if (e <= b) return Value(Str());
  return Value(Str(s.str().substr(static_cast<size_t>(b), static_cast<size_t>(e - b))));
}
Value Substring(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  size_t b = Clamp(ToInteger(ArgNumber(vm, args, 0, 0)), s.size());
  size_t e = args.size() > 1 && !args[1].IsUndefined()
                 ? Clamp(ToInteger(vm.ToNumber(args[1])), s.size())
                 : s.size();
  if (b > e) std::swap(b, e);
  return Value(Str(s.str().substr(b, e - b)));
}
Value Substr(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  double b = RelIndex(ArgNumber(vm, args, 0, 0), s.size());
  double n = args.size() > 1 && !args[1].IsUndefined() ? ToInteger(vm.ToNumber(args[1]))
                                                       : static_cast<double>(s.size());
  n = std::min(std::max(n, 0.0), static_cast<double>(s.size()) - b);
  if (n <= 0) return Value(Str());
  return Value(Str(s.str().substr(static_cast<size_t>(b), static_cast<size_t>(n))));
}
// Simple case mappings of the common alphabets (one unit to one unit).
char16_t LowerOf(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x178) {
    bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper ? (c & 1) : !(c & 1)) return c + 1;
    return c;
  }
  if (c == 0x178) return 0xFF;
  if ((c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x531 && c <= 0x556) return c + 48;
  if (c >= 0x10A0 && c <= 0x10C5) return c + 0x1C60;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
  return c;
}

char16_t UpperOf(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c == 0xB5) return 0x39C;
  if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper ? !(c & 1) : (c & 1)) return c - 1;
    return c;
  }
  if ((c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) return c - 32;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0x561 && c <= 0x586) return c - 48;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

Value ToLower(Vm& vm, const Value& self, std::span<const Value>) {
  std::u16string s = ThisString(vm, self).str();
  for (auto& c : s) c = LowerOf(c);
  return Value(Str(std::move(s)));
}
Value ToUpper(Vm& vm, const Value& self, std::span<const Value>) {
  std::u16string s = ThisString(vm, self).str();
  for (auto& c : s) c = UpperOf(c);
  return Value(Str(std::move(s)));
}
Value LocaleCompare(Vm& vm, const Value& self, std::span<const Value> args) {
  Str a = ThisString(vm, self), b = ArgString(vm, args, 0, Str(u"undefined"));
  // The difference of the first differing units, else of the lengths.
  const auto &x = a.str(), &y = b.str();
  for (size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (x[i] != y[i]) return Value(static_cast<int32_t>(x[i]) - static_cast<int32_t>(y[i]));
  return Value(static_cast<int32_t>(x.size()) - static_cast<int32_t>(y.size()));
}
[[maybe_unused]] Value Split(Vm& vm, const Value& self, std::span<const Value> args) {
  Str s = ThisString(vm, self);
  uint32_t limit = args.size() > 1 && !args[1].IsUndefined() ? vm.ToUint32(args[1]) : 0xFFFFFFFF;
  std::vector<Value> out;
  if (args.empty() || args[0].IsUndefined()) {
    out.push_back(Value(s));
  } else {
    Str sep = vm.ToString(args[0]);
    const auto& str = s.str();
    if (str.empty()) {
      out.push_back(Value(Str()));
    } else if (sep.empty()) {
      for (size_t i = 0; i < str.size() && out.size() < limit; ++i)
        out.push_back(Value(Str(std::u16string(1, str[i]))));
    } else {
      size_t start = 0;
      while (out.size() < limit) {
        size_t p = str.find(sep.str(), start);
        if (p == std::u16string::npos) {
          out.push_back(Value(Str(str.substr(start))));
          break;
        }
        out.push_back(Value(Str(str.substr(start, p - start))));
        start = p + sep.size();
      }
    }
  }
  if (out.size() > limit) out.resize(limit);
  return Value(static_cast<Object*>(vm.NewArray(std::move(out))));
}
Value FromCharCode(Vm& vm, const Value&, std::span<const Value> args) {
  std::u16string s;
  for (const Value& a : args) s.push_back(static_cast<char16_t>(vm.ToUint32(a) & 0xFFFF));
  return Value(Str(std::move(s)));
}

}  // namespace

const NativeClass& BooleanClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "Boolean";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {AS3Method("toString", BoolToString), AS3Method("valueOf", BoolValueOf)};
    c.statics = {Const("length", Value(int32_t{1}))};
    c.call = BooleanCall;
    c.constructor_params = "*?";
    return c;
  }();
  return spec;
}

const NativeClass& NumberClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "Number";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {AS3Method("toString", NumToString, 1),
                  AS3Method("valueOf", NumValueOf),
                  AS3Method("toFixed", NumFormat<NumberToFixed>, 1),
                  AS3Method("toExponential", NumFormat<NumberToExponential>, 1),
                  AS3Method("toPrecision", NumToPrecision, 1),
                  ProtoMethod("toLocaleString", NumToString)};
    c.statics = {Const("NaN", Value(NAN)),
                 Const("POSITIVE_INFINITY", Value(INFINITY)),
                 Const("NEGATIVE_INFINITY", Value(-INFINITY)),
                 Const("MAX_VALUE", Value(1.7976931348623157e308)),
                 Const("MIN_VALUE", Value(4.9406564584124654e-324)),
                 Const("length", Value(int32_t{1}))};
    // Number also has Math's constants and functions as statics.
    for (const NativeMember& m : MathClass().statics) c.statics.push_back(m);
    c.call = NumberCall;
    c.constructor_params = "*?";
    return c;
  }();
  return spec;
}

const NativeClass& IntClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "int";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {AS3Method("toString", NumToString, 1), AS3Method("valueOf", NumValueOf),
                  AS3Method("toFixed", NumFormat<NumberToFixed>, 1),
                  AS3Method("toExponential", NumFormat<NumberToExponential>, 1),
                  AS3Method("toPrecision", NumToPrecision, 1)};
    c.statics = {Const("MAX_VALUE", Value(int32_t{2147483647})),
                 Const("MIN_VALUE", Value(int32_t{-2147483647 - 1})),
                 Const("length", Value(int32_t{1}))};
    c.call = IntCall;
    c.constructor_params = "*?";
    return c;
  }();
  return spec;
}

const NativeClass& UIntClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "uint";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {AS3Method("toString", NumToString, 1), AS3Method("valueOf", NumValueOf),
                  AS3Method("toFixed", NumFormat<NumberToFixed>, 1),
                  AS3Method("toExponential", NumFormat<NumberToExponential>, 1),
                  AS3Method("toPrecision", NumToPrecision, 1)};
    c.statics = {Const("MAX_VALUE", Value(uint32_t{4294967295u})),
                 Const("MIN_VALUE", Value(uint32_t{0})), Const("length", Value(int32_t{1}))};
    c.call = UIntCall;
    c.constructor_params = "*?";
    return c;
  }();
  return spec;
}

const NativeClass& StringClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.name = "String";
    c.flags = class_flag::kFinal | class_flag::kSealed;
    c.instance = {Getter("length", StrLength),
                  AS3Method("toString", StrToString),
                  AS3Method("valueOf", StrToString),
                  AS3Method("charAt", CharAt, 1),
                  AS3Method("charCodeAt", CharCodeAt, 1),
                  AS3Method("concat", Concat),
                  AS3Method("indexOf", IndexOf, 1),
                  AS3Method("lastIndexOf", LastIndexOf, 1),
                  AS3Method("slice", Slice, 2),
                  AS3Method("substring", Substring, 2),
                  AS3Method("substr", Substr, 2),
                  AS3Method("toLowerCase", ToLower),
                  AS3Method("toUpperCase", ToUpper),
                  AS3Method("toLocaleLowerCase", ToLower),
                  AS3Method("toLocaleUpperCase", ToUpper),
                  AS3Method("localeCompare", LocaleCompare, 1),
                  AS3Method("split", StringSplit, 2),
                  AS3Method("match", StringMatch, 1),
                  AS3Method("replace", StringReplace, 2),
                  AS3Method("search", StringSearch, 1)};
    c.statics = {Method("fromCharCode", FromCharCode, 1), Const("length", Value(int32_t{1}))};
    c.call = StringCall;
    c.constructor_params = "*?";
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
