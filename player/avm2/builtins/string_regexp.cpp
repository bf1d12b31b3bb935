// String's match, replace, search and split, with a RegExp or with what Flash makes of any
// other argument: match and search build a RegExp from it, replace and split use its text.
#include <string>
#include <vector>

#include "player/avm2/builtins/regexp_class.h"
#include "player/avm2/regexp_ops.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

RegExpObject* AsRegExp(const Value& v) { return dynamic_cast<RegExpObject*>(v.AsObject()); }

// The argument as a RegExp: itself, or new RegExp(String(argument)); so a missing or
// undefined pattern is the text "undefined", as in Flash, not the empty pattern.
RegExpObject& PatternArg(Vm& vm, std::span<const Value> args) {
  Value pattern = Arg(args, 0);
  if (RegExpObject* re = AsRegExp(pattern)) return *re;
  pattern = Value(vm.ToString(pattern));
  Value made = vm.Construct(Value(static_cast<Object*>(vm.FindClass("RegExp"))),
                            std::span<const Value>(&pattern, 1));
  RegExpObject* re = AsRegExp(made);
  if (re == nullptr) vm.ThrowError(ErrorType::kTypeError, 1034, {"Object", "RegExp"});
  return *re;
}

bool IsFunction(const Value& v) {
  return v.AsObject() != nullptr && v.AsObject()->kind() == ObjectKind::kFunction;
}

Str Checked(Vm& vm, std::optional<std::u16string> text) {
  // A result past the machine's string limit stops the script, as running out of memory does.
  if (!text || text->size() > vm.limits().max_string) throw ScriptAbort{"string too long"};
  return Str(std::move(*text));
}

Value ReplaceWithRegExp(Vm& vm, const Str& subject, RegExpObject& re, const Value& replacement) {
  std::shared_ptr<const CompiledRegExp> compiled = re.compiled;
  std::u16string_view text = subject.view();
  const size_t max = vm.limits().max_string;
  if (!IsFunction(replacement)) {
    Str pattern = vm.ToString(replacement);
    return Value(Checked(
        vm, ReplaceMatches(
                compiled.get(), text, re.flags.global, false,
                [&](const RegExpMatch& m) { return ExpandReplacement(pattern.view(), text, m); },
                max)));
  }
  // The function gets the match, each group ("" for one that took no part), the index and the
  // subject; `this` is undefined.
  return Value(Checked(vm, ReplaceMatches(
                               compiled.get(), text, re.flags.global, true,
                               [&](const RegExpMatch& m) {
                                 std::vector<Value> argv;
                                 for (size_t k = 0; k < m.ranges.size(); ++k) {
                                   argv.emplace_back(
                                       GroupText(text, m, k).value_or(std::u16string()));
                                 }
                                 argv.emplace_back(m.whole().begin);
                                 argv.emplace_back(subject);
                                 return vm.ToString(vm.Call(replacement, Value(), argv)).str();
                               },
                               max)));
}

}  // namespace

Value StringMatch(Vm& vm, const Value& self, std::span<const Value> args) {
  Str subject = vm.ToString(self);
  RegExpObject& re = PatternArg(vm, args);
  if (!re.flags.global) return RegExpExec(vm, re, subject);
  std::vector<Value> items;
  for (std::u16string& text : MatchAllTexts(re.compiled.get(), subject.view(), re.last_index)) {
    items.emplace_back(std::move(text));
  }
  return Value(static_cast<Object*>(vm.NewArray(std::move(items))));
}

Value StringReplace(Vm& vm, const Value& self, std::span<const Value> args) {
  Str subject = vm.ToString(self);
  Value pattern = Arg(args, 0);
  Value replacement = Arg(args, 1);
  if (RegExpObject* re = AsRegExp(pattern)) return ReplaceWithRegExp(vm, subject, *re, replacement);
  // A string pattern: its first occurrence, replaced by the text as it is ($ has no meaning).
  const bool function = IsFunction(replacement);
  Str with = function ? Str() : vm.ToString(replacement);
  Str search = vm.ToString(pattern);
  size_t index = subject.view().find(search.view());
  if (index == std::u16string_view::npos) return Value(subject);
  if (function) {
    Value argv[3] = {Value(search), Value(static_cast<int32_t>(index)), Value(subject)};
    with = vm.ToString(vm.Call(replacement, Value(), argv));
  }
  std::u16string out(subject.view().substr(0, index));
  out += with.view();
  out += subject.view().substr(index + search.size());
  return Value(Checked(vm, std::move(out)));
}

Value StringSearch(Vm& vm, const Value& self, std::span<const Value> args) {
  Str subject = vm.ToString(self);
  RegExpObject& re = PatternArg(vm, args);
  RegExpMatch match;
  if (!FindMatch(re.compiled.get(), subject.view(), 0, match)) return Value(int32_t{-1});
  return Value(match.whole().begin);
}

Value StringSplit(Vm& vm, const Value& self, std::span<const Value> args) {
  Str subject = vm.ToString(self);
  Value delim = Arg(args, 0);
  Value limit_arg = Arg(args, 1);
  const uint32_t limit = limit_arg.IsUndefined() ? 0xFFFFFFFFu : vm.ToUint32(limit_arg);
  std::vector<Value> items;
  if (RegExpObject* re = AsRegExp(delim)) {
    for (auto& piece :
         SplitByRegExp(re->compiled.get(), re->source.empty(), subject.view(), limit)) {
      items.push_back(piece ? Value(std::move(*piece)) : Value());
    }
  } else {
    // Flash's answers for a limit of 0 and for "" come before the delimiter is read.
    Str text = (limit == 0 || subject.empty()) ? Str() : vm.ToString(delim);
    for (auto& piece : SplitByString(subject.view(), text.view(), limit)) {
      items.emplace_back(std::move(piece));
    }
  }
  return Value(static_cast<Object*>(vm.NewArray(std::move(items))));
}

}  // namespace flashsaver::avm2
