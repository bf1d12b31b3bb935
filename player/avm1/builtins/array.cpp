// Array: elements are ordinary index properties kept in step with length (members.cpp).
#include <algorithm>
#include <cmath>

#include "player/avm1/builtins/array_entries.h"
#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

constexpr int kCaseInsensitive = 1;
constexpr int kDescending = 2;
constexpr int kUniqueSort = 4;
constexpr int kReturnIndexedArray = 8;
constexpr int kNumeric = 16;

// The values at every index, for arrays short enough to list whole; a long sparse one lists
// its stored values only.
std::vector<Value> Elements(Vm& vm, Object* a) {
  std::vector<Value> out;
  for (auto& [index, value] : ReadEntries(vm, a).items) out.push_back(std::move(value));
  return out;
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
  for (const Value& v : c.args) {
    if (n >= kMaxArrayLength) break;
    vm.SetIndex(c.this_obj, n++, v);
  }
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

// Moves the entries at `from` and after by `delta` places (negative: towards the start).
void ShiftEntries(ArrayEntries& e, uint64_t from, int64_t delta) {
  for (auto& [index, value] : e.items) {
    if (index >= from) index = static_cast<uint64_t>(static_cast<int64_t>(index) + delta);
  }
  e.length = static_cast<uint64_t>(static_cast<int64_t>(e.length) + delta);
}

Value Shift(Vm& vm, const CallArgs& c) {
  ArrayEntries e = ReadEntries(vm, c.this_obj);
  if (e.length == 0) return Value();
  Value first;
  if (!e.items.empty() && e.items.front().first == 0) {
    first = e.items.front().second;
    e.items.erase(e.items.begin());
  }
  ShiftEntries(e, 1, -1);
  WriteEntries(vm, c.this_obj, e);
  return first;
}

Value Unshift(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  ArrayEntries e = ReadEntries(vm, c.this_obj);
  ShiftEntries(e, 0, static_cast<int64_t>(c.args.size()));
  for (size_t i = 0; i < c.args.size(); ++i) e.items.insert(e.items.begin() + i, {i, c.args[i]});
  WriteEntries(vm, c.this_obj, e);
  return static_cast<double>(std::min(e.length, kMaxArrayLength));
}

int64_t Position(Vm& vm, const Value& v, int64_t len) {
  double d = vm.ToNumber(v);
  if (std::isnan(d)) d = 0;
  d = std::trunc(d);
  if (d < 0) d = std::max(0.0, d + static_cast<double>(len));
  return static_cast<int64_t>(std::min(d, static_cast<double>(len)));
}

// The entries in [from, to), moved to start at 0.
ArrayEntries Range(const ArrayEntries& e, uint64_t from, uint64_t to) {
  ArrayEntries out;
  out.length = to > from ? to - from : 0;
  for (const auto& [index, value] : e.items) {
    if (index >= from && index < to) out.items.emplace_back(index - from, value);
  }
  return out;
}

Value Slice(Vm& vm, const CallArgs& c) {
  const ArrayEntries e = ReadEntries(vm, c.this_obj);
  const auto len = static_cast<int64_t>(e.length);
  const int64_t a = c.args.empty() ? 0 : Position(vm, c.Arg(0), len);
  const int64_t b = c.args.size() < 2 ? len : Position(vm, c.Arg(1), len);
  return NewArrayOf(vm, Range(e, static_cast<uint64_t>(a), static_cast<uint64_t>(b)));
}

Value Splice(Vm& vm, const CallArgs& c) {
  if (!c.this_obj || c.args.empty()) return Value();
  ArrayEntries e = ReadEntries(vm, c.this_obj);
  const auto len = static_cast<int64_t>(e.length);
  const int64_t start = Position(vm, c.Arg(0), len);
  int64_t count = len - start;
  if (c.args.size() > 1) {
    double d = std::trunc(vm.ToNumber(c.Arg(1)));
    if (std::isnan(d) || d < 0) d = 0;
    count = static_cast<int64_t>(std::min(d, static_cast<double>(len - start)));
  }
  const auto from = static_cast<uint64_t>(start), to = static_cast<uint64_t>(start + count);
  ArrayEntries removed = Range(e, from, to);
  std::erase_if(e.items, [&](const auto& item) { return item.first >= from && item.first < to; });
  const size_t added = c.args.size() > 2 ? c.args.size() - 2 : 0;
  ShiftEntries(e, to, static_cast<int64_t>(added) - count);
  auto at = std::find_if(e.items.begin(), e.items.end(),
                         [&](const auto& item) { return item.first >= from; });
  for (size_t i = 0; i < added; ++i) at = e.items.insert(at, {from + i, c.args[i + 2]}) + 1;
  WriteEntries(vm, c.this_obj, e);
  return NewArrayOf(vm, removed);
}

Value Concat(Vm& vm, const CallArgs& c) {
  ArrayEntries e = ReadEntries(vm, c.this_obj);
  for (const Value& v : c.args) {
    if (e.length >= kMaxArrayLength) break;
    Object* o = v.AsObject();
    if (o && o->kind() == ObjectKind::kArray) {
      ArrayEntries more = ReadEntries(vm, o);
      for (auto& [index, value] : more.items) e.items.emplace_back(index + e.length, value);
      e.length += more.length;
    } else {
      e.items.emplace_back(e.length++, v);
    }
  }
  return NewArrayOf(vm, e);
}

Value Join(Vm& vm, const CallArgs& c) {
  std::string sep = c.args.empty() || c.Arg(0).IsUndefined() ? "," : vm.ToString(c.Arg(0));
  const ArrayEntries e = ReadEntries(vm, c.this_obj);
  if (e.length == 0) return std::string();
  // The holes of a sparse array read as undefined; the whole string is sized before it is
  // built, so a join that would pass the string limit gives up at once.
  const std::string hole = vm.ToString(Value());
  std::vector<std::string> texts;
  texts.reserve(e.items.size());
  uint64_t size = (e.length - 1) * sep.size() + (e.length - e.items.size()) * hole.size();
  for (const auto& item : e.items) {
    texts.push_back(vm.ToString(item.second));
    size += texts.back().size();
    vm.CheckStringSize(size);
  }
  vm.CheckStringSize(size);
  std::string out;
  out.reserve(size);
  uint64_t next = 0;  // the index whose text comes next
  auto add_holes = [&](uint64_t until) {
    // Each hole adds a byte or more, within the size checked above, unless it adds nothing.
    if (sep.empty() && hole.empty()) next = std::max(next, until);
    for (; next < until; ++next) {
      if (next) out += sep;
      out += hole;
    }
  };
  for (size_t i = 0; i < e.items.size(); ++i) {
    add_holes(e.items[i].first);
    if (next) out += sep;
    out += texts[i];
    ++next;
  }
  add_holes(e.length);
  return out;
}

Value ToStringMethod(Vm& vm, const CallArgs& c) {
  CallArgs none{c.this_obj, {}, c.callee, false};
  return Join(vm, none);
}

Value Reverse(Vm& vm, const CallArgs& c) {
  ArrayEntries e = ReadEntries(vm, c.this_obj);
  for (auto& item : e.items) item.first = e.length - 1 - item.first;
  std::reverse(e.items.begin(), e.items.end());
  WriteEntries(vm, c.this_obj, e);
  return c.this_obj;
}

// The sorted values from the start; a sparse array's holes, which sort last, stay after them.
void SortedInto(Vm& vm, Object* self, const std::vector<Value>& items,
                const std::vector<size_t>& order) {
  ArrayEntries e;
  e.length = vm.ArrayLength(self);
  for (size_t i : order) e.items.emplace_back(e.items.size(), items[i]);
  WriteEntries(vm, self, e);
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
  SortedInto(vm, self, items, order);
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
  SortedInto(vm, c.this_obj, items, order);
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
  for (const auto& m : methods) vm.DefineMethod(proto, m.name, m.fn, 3);
  FunctionObject* ctor = vm.DefineClass("Array", Construct, Construct, proto);
  vm.array_ctor = ctor;
  ctor->Define("CASEINSENSITIVE", kCaseInsensitive, 7);
  ctor->Define("DESCENDING", kDescending, 7);
  ctor->Define("UNIQUESORT", kUniqueSort, 7);
  ctor->Define("RETURNINDEXEDARRAY", kReturnIndexedArray, 7);
  ctor->Define("NUMERIC", kNumeric, 7);
}

}  // namespace flashsaver::avm1
