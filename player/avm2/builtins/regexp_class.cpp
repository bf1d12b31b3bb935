// RegExp: the class around the engine (player/avm2/regexp_engine.h).
#include "player/avm2/builtins/regexp_class.h"

#include <list>
#include <mutex>
#include <utility>

#include "player/avm2/regexp_ops.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

// Scripts often build the same RegExp again and again (in loops, or through String.replace
// with a string pattern): the last few compilations are kept. Compiled patterns are read-only,
// so movies on several threads may share them.
std::shared_ptr<const CompiledRegExp> CachedCompile(const std::u16string& source,
                                                    const RegExpFlags& flags) {
  struct Entry {
    std::u16string source;
    std::u16string flags;
    std::shared_ptr<const CompiledRegExp> compiled;
  };
  static std::mutex mutex;
  static std::list<Entry> entries;
  constexpr size_t kEntries = 32;
  std::u16string key = flags.ToString();
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->source == source && it->flags == key) {
        entries.splice(entries.begin(), entries, it);
        return entries.front().compiled;
      }
    }
  }
  std::shared_ptr<const CompiledRegExp> compiled = CompileRegExp(source, flags).regexp;
  std::lock_guard<std::mutex> lock(mutex);
  entries.push_front(Entry{source, std::move(key), compiled});
  if (entries.size() > kEntries) entries.pop_back();
  return compiled;
}

RegExpObject& Self(Vm& vm, const Value& self) { return *ThisAs<RegExpObject>(vm, self, "RegExp"); }

// The subject of exec and test: a String parameter defaulting to "" (null reads "null").
Str SubjectArg(Vm& vm, std::span<const Value> args) {
  if (args.empty()) return Str();
  if (args[0].IsNullish()) return Str(u"null");
  return vm.ToString(args[0]);
}

Object* CreateRegExp(Vm& vm, ClassObject* cls) {
  return vm.heap().New<RegExpObject>(cls, cls->prototype);
}

Value Construct(Vm& vm, const Value& self, std::span<const Value> args) {
  RegExpObject& re = Self(vm, self);
  Value pattern = Arg(args, 0);
  Value options = Arg(args, 1);
  if (auto* other = dynamic_cast<RegExpObject*>(pattern.AsObject())) {
    if (!options.IsUndefined()) {
      Value argv[2] = {
          Value::Ascii(
              "Error #1100: Cannot supply flags when constructing one RegExp from another."),
          Value(int32_t{1100})};
      vm.Throw(vm.Construct(Value(static_cast<Object*>(vm.FindClass("TypeError"))), argv));
    }
    re.source = other->source;
    re.flags = other->flags;
    re.compiled = other->compiled;
    return Value();
  }
  Str source = pattern.IsUndefined() ? Str() : vm.ToString(pattern);
  RegExpFlags flags;
  if (!options.IsUndefined()) {
    flags = RegExpFlags::Parse(vm.ToString(options).view());
  } else if (auto trailing = TrailingFlags(source.view())) {
    flags = RegExpFlags::Parse(*trailing);
  }
  re.Init(source, flags);
  return Value();
}

// RegExp(x) without new: a RegExp given alone comes back as it is.
Value CallClass(Vm& vm, const Value&, std::span<const Value> args) {
  if (!args.empty() && dynamic_cast<RegExpObject*>(args[0].AsObject()) &&
      Arg(args, 1).IsUndefined()) {
    return args[0];
  }
  return vm.Construct(Value(static_cast<Object*>(vm.FindClass("RegExp"))), args);
}

Value Exec(Vm& vm, const Value& self, std::span<const Value> args) {
  return RegExpExec(vm, Self(vm, self), SubjectArg(vm, args));
}

Value Test(Vm& vm, const Value& self, std::span<const Value> args) {
  return Value(!RegExpExec(vm, Self(vm, self), SubjectArg(vm, args)).IsNull());
}

Value ToString(Vm& vm, const Value& self, std::span<const Value>) {
  RegExpObject& re = Self(vm, self);
  return Value(u"/" + re.source.str() + u"/" + re.flags.ToString());
}

Value GetSource(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self).source);
}
Value GetGlobal(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self).flags.global);
}
Value GetIgnoreCase(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self).flags.ignore_case);
}
Value GetMultiline(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self).flags.multiline);
}
Value GetDotall(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self).flags.dotall);
}
Value GetExtended(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self).flags.extended);
}
Value GetLastIndex(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(Self(vm, self).last_index);
}
Value SetLastIndex(Vm& vm, const Value& self, std::span<const Value> args) {
  RegExpObject& re = Self(vm, self);
  re.last_index = ArgInt(vm, args, 0);
  return Value();
}

}  // namespace

void RegExpObject::Init(const Str& text, const RegExpFlags& f) {
  source = text;
  flags = f;
  compiled = CachedCompile(text.str(), f);
}

Value RegExpExec(Vm& vm, RegExpObject& re, const Str& subject) {
  std::shared_ptr<const CompiledRegExp> compiled = re.compiled;
  std::u16string_view text = subject.view();
  const int32_t start = re.flags.global ? re.last_index : 0;
  RegExpMatch match;
  bool found = start >= 0 && FindMatch(compiled.get(), text, static_cast<size_t>(start), match);
  if (re.flags.global) re.last_index = found ? match.whole().end : 0;
  if (!found) return Value::Null();

  std::vector<Value> items;
  items.reserve(match.ranges.size());
  for (size_t k = 0; k < match.ranges.size(); ++k) {
    auto group = GroupText(text, match, k);
    items.push_back(group ? Value(std::move(*group)) : Value());
  }
  ArrayObject* array = vm.NewArray(std::move(items));
  Value result(static_cast<Object*>(array));
  vm.SetProperty(result, "index", Value(match.whole().begin));
  vm.SetProperty(result, "input", Value(subject));
  // Named groups are properties too; one that took no part reads "".
  for (const RegExpGroupName& name : compiled->group_names()) {
    auto group = GroupText(text, match, static_cast<size_t>(name.number));
    vm.SetProperty(result, vm.PublicName(std::u16string_view(name.name)),
                   Value(group.value_or(std::u16string())));
  }
  return result;
}

Value RegExpCallInstance(Vm& vm, RegExpObject& re, std::span<const Value> args) {
  Str subject = args.empty() ? Str() : vm.ToString(args[0]);
  return RegExpExec(vm, re, subject);
}

const NativeClass& RegExpClass() {
  static const NativeClass spec = {
      .package = "",
      .name = "RegExp",
      .instance =
          {
              AS3Method("exec", Exec, 0),
              AS3Method("test", Test, 0),
              ProtoMethod("toString", ToString),
              Getter("source", GetSource),
              Getter("global", GetGlobal),
              Getter("ignoreCase", GetIgnoreCase),
              Getter("multiline", GetMultiline),
              Getter("dotall", GetDotall),
              Getter("extended", GetExtended),
              Getter("lastIndex", GetLastIndex),
              Setter("lastIndex", SetLastIndex),
          },
      .statics = {Const("length", Value(int32_t{1}))},
      .constructor = Construct,
      .call = CallClass,
      .create = CreateRegExp,
      .constructor_length = 1,
  };
  return spec;
}

}  // namespace flashsaver::avm2
