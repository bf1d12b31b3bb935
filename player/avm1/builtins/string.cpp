// String: methods on UTF-16 code units, as the player counts them.
#include <algorithm>
#include <cmath>

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/text_util.h"

namespace flashsaver::avm1 {
namespace {

Value Call(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return "";
  std::string s = vm.ToString(c.Arg(0));
  // super(value) in a subclass fills the wrapper being constructed.
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kString) {
    static_cast<ValueObject*>(c.this_obj)->value = s;
  }
  return s;
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* o = vm.New<ValueObject>(ObjectKind::kString,
                                Value(c.args.empty() ? std::string() : vm.ToString(c.Arg(0))));
  o->Define("__proto__", vm.string_proto);
  o->Define("__constructor__", c.callee);
  return o;
}

// The string a method works on: a boxed string's value, or any this converted.
std::u16string This(Vm& vm, const CallArgs& c) {
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kString) {
    return ToUtf16(static_cast<ValueObject*>(c.this_obj)->value.AsString());
  }
  return ToUtf16(vm.ToString(c.this_obj ? Value(c.this_obj) : Value()));
}

// An index argument: integer part, clamped into [0, len].
int64_t Clamp(double d, int64_t len) {
  if (std::isnan(d)) return 0;
  if (d < 0) return 0;
  if (d > static_cast<double>(len)) return len;
  return static_cast<int64_t>(d);
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  if (c.this_obj && c.this_obj->kind() == ObjectKind::kString) {
    return static_cast<ValueObject*>(c.this_obj)->value;
  }
  return vm.ToString(c.this_obj ? Value(c.this_obj) : Value());
}

Value CharAt(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  double i = vm.ToNumber(c.Arg(0));
  if (std::isnan(i)) i = 0;
  i = std::trunc(i);
  if (i < 0 || i >= static_cast<double>(s.size())) return "";
  return FromUtf16(s.substr(static_cast<size_t>(i), 1));
}

Value CharCodeAt(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  double i = vm.ToNumber(c.Arg(0));
  if (std::isnan(i)) i = 0;
  i = std::trunc(i);
  // Past either end: NaN, though SWF 5 movies get 0.
  if (i < 0 || i >= static_cast<double>(s.size())) return vm.swf_version() >= 6 ? NAN : 0.0;
  return static_cast<double>(s[static_cast<size_t>(i)]);
}

Value Concat(Vm& vm, const CallArgs& c) {
  std::string out = FromUtf16(This(vm, c));
  for (const Value& v : c.args) {
    std::string part = vm.ToString(v);
    vm.CheckStringSize(out.size() + part.size());
    out += part;
  }
  return out;
}

Value IndexOf(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  std::u16string needle = ToUtf16(vm.ToString(c.Arg(0)));
  const double from = c.args.size() > 1 ? std::trunc(vm.ToNumber(c.Arg(1))) : 0;
  // A start past the end finds nothing, not even the empty string.
  if (from > static_cast<double>(s.size())) return -1.0;
  int64_t start = c.args.size() > 1 ? Clamp(from, s.size()) : 0;
  size_t pos = s.find(needle, static_cast<size_t>(start));
  return pos == std::u16string::npos ? -1.0 : static_cast<double>(pos);
}

Value LastIndexOf(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  std::u16string needle = ToUtf16(vm.ToString(c.Arg(0)));
  size_t from = std::u16string::npos;
  if (c.args.size() > 1) {
    double d = std::trunc(vm.ToNumber(c.Arg(1)));
    if (d < 0) return -1.0;
    if (!std::isnan(d) && d < static_cast<double>(s.size())) from = static_cast<size_t>(d);
  }
  size_t pos = s.rfind(needle, from);
  return pos == std::u16string::npos ? -1.0 : static_cast<double>(pos);
}

// slice and substr count negative positions from the end.
int64_t FromEnd(double d, int64_t len) {
  if (std::isnan(d)) return 0;
  d = std::trunc(d);
  if (d < 0) d += static_cast<double>(len);
  return Clamp(d, len);
}

Value Slice(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  int64_t len = static_cast<int64_t>(s.size());
  int64_t a = c.args.empty() ? 0 : FromEnd(vm.ToNumber(c.Arg(0)), len);
  int64_t b =
      c.args.size() < 2 || c.Arg(1).IsUndefined() ? len : FromEnd(vm.ToNumber(c.Arg(1)), len);
  if (b <= a) return "";
  return FromUtf16(s.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)));
}

