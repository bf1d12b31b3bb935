// RegExp, and the String methods that take one (match, replace, search, split).
//
// Installing: RegExpClass() goes in the list of builtins/install.cpp (after Array); String's
// declaration lists StringMatch, StringReplace, StringSearch and StringSplit as AS3Methods
// "match" (1), "replace" (2), "search" (1) and "split" (2).
#pragma once

#include <memory>
#include <span>

#include "player/avm2/natives.h"
#include "player/avm2/object.h"
#include "player/avm2/regexp_engine.h"

namespace flashsaver::avm2 {

class Vm;

class RegExpObject : public BoxedObject {
 public:
  RegExpObject(ClassObject* cls, Object* proto) : BoxedObject(cls, proto) {}

  // Compiles source (a cached compilation when the same source and flags were seen before).
  void Init(const Str& source, const RegExpFlags& flags);

  Str source;
  RegExpFlags flags;
  int32_t last_index = 0;
  // Null when the source does not compile: Flash's RegExp then never matches.
  std::shared_ptr<const CompiledRegExp> compiled;
};

const NativeClass& RegExpClass();

// RegExp.exec on subject, with lastIndex as Flash moves it: the match Array (with index,
// input and named groups) or null.
Value RegExpExec(Vm& vm, RegExpObject& re, const Str& subject);
// A RegExp called as a function, re(s): exec on String(s).
Value RegExpCallInstance(Vm& vm, RegExpObject& re, std::span<const Value> args);

Value StringMatch(Vm& vm, const Value& self, std::span<const Value> args);
Value StringReplace(Vm& vm, const Value& self, std::span<const Value> args);
Value StringSearch(Vm& vm, const Value& self, std::span<const Value> args);
Value StringSplit(Vm& vm, const Value& self, std::span<const Value> args);

}  // namespace flashsaver::avm2
