// The global functions: number parsing, escaping, time, timers, ASSetPropFlags, fscommand.
#include <cmath>

#include "player/avm1/builtins/array_entries.h"
#include "player/avm1/builtins/builtins.h"
#include "player/avm1/builtins/machine_facts.h"
#include "player/avm1/text_util.h"

namespace flashsaver::avm1 {
namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// The player's own prefix rules, each seen in parse_int: "0x" counts only at the very start
// (then whitespace and a sign may follow it) and is stripped whatever the radix; a sign before
// "0x" is dropped together with the zero, leaving the "x" to be read as a digit; a leading zero
// makes octal only at the start and when every digit after it is octal.
Value ParseInt(Vm& vm, const CallArgs& c) {
  if (c.args.empty()) return Value();
  std::string s = vm.ToString(c.Arg(0));
  const bool has_radix = c.args.size() > 1;
  int radix = has_radix ? vm.ToInt(c.Arg(1)) : 0;
  if (has_radix && (radix < 2 || radix > 36)) return NAN;
  auto is_space = [&](size_t k) {
    return k < s.size() && (s[k] == ' ' || s[k] == '\t' || s[k] == '\n' || s[k] == '\r');
  };
  auto is_x = [&](size_t k) { return k < s.size() && (s[k] == 'x' || s[k] == 'X'); };
  auto is_sign = [&](size_t k) { return k < s.size() && (s[k] == '-' || s[k] == '+'); };
  size_t i = 0;
  bool negative = false;
  auto read_sign = [&] {
    if (is_sign(i)) negative = s[i++] == '-';
  };
  if (s.size() >= 2 && s[0] == '0' && is_x(1)) {
    i = 2;
    if (!has_radix) radix = 16;
    while (is_space(i)) ++i;
    read_sign();
  } else if (is_sign(0) && s.size() >= 3 && s[1] == '0' && is_x(2)) {
    i = 2;
    if (!has_radix) radix = 10;
  } else {
    size_t zero = is_sign(0) ? 1 : 0;
    if (!has_radix && zero < s.size() && s[zero] == '0' &&
        s.find_first_not_of("01234567", zero) == std::string::npos) {
      radix = 8;
    }
    while (is_space(i)) ++i;
    read_sign();
    if (radix == 0) radix = 10;
  }
  double result = 0;
  size_t start = i;
  for (; i < s.size(); ++i) {
    int d = DigitValue(s[i]);
    if (d >= radix) break;
    result = result * radix + d;
  }
  if (i == start) return NAN;
  return negative ? -result : result;
}

Value ParseFloat(Vm& vm, const CallArgs& c) { return ParseFloatPrefix(vm.ToString(c.Arg(0))); }

// Without an argument both read NaN, even where undefined converts to 0 (swf5_global_funcs).
Value IsNaN(Vm& vm, const CallArgs& c) {
  return c.args.empty() || std::isnan(vm.ToNumber(c.Arg(0)));
}

Value IsFinite(Vm& vm, const CallArgs& c) {
  return !c.args.empty() && std::isfinite(vm.ToNumber(c.Arg(0)));
}

Value Escape(Vm& vm, const CallArgs& c) { return UrlEscape(vm.ToString(c.Arg(0))); }

Value Unescape(Vm& vm, const CallArgs& c) { return UrlUnescape(vm.ToString(c.Arg(0))); }

Value GetTimer(Vm& vm, const CallArgs&) { return std::floor(vm.host().Milliseconds()); }

Value Random(Vm& vm, const CallArgs& c) {
  int32_t max = vm.ToInt(c.Arg(0));
  return max <= 0 ? 0.0 : std::floor(vm.host().Random() * max);
}

Value AddTimer(Vm& vm, const CallArgs& c, bool once) {
  Vm::Timer t;
  size_t next;
  if (vm.IsFunction(c.Arg(0))) {
    t.fn = c.Arg(0);
    next = 1;
  } else if (Object* o = c.Arg(0).AsObject()) {
    t.this_obj = o;
    t.method = vm.ToString(c.Arg(1));
    next = 2;
  } else {
    return Value();
  }
  t.interval_ms = std::max(0.0, vm.ToNumber(c.Arg(next)));
  if (std::isnan(t.interval_ms)) t.interval_ms = 0;
  for (size_t i = next + 1; i < c.args.size(); ++i) t.args.push_back(c.args[i]);
  t.next_ms = vm.host().Milliseconds() + t.interval_ms;
  t.once = once;
  int32_t id = vm.next_timer_id++;
  vm.timers[id] = std::move(t);
  return static_cast<double>(id);
}

Value SetInterval(Vm& vm, const CallArgs& c) { return AddTimer(vm, c, false); }
Value SetTimeout(Vm& vm, const CallArgs& c) { return AddTimer(vm, c, true); }

Value ClearInterval(Vm& vm, const CallArgs& c) {
  vm.timers.erase(vm.ToInt(c.Arg(0)));
  return Value();
}

// ASSetPropFlags(object, names, set, clear): names is a comma list, an array or null for all.
Value AsSetPropFlags(Vm& vm, const CallArgs& c) {
  Object* o = c.Arg(0).AsObject();
  if (!o) return Value();
  uint32_t set = static_cast<uint32_t>(vm.ToInt(c.Arg(2)));
  uint32_t clear = static_cast<uint32_t>(vm.ToInt(c.Arg(3)));
  auto apply = [&](Property& p) { p.flags = static_cast<uint16_t>((p.flags & ~clear) | set); };
  Value names = c.Arg(1);
  if (names.IsNull()) {
    o->ForEachOwn(apply);
    return Value();
  }
  std::vector<std::string> list;
  if (Object* arr = names.AsObject()) {
    // Read as Array's methods read it: a huge sparse length costs only what is stored.
    for (const auto& item : ReadEntries(vm, arr).items) list.push_back(vm.ToString(item.second));
  } else if (names.IsString()) {
    std::string s = names.AsString();
    size_t start = 0;
    while (start <= s.size()) {
      size_t comma = s.find(',', start);
      if (comma == std::string::npos) comma = s.size();
      list.push_back(s.substr(start, comma - start));
      start = comma + 1;
    }
  } else {
    return Value();
  }
  for (auto& n : list) {
    if (Property* p = o->FindOwn(n, vm.case_sensitive())) apply(*p);
  }
  return Value();
}

Value FsCommand(Vm& vm, const CallArgs& c) {
  vm.host().FsCommand(vm.ToString(c.Arg(0)), vm.ToString(c.Arg(1)));
  return Value();
}

Value GetVersion(Vm&, const CallArgs&) { return kPlayerVersion; }

Value Noop(Vm&, const CallArgs&) { return Value(); }

}  // namespace