Value Substr(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  int64_t len = static_cast<int64_t>(s.size());
  int64_t a = c.args.empty() ? 0 : FromEnd(vm.ToNumber(c.Arg(0)), len);
  int64_t n = len - a;
  if (c.args.size() > 1 && !c.Arg(1).IsUndefined()) {
    double d = vm.ToNumber(c.Arg(1));
    if (std::isnan(d)) d = 0;
    d = std::trunc(d);
    if (d < 0) {
      // A negative count is taken from the length, and the player gives nothing when the
      // substring would then reach the end of the string (string_methods_negative_args).
      d += static_cast<double>(len);
      if (d <= 0 || a + static_cast<int64_t>(d) >= len) return "";
    }
    n = static_cast<int64_t>(std::min(d, static_cast<double>(len)));
    n = std::min(n, len - a);
  }
  if (n <= 0) return "";
  return FromUtf16(s.substr(static_cast<size_t>(a), static_cast<size_t>(n)));
}

Value Substring(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  int64_t len = static_cast<int64_t>(s.size());
  int64_t a = c.args.empty() ? 0 : Clamp(std::trunc(vm.ToNumber(c.Arg(0))), len);
  int64_t b = c.args.size() < 2 || c.Arg(1).IsUndefined()
                  ? len
                  : Clamp(std::trunc(vm.ToNumber(c.Arg(1))), len);
  if (b < a) std::swap(a, b);
  return FromUtf16(s.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)));
}

Value Split(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  Object* out = vm.NewArray();
  Value sep_v = c.Arg(0);
  uint32_t limit = 0xFFFFFFFFu;
  if (c.args.size() > 1 && !c.Arg(1).IsUndefined()) {
    double l = vm.ToNumber(c.Arg(1));
    limit = std::isnan(l) || l < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(std::min(l, 4294967295.0));
  }
  uint32_t n = 0;
  auto add = [&](std::u16string_view part) {
    if (n < limit) vm.SetIndex(out, n++, FromUtf16(part));
  };
  if (sep_v.IsUndefined()) {
    add(s);
    return out;
  }
  std::u16string sep = ToUtf16(vm.ToString(sep_v));
  if (sep.empty()) {
    // Flash splits into characters on an empty separator from SWF 6, else returns the whole.
    if (vm.swf_version() >= 6) {
      for (size_t i = 0; i < s.size(); ++i) add(std::u16string_view(s).substr(i, 1));
    } else {
      add(s);
    }
    return out;
  }
  if (s.empty()) {
    if (vm.swf_version() >= 7)
      add(s);
    else
      add(s);
    return out;
  }
  size_t start = 0;
  while (true) {
    size_t pos = s.find(sep, start);
    if (pos == std::u16string::npos) {
      add(std::u16string_view(s).substr(start));
      break;
    }
    add(std::u16string_view(s).substr(start, pos - start));
    start = pos + sep.size();
  }
  return out;
}

Value ToLowerCase(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  for (auto& ch : s) {
    if (ch < 128)
      ch = static_cast<char16_t>(std::tolower(ch));
    else if ((ch >= 0xC0 && ch <= 0xDE && ch != 0xD7))
      ch = static_cast<char16_t>(ch + 32);
  }
  return FromUtf16(s);
}

Value ToUpperCase(Vm& vm, const CallArgs& c) {
  std::u16string s = This(vm, c);
  for (auto& ch : s) {
    if (ch < 128)
      ch = static_cast<char16_t>(std::toupper(ch));
    else if ((ch >= 0xE0 && ch <= 0xFE && ch != 0xF7))
      ch = static_cast<char16_t>(ch - 32);
  }
  return FromUtf16(s);
}

Value FromCharCode(Vm& vm, const CallArgs& c) {
  std::u16string s;
  for (const Value& v : c.args) {
    uint16_t code = static_cast<uint16_t>(ToUint32(vm.ToNumber(v)));
    if (code == 0) break;  // the player's strings end at a NUL
    s.push_back(code);
  }
  return FromUtf16(s);
}

}  // namespace

void InstallString(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.string_proto = proto;
  struct {
    const char* name;
    NativeFn fn;
  } const methods[] = {{"toString", ToStringMethod},
                       {"valueOf", ToStringMethod},
                       {"charAt", CharAt},
                       {"charCodeAt", CharCodeAt},
                       {"concat", Concat},
                       {"indexOf", IndexOf},
                       {"lastIndexOf", LastIndexOf},
                       {"slice", Slice},
                       {"split", Split},
                       {"substr", Substr},
                       {"substring", Substring},
                       {"toLowerCase", ToLowerCase},
                       {"toUpperCase", ToUpperCase}};
  for (const auto& m : methods) vm.DefineMethod(proto, m.name, m.fn, 3);
  FunctionObject* ctor = vm.DefineClass("String", Call, Construct, proto);
  vm.DefineMethod(ctor, "fromCharCode", FromCharCode, 7);
}

}  // namespace flashsaver::avm1
