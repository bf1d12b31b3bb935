// Array.sort and Array.sortOn with Flash's option flags.
#include <algorithm>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

constexpr uint32_t kCaseInsensitive = 1;
constexpr uint32_t kDescending = 2;
constexpr uint32_t kUniqueSort = 4;
constexpr uint32_t kReturnIndexedArray = 8;
constexpr uint32_t kNumeric = 16;

std::u16string Lower(std::u16string s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return s;
}

// Compares two elements under the flags (ignoring DESCENDING): <0, 0 or >0.
int CompareValues(Vm& vm, const Value& a, const Value& b, uint32_t flags) {
  // undefined sorts after everything.
  if (a.IsUndefined() || b.IsUndefined()) return a.IsUndefined() - b.IsUndefined();
  if (flags & kNumeric) {
    double x = vm.ToNumber(a), y = vm.ToNumber(b);
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) - std::isnan(y);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  std::u16string x = vm.ToString(a).str(), y = vm.ToString(b).str();
  if (flags & kCaseInsensitive) {
    x = Lower(std::move(x));
    y = Lower(std::move(y));
  }
  return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

// Sorts the indices of `values`; returns false when UNIQUESORT found equal elements.
bool SortIndices(std::vector<uint32_t>& order, uint32_t flags,
                 const std::function<int(uint32_t, uint32_t)>& cmp) {
  bool equal_found = false;
  std::stable_sort(order.begin(), order.end(), [&](uint32_t i, uint32_t j) {
    int c = cmp(i, j);
    if (c == 0) equal_found = true;
    return (flags & kDescending) ? c > 0 : c < 0;
  });
  return !((flags & kUniqueSort) && equal_found);
}

Value Finish(Vm& vm, ArrayObject* a, const std::vector<Value>& values,
             const std::vector<uint32_t>& order, uint32_t flags, bool ok) {
  if (!ok) return Value(int32_t{0});
  if (flags & kReturnIndexedArray) {
    std::vector<Value> idx;
    for (uint32_t i : order) idx.push_back(Value(static_cast<int32_t>(i)));
    return Value(static_cast<Object*>(vm.NewArray(std::move(idx))));
  }
  std::vector<Value> sorted;
  sorted.reserve(values.size());
  for (uint32_t i : order) sorted.push_back(values[i]);
  a->Assign(std::move(sorted));
  return Value(static_cast<Object*>(a));
}

}  // namespace

Value ArraySort(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = ThisAs<ArrayObject>(vm, self, "Array");
  Value fn;
  uint32_t flags = 0;
  if (!args.empty()) {
    if (args[0].AsObject() && args[0].AsObject()->kind() == ObjectKind::kFunction) {
      fn = args[0];
      flags = ArgUInt(vm, args, 1, 0);
    } else {
      flags = vm.ToUint32(args[0]);
    }
  }
  std::vector<Value> values = a->ToVector();
  std::vector<uint32_t> order(values.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  bool ok = SortIndices(order, flags, [&](uint32_t i, uint32_t j) {
    if (!fn.IsUndefined()) {
      if (values[i].IsUndefined() || values[j].IsUndefined())
        return static_cast<int>(values[i].IsUndefined()) -
               static_cast<int>(values[j].IsUndefined());
      Value pair[2] = {values[i], values[j]};
      double r = vm.ToNumber(vm.Call(fn, Value(), pair));
      return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    return CompareValues(vm, values[i], values[j], flags);
  });
  return Finish(vm, a, values, order, flags, ok);
}

Value ArraySortOn(Vm& vm, const Value& self, std::span<const Value> args) {
  ArrayObject* a = ThisAs<ArrayObject>(vm, self, "Array");
  std::vector<Str> names;
  std::vector<uint32_t> field_flags;
  Value n = Arg(args, 0);
  if (auto* na = dynamic_cast<ArrayObject*>(n.AsObject())) {
    for (const Value& v : na->ToVector()) names.push_back(vm.ToString(v));
  } else {
    names.push_back(vm.ToString(n));
  }
  Value o = Arg(args, 1);
  uint32_t flags = 0;
  if (auto* oa = dynamic_cast<ArrayObject*>(o.AsObject())) {
    for (const Value& v : oa->ToVector()) field_flags.push_back(vm.ToUint32(v));
    if (field_flags.size() != names.size()) field_flags.assign(names.size(), 0);
    if (!field_flags.empty()) flags = field_flags[0] & (kUniqueSort | kReturnIndexedArray);
  } else {
    flags = o.IsUndefined() ? 0 : vm.ToUint32(o);
    field_flags.assign(names.size(), flags);
  }
  std::vector<Value> values = a->ToVector();
  // The keys of every element, read once.
  std::vector<std::vector<Value>> keys(values.size());
  for (size_t i = 0; i < values.size(); ++i)
    for (const Str& name : names)
      keys[i].push_back(
          values[i].IsNullish() ? Value() : vm.GetProperty(values[i], vm.PublicName(name.view())));
  std::vector<uint32_t> order(values.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  bool ok = SortIndices(order, flags & ~kDescending, [&](uint32_t i, uint32_t j) {
    for (size_t k = 0; k < names.size(); ++k) {
      int c = CompareValues(vm, keys[i][k], keys[j][k], field_flags[k]);
      if (field_flags[k] & kDescending) c = -c;
      if (c != 0) return c;
    }
    return 0;
  });
  return Finish(vm, a, values, order, flags, ok);
}

}  // namespace flashsaver::avm2
