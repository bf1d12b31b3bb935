// Array: elements are ordinary index properties kept in step with length (members.cpp).
#include <algorithm>
#include <cmath>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

constexpr int kCaseInsensitive = 1;
constexpr int kDescending = 2;
constexpr int kUniqueSort = 4;
constexpr int kReturnIndexedArray = 8;
constexpr int kNumeric = 16;

std::vector<Value> Elements(Vm& vm, Object* a) {
  std::vector<Value> out;
  if (!a) return out;
  uint32_t n = std::min<uint32_t>(vm.ArrayLength(a), 1u << 24);
  out.reserve(n);
  for (uint32_t i = 0; i < n; ++i) out.push_back(vm.GetIndex(a, i));
  return out;
}

void Assign(Vm& vm, Object* a, const std::vector<Value>& items) {
  vm.SetArrayLength(a, 0);
  for (uint32_t i = 0; i < items.size(); ++i) vm.SetIndex(a, i, items[i]);
  vm.SetArrayLength(a, static_cast<uint32_t>(items.size()));
}

Value Construct(Vm& vm, const CallArgs& c) {
  Object* a = vm.NewArray();
  if (c.args.size() == 1 && c.args[0].IsNumber()) {
    // The length is the count made a 32-bit integer, negative values included; it makes no
    // elements.
    const double n = c.args[0].AsNumber();
    a->SetOwn("length", static_cast<double>(ToInt32(n)), true).flags =
        prop_flag::kDontEnum | prop_flag::kDontDelete;
  } else {
    for (uint32_t i = 0; i < c.args.size(); ++i) vm.SetIndex(a, i, c.args[i]);
  }
  return a;
}

Value Push(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  uint32_t n = vm.ArrayLength(c.this_obj);
  for (const Value& v : c.args) vm.SetIndex(c.this_obj, n++, v);
  vm.SetArrayLength(c.this_obj, n);
  return static_cast<double>(n);
}

Value Pop(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  uint32_t n = vm.ArrayLength(c.this_obj);
  if (n == 0) return Value();
  Value v = vm.GetIndex(c.this_obj, n - 1);
  vm.SetArrayLength(c.this_obj, n - 1);
  return v;
}

Value Shift(Vm& vm, const CallArgs& c) {
  std::vector<Value> items = Elements(vm, c.this_obj);
  if (items.empty()) return Value();
  Value first = items.front();
  items.erase(items.begin());
  Assign(vm, c.this_obj, items);
  return first;
}

Value Unshift(Vm& vm, const CallArgs& c) {
  std::vector<Value> items = Elements(vm, c.this_obj);
  if (!c.this_obj) return Value();
  items.insert(items.begin(), c.args.begin(), c.args.end());
  Assign(vm, c.this_obj, items);
  return static_cast<double>(items.size());
}

int64_t Position(Vm& vm, const Value& v, int64_t len) {
  double d = vm.ToNumber(v);
  if (std::isnan(d)) d = 0;
  d = std::trunc(d);
  if (d < 0) d = std::max(0.0, d + static_cast<double>(len));
  return static_cast<int64_t>(std::min(d, static_cast<double>(len)));
}

Value Slice(Vm& vm, const CallArgs& c) {
  std::vector<Value> items = Elements(vm, c.this_obj);
  int64_t len = static_cast<int64_t>(items.size());
  int64_t a = c.args.empty() ? 0 : Position(vm, c.Arg(0), len);
  int64_t b = c.args.size() < 2 ? len : Position(vm, c.Arg(1), len);
  std::vector<Value> out;
  for (int64_t i = a; i < b; ++i) out.push_back(items[static_cast<size_t>(i)]);
  return vm.NewArray(out);
}

Value Splice(Vm& vm, const CallArgs& c) {
  if (!c.this_obj || c.args.empty()) return Value();
  std::vector<Value> items = Elements(vm, c.this_obj);
  int64_t len = static_cast<int64_t>(items.size());
  int64_t start = Position(vm, c.Arg(0), len);
  int64_t count = len - start;
  if (c.args.size() > 1) {
    double d = std::trunc(vm.ToNumber(c.Arg(1)));
    if (std::isnan(d) || d < 0) d = 0;
    count = static_cast<int64_t>(std::min(d, static_cast<double>(len - start)));
  }
  std::vector<Value> removed(items.begin() + start, items.begin() + start + count);
  items.erase(items.begin() + start, items.begin() + start + count);
  if (c.args.size() > 2) items.insert(items.begin() + start, c.args.begin() + 2, c.args.end());
  Assign(vm, c.this_obj, items);
  return vm.NewArray(removed);
}