void InstallGlobals(Vm& vm) {
  Object* g = vm.global();
  vm.DefineMethod(g, "parseInt", ParseInt);
  vm.DefineMethod(g, "parseFloat", ParseFloat);
  vm.DefineMethod(g, "isNaN", IsNaN);
  vm.DefineMethod(g, "isFinite", IsFinite);
  vm.DefineMethod(g, "escape", Escape);
  vm.DefineMethod(g, "unescape", Unescape);
  vm.DefineMethod(g, "getTimer", GetTimer);
  vm.DefineMethod(g, "random", Random);
  vm.DefineMethod(g, "setInterval", SetInterval);
  vm.DefineMethod(g, "clearInterval", ClearInterval);
  vm.DefineMethod(g, "setTimeout", SetTimeout);
  vm.DefineMethod(g, "clearTimeout", ClearInterval);
  vm.DefineMethod(g, "ASSetPropFlags", AsSetPropFlags);
  vm.DefineMethod(g, "fscommand", FsCommand);
  vm.DefineMethod(g, "getVersion", GetVersion);
  vm.DefineMethod(g, "updateAfterEvent", Noop);
  g->Define("NaN", NAN, prop_flag::kDontEnum);
  g->Define("Infinity", INFINITY, prop_flag::kDontEnum);
}

std::string UrlEscape(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char ch : s) {
    bool plain = (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    if (plain) {
      out.push_back(static_cast<char>(ch));
    } else {
      out.push_back('%');
      out.push_back(kHex[ch >> 4]);
      out.push_back(kHex[ch & 15]);
    }
  }
  return out;
}

std::string UrlUnescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      int hi = DigitValue(s[i + 1]), lo = DigitValue(s[i + 2]);
      if (hi < 16 && lo < 16) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(s[i] == '+' ? ' ' : s[i]);
  }
  return out;
}

}  // namespace flashsaver::avm1