Value Concat(Vm& vm, const CallArgs& c) {
  std::vector<Value> items = Elements(vm, c.this_obj);
  for (const Value& v : c.args) {
    Object* o = v.AsObject();
    if (o && o->kind() == ObjectKind::kArray) {
      for (const Value& e : Elements(vm, o)) items.push_back(e);
    } else {
      items.push_back(v);
    }
  }
  return vm.NewArray(items);
}

Value Join(Vm& vm, const CallArgs& c) {
  std::string sep = c.args.empty() || c.Arg(0).IsUndefined() ? "," : vm.ToString(c.Arg(0));
  std::vector<Value> items = Elements(vm, c.this_obj);
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    std::string item = vm.ToString(items[i]);
    vm.CheckStringSize(out.size() + (i ? sep.size() : 0) + item.size());
    if (i) out += sep;
    out += item;
  }
  return out;
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  CallArgs none{c.this_obj, {}, c.callee, false};
  return Join(vm, none);
}

Value Reverse(Vm& vm, const CallArgs& c) {
  std::vector<Value> items = Elements(vm, c.this_obj);
  std::reverse(items.begin(), items.end());
  if (c.this_obj) Assign(vm, c.this_obj, items);
  return c.this_obj;
}

// The player's own quicksort, comparison for comparison (array_sort_random: a comparator that
// answers at random sees the same calls in the same order): the first element is the pivot,
// a left scan passes elements the pivot is greater than, a right scan passes the rest. A
// comparator that is not consistent still ends, since both scans are bounded. The pending
// ranges live on a heap stack, so the host stack does not grow with the array.
// compare(a, b) > 0 means b goes before a.
template <typename Compare>
void QuickSort(Vm& vm, std::vector<size_t>& v, Compare compare_once) {
  // Sorted input costs n * n / 2 comparisons: a long sort must still end at the limits.
  auto compare = [&](size_t a, size_t b) {
    vm.PollLimits();
    return compare_once(a, b);
  };
  std::vector<std::pair<size_t, size_t>> pending;
  if (v.size() > 1) pending.push_back({0, v.size() - 1});
  while (!pending.empty()) {
    auto [lo, hi] = pending.back();
    pending.pop_back();
    if (lo >= hi) continue;
    const size_t pivot = v[lo];
    size_t i = lo + 1, j = hi;
    for (;;) {
      while (i < j && compare(pivot, v[i]) > 0) ++i;
      while (j > lo && compare(pivot, v[j]) <= 0) --j;
      if (i >= j) break;
      std::swap(v[i], v[j]);
    }
    std::swap(v[lo], v[j]);
    // The lower part first, as the player recurses.
    if (j + 1 < hi) pending.push_back({j + 1, hi});
    if (j > lo + 1) pending.push_back({lo, j - 1});
  }
}

// Sorts the array (or reports the order) under the flags; key gives the value compared.
Value SortWith(Vm& vm, Object* self, const std::vector<Value>& items,
               const std::vector<Value>& keys, const Value& compare, int flags) {
  std::vector<size_t> order(items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  bool unique_failed = false;
  auto cmp = [&](size_t a, size_t b) -> int {
    int r;
    if (vm.IsFunction(compare)) {
      Value args[2] = {keys[a], keys[b]};
      r = static_cast<int>(
          std::clamp(vm.ToNumber(vm.CallFunction(compare, nullptr, args)), -1.0, 1.0));
    } else {
      r = CompareForSort(vm, keys[a], keys[b], flags);
    }
    if (flags & kDescending) r = -r;
    if (r == 0 && (flags & kUniqueSort) && a != b) unique_failed = true;
    return r;
  };
  QuickSort(vm, order, cmp);
  if (unique_failed) return 0.0;
  if (flags & kReturnIndexedArray) {
    std::vector<Value> idx;
    for (size_t i : order) idx.push_back(static_cast<double>(i));
    return vm.NewArray(idx);
  }
  std::vector<Value> sorted;
  for (size_t i : order) sorted.push_back(items[i]);
  Assign(vm, self, sorted);
  return self;
}

Value Sort(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  Value compare;
  int flags = 0;
  if (vm.IsFunction(c.Arg(0))) {
    compare = c.Arg(0);
    flags = vm.ToInt(c.Arg(1));
  } else if (!c.args.empty()) {
    flags = vm.ToInt(c.Arg(0));
  }
  std::vector<Value> items = Elements(vm, c.this_obj);
  return SortWith(vm, c.this_obj, items, items, compare, flags);
}

Value SortOn(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  std::vector<Value> items = Elements(vm, c.this_obj);
  std::vector<std::string> fields;
  std::vector<int> field_flags;
  if (Object* list = c.Arg(0).AsObject(); list && list->kind() == ObjectKind::kArray) {
    for (const Value& v : Elements(vm, list)) fields.push_back(vm.ToString(v));
  } else {
    fields.push_back(vm.ToString(c.Arg(0)));
  }
  int flags = 0;
  if (Object* fl = c.Arg(1).AsObject(); fl && fl->kind() == ObjectKind::kArray) {
    for (const Value& v : Elements(vm, fl)) field_flags.push_back(vm.ToInt(v));
  } else {
    flags = vm.ToInt(c.Arg(1));
  }
  std::vector<size_t> order(items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  bool unique_failed = false;
  auto cmp = [&](size_t a, size_t b) {
    for (size_t f = 0; f < fields.size(); ++f) {
      int fflags = f < field_flags.size() ? field_flags[f] : flags;
      Value ka = vm.GetMemberOf(items[a], fields[f]);
      Value kb = vm.GetMemberOf(items[b], fields[f]);
      int r = CompareForSort(vm, ka, kb, fflags);
      if (fflags & kDescending) r = -r;
      if (r != 0) return r;
    }
    if ((flags & kUniqueSort) && a != b) unique_failed = true;
    return 0;
  };
  QuickSort(vm, order, cmp);
  if (unique_failed) return 0.0;
  if (flags & kReturnIndexedArray) {
    std::vector<Value> idx;
    for (size_t i : order) idx.push_back(static_cast<double>(i));
    return vm.NewArray(idx);
  }
  std::vector<Value> sorted;
  for (size_t i : order) sorted.push_back(items[i]);
  Assign(vm, c.this_obj, sorted);
  return c.this_obj;
}

}  // namespace

int CompareForSort(Vm& vm, const Value& a, const Value& b, int flags) {
  // undefined sorts after everything else.
  if (a.IsUndefined() || b.IsUndefined()) {
    return a.IsUndefined() == b.IsUndefined() ? 0 : (a.IsUndefined() ? 1 : -1);
  }
  if ((flags & kNumeric) && a.IsNumber() && b.IsNumber()) {
    double x = a.AsNumber(), y = b.AsNumber();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  std::string x = vm.ToString(a), y = vm.ToString(b);
  if (flags & kCaseInsensitive) {
    x = FoldCase(x);
    y = FoldCase(y);
  }
  return x < y ? -1 : (x > y ? 1 : 0);
}

void InstallArray(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.array_proto = proto;
  struct {
    const char* name;
    NativeFn fn;
  } const methods[] = {{"push", Push},       {"pop", Pop},       {"shift", Shift},
                       {"unshift", Unshift}, {"slice", Slice},   {"splice", Splice},
                       {"concat", Concat},   {"join", Join},     {"reverse", Reverse},
                       {"sort", Sort},       {"sortOn", SortOn}, {"toString", ToStringMethod}};
  for (const auto& m : methods) vm.DefineMethod(proto, m.name, m.fn, 7);
  FunctionObject* ctor = vm.DefineClass("Array", Construct, Construct, proto);
  vm.array_ctor = ctor;
  ctor->Define("CASEINSENSITIVE", kCaseInsensitive, 7);
  ctor->Define("DESCENDING", kDescending, 7);
  ctor->Define("UNIQUESORT", kUniqueSort, 7);
  ctor->Define("RETURNINDEXEDARRAY", kReturnIndexedArray, 7);
  ctor->Define("NUMERIC", kNumeric, 7);
}

}  // namespace flashsaver::avm1
