// The interpreter: decodes actions and runs them, one function per action in the order of the
// action codes. Format notes: an action is a code byte; codes from 0x80 carry a 16-bit length
// and that many bytes of data. Jumps are relative to the end of the jumping action. Strings
// are NUL-terminated. Everything read from the movie is bounds-checked: a record that runs past
// its block ends the block.
#include <cmath>
#include <cstring>

#include "player/avm1/activation.h"
#include "player/avm1/text_util.h"
#include "player/avm1/vm.h"
#include "player/swf/byte_reader.h"

namespace flashsaver::avm1 {
namespace {

constexpr int kMaxTryNesting = 64;  // nested try blocks recurse in the interpreter

std::string ReadString(ByteReader& r) {
  std::string s;
  while (r.remaining() > 0) {
    uint8_t c = r.U8();
    if (c == 0) break;
    s.push_back(static_cast<char>(c));
  }
  return s;
}

}  // namespace

struct Interpreter {
  Vm& vm;
  Activation& act;
  std::vector<Value>& stack;

  // SWF 5 and older movies hold their strings in the system code page (swf5_encoding).
  std::string ReadText(ByteReader& r) {
    std::string s = ReadString(r);
    return vm.swf_version() <= 5 ? Windows1252ToUtf8(s) : s;
  }

  Value Pop() {
    if (stack.size() <= act.stack_base) return Value();
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
  }
  void Push(Value v) {
    if (stack.size() >= kMaxStackValues) throw ScriptAbort{AbortReason::kMemory};
    stack.push_back(std::move(v));
  }
  // The SWF 4 operators convert the left operand first (add_swf4, lessthan_swf5).
  // Operands as numbers, the first converted first (add, multiply, less) or, with top_first,
  // the second (subtract, divide, modulo), the orders Flash calls valueOf in.
  std::pair<double, double> PopNumbers(bool top_first = false) {
    Value b = Pop(), a = Pop();
    if (top_first) {
      double nb = vm.ToNumber(b);
      return {vm.ToNumber(a), nb};
    }
    double na = vm.ToNumber(a);
    return {na, vm.ToNumber(b)};
  }
  // SWF 4 has no booleans: comparisons give 1 and 0.
  Value Bool(bool b) const { return vm.swf_version() < 5 ? Value(b ? 1.0 : 0.0) : Value(b); }
  Host& host() { return vm.host(); }
  Object* Target() { return act.target ? act.target : host().Level(0); }

  // --- variables and paths ---

  // Splits "path:var" or "a.b.c" into the object and the member name; false when the name is
  // a plain variable.
  bool SplitPath(std::string_view name, Object*& obj, std::string& member) {
    size_t colon = name.rfind(':');
    size_t cut = colon;
    if (cut == std::string_view::npos) {
      if (name.find('/') == std::string_view::npos && name.find('.') == std::string_view::npos)
        return false;
      cut = name.rfind('.');
      if (cut == std::string_view::npos) {
        // A bare slash path names a clip: the clip is the value.
        obj = nullptr;
        member.clear();
        return true;
      }
    }
    std::string_view path = name.substr(0, cut);
    member = std::string(name.substr(cut + 1));
    if (path.empty()) {
      obj = Target();
      return true;
    }
    obj = ResolvePath(path);
    return true;
  }

  // A path whose first dot-separated segment may be a variable of the scope chain.
  Object* ResolvePath(std::string_view path) {
    if (path[0] == '/' || path.find('/') != std::string_view::npos ||
        path.find('.') == std::string_view::npos) {
      if (path[0] != '/' && path.find('/') == std::string_view::npos) {
        Value first = GetSimple(path);
        if (first.IsObject()) return first.AsObject();
      }
      return vm.ResolveTarget(Target(), path);
    }
    size_t dot = path.find('.');
    Value first = GetSimple(path.substr(0, dot));
    Object* o = first.AsObject();
    if (!o) return nullptr;
    return vm.ResolveTarget(o, path.substr(dot + 1));
  }

  Value GetSimple(std::string_view name) {
    bool cs = vm.case_sensitive();
    if (!name.empty() && (name[0] == '_' || name[0] == 't' || name[0] == 'T')) {
      if (NamesEqual(name, "this", cs)) {
        // A function's `this` is its own variable; one that preloads it into a register or
        // suppresses it has none, and the name reaches the timeline: its clip.
        if (act.locals) {
          if (Property* p = act.locals->FindOwn("this", cs)) return p->value;
          return Value(Target());
        }
        return act.this_obj ? Value(act.this_obj) : Value(Target());
      }
      if (NamesEqual(name, "_global", cs) && vm.swf_version() >= 6) return vm.global();
      if (NamesEqual(name, "_root", cs)) return vm.ResolveTarget(Target(), "_root");
      if (NamesEqual(name, "_parent", cs)) return host().Parent(Target());
      if (name.size() > 6 && NamesEqual(name.substr(0, 6), "_level", cs)) {
        std::string_view digits = name.substr(6);
        if (digits.find_first_not_of("0123456789") == std::string_view::npos) {
          return host().Level(static_cast<int32_t>(StringToNumber(digits, 5)));
        }
      }
    }
    // SWF 4 movies see no globals: NaN and Infinity read as undefined there (equals_swf4).
    size_t first = vm.swf_version() < 5 && !act.scope.empty() && act.scope[0] == vm.global();
    for (size_t i = act.scope.size(); i-- > first;) {
      Object* s = act.scope[i];
      if (s && vm.HasProperty(s, name)) return vm.GetMember(s, name);
    }
    return Value();
  }

  Value GetVariable(std::string_view name) {
    Object* obj;
    std::string member;
    if (SplitPath(name, obj, member)) {
      if (member.empty() && !obj) {
        Object* clip = vm.ResolveTarget(Target(), name);
        return clip ? Value(clip) : Value();
      }
      return obj ? vm.GetMember(obj, member) : Value();
    }
    return GetSimple(name);
  }

  void SetVariable(std::string_view name, const Value& v) {
    Object* obj;
    std::string member;
    if (SplitPath(name, obj, member)) {
      if (obj && !member.empty()) vm.SetMember(obj, member, v);
      return;
    }
    for (size_t i = act.scope.size(); i-- > 0;) {
      Object* s = act.scope[i];
      if (i == 0) break;  // the global object is written only through _global
      if (s && vm.HasProperty(s, name)) {
        vm.SetMember(s, name, v);
        return;
      }
    }
    vm.SetMember(act.locals && false ? act.locals : Target(), name, v);
  }

  // --- actions in the order of their codes ---

  void NextFrame() { host().NextFrame(Target()); }  // 0x04
  void PrevFrame() { host().PrevFrame(Target()); }  // 0x05
  void Play() { host().Play(Target()); }            // 0x06
  void Stop() { host().Stop(Target()); }            // 0x07
  void Add() {                                      // 0x0A
    auto [a, b] = PopNumbers();
    Push(a + b);
  }
  void Subtract() {  // 0x0B
    auto [a, b] = PopNumbers(true);
    Push(a - b);
  }
  void Multiply() {  // 0x0C
    auto [a, b] = PopNumbers();
    Push(a * b);
  }
  void Divide() {  // 0x0D
    auto [a, b] = PopNumbers(true);
    // SWF 4 players printed division by zero as an error (swf4_function_calls).
    if (b == 0 && vm.swf_version() < 5) {
      Push("#ERROR#");
      return;
    }
    Push(a / b);
  }
  void Equals() {  // 0x0E
    // Unlike the other SWF 4 operators, the right operand first (equals_swf5).
    double b = vm.ToNumber(Pop()), a = vm.ToNumber(Pop());
    Push(Bool(a == b));
  }
  void Less() {  // 0x0F
    auto [a, b] = PopNumbers();
    Push(Bool(a < b));
  }
  void And() {  // 0x10
    bool b = vm.ToBool(Pop()), a = vm.ToBool(Pop());
    Push(Bool(a && b));
  }
  void Or() {  // 0x11
    bool b = vm.ToBool(Pop()), a = vm.ToBool(Pop());
    Push(Bool(a || b));
  }
  void Not() { Push(Bool(!vm.ToBool(Pop()))); }  // 0x12
  void StringEquals() {                          // 0x13
    std::string b = vm.ToString(Pop()), a = vm.ToString(Pop());
    Push(Bool(a == b));
  }
  void StringLength() { Push(static_cast<double>(Utf8Length(vm.ToString(Pop())))); }  // 0x14
  void StringExtract() {                                                              // 0x15
    double count = vm.ToNumber(Pop()), index = vm.ToNumber(Pop());
    std::string s = vm.ToString(Pop());
    int64_t len = static_cast<int64_t>(Utf8Length(s));
    int64_t start = std::isfinite(index) ? static_cast<int64_t>(index) - 1 : 0;
    if (start < 0) start = 0;
    int64_t n = std::isfinite(count) ? static_cast<int64_t>(count) : 0;
    if (n < 0 || start + n > len) n = len - start;
    Push(start >= len ? std::string()
                      : Utf8Substr(s, static_cast<size_t>(start), static_cast<size_t>(n)));
  }
  void ToInteger() { Push(static_cast<double>(ToInt32(vm.ToNumber(Pop())))); }  // 0x18
  void GetVariableAction() {                                                    // 0x1C
    std::string name = vm.ToString(Pop());
    Push(GetVariable(name));
  }
  void SetVariableAction() {  // 0x1D
    Value v = Pop();
    std::string name = vm.ToString(Pop());
    SetVariable(name, v);
  }
  void SetTarget2() {  // 0x20
    Value t = Pop();
    // Objects are converted to a path string, even clips (set_target_2 tests).
    // A clip goes by its path too: of two clips of one name the first wins (set_target_2).
    if (t.IsObject() && t.AsObject()->kind() == ObjectKind::kClip) {
      SetTargetPath(host().ClipPath(t.AsObject(), true));
    } else {
      SetTargetPath(vm.ToString(t));
    }
  }
  void StringAdd() {  // 0x21
    std::string b = vm.ToString(Pop()), a = vm.ToString(Pop());
    vm.CheckStringSize(a.size() + b.size());
    Push(a + b);
  }
  Object* TargetOf(const Value& v) {
    if (v.IsObject()) return v.AsObject();
    std::string path = vm.ToString(v);
    // After a tellTarget to nowhere, "" names no clip (set_target_2_swf7).
    if (path.empty()) return act.target || !act.base_clip ? Target() : nullptr;
    return vm.ResolveTarget(Target(), path);
  }
  void GetProperty() {  // 0x22
    // The index truncates toward zero: -0.8 is _x (getproperty_swf5).
    double index = std::trunc(vm.ToNumber(Pop()));
    Object* clip = TargetOf(Pop());
    if (!clip || !(index >= 0 && index < kClipPropertyCount)) {
      Push(Value());
      return;
    }
    Push(host().GetClipProperty(clip, static_cast<ClipProperty>(static_cast<int>(index))));
  }
  void SetProperty() {  // 0x23
    Value v = Pop();
    double index = std::trunc(vm.ToNumber(Pop()));
    Object* clip = TargetOf(Pop());
    if (clip && index >= 0 && index < kClipPropertyCount) {
      host().SetClipProperty(clip, static_cast<ClipProperty>(static_cast<int>(index)), v);
    }
  }
  void CloneSprite() {  // 0x24
    double depth = vm.ToNumber(Pop());
    std::string name = vm.ToString(Pop());
    Object* source = TargetOf(Pop());
    // The action takes the player's own depth, 16384 above the one scripts see (compilers add
    // it), within the same limits as duplicateMovieClip.
    const int64_t script_depth = static_cast<int64_t>(ToInt32(depth)) - 16384;
    if (source && script_depth >= -16384 && script_depth <= 2130690044)
      host().CloneClip(source, name, static_cast<int32_t>(script_depth));
  }
  void RemoveSprite() {  // 0x25
    Object* clip = TargetOf(Pop());
    if (clip) host().RemoveClip(clip);
  }
  void TraceAction() {  // 0x26
    Value v = Pop();
    // trace() prints undefined as such in every version.
    host().Trace(v.IsUndefined() ? std::string("undefined") : vm.ToString(v));
  }
  void StartDrag() {  // 0x27
    Object* clip = TargetOf(Pop());
    bool lock = vm.ToBool(Pop());
    bool constrain = vm.ToBool(Pop());
    double bounds[4];
    if (constrain) {
      bounds[3] = vm.ToNumber(Pop());
      bounds[2] = vm.ToNumber(Pop());
      bounds[1] = vm.ToNumber(Pop());
      bounds[0] = vm.ToNumber(Pop());
    }
    if (clip) host().StartDrag(clip, lock, constrain ? bounds : nullptr);
  }
  void EndDrag() { host().StopDrag(); }  // 0x28
  void StringLess() {                    // 0x29
    std::string b = vm.ToString(Pop()), a = vm.ToString(Pop());
    Push(Bool(a < b));
  }
  void Throw() { throw ScriptThrow{Pop()}; }  // 0x2A
  // The class operand of instanceof and cast: a primitive is boxed (instanceof_coercions).
  Object* ClassObject(const Value& v) { return v.IsObject() ? v.AsObject() : vm.ToObject(v); }
  void CastOp() {  // 0x2B
    Value obj = Pop();
    Value ctor = Pop();
    if (obj.IsPrimitive()) {
      vm.ToObject(obj);  // boxed, but a primitive never passes the cast
      Push(Value::Null());
      return;
    }
    Push(vm.InstanceOf(obj, ClassObject(ctor)) ? obj : Value::Null());
  }
  void ImplementsOp() {  // 0x2C
    Object* ctor = Pop().AsObject();
    double count = vm.ToNumber(Pop());
    std::vector<Value> interfaces;
    for (int i = 0; i < count && i < 1000 && stack.size() > act.stack_base; ++i) {
      interfaces.push_back(Pop());
    }
    if (!ctor) return;
    Object* proto = vm.GetMember(ctor, "prototype").AsObject();
    if (!proto) return;
    proto->Define("__interfaces__", vm.NewArray(interfaces), prop_flag::kDontEnum);
  }
  void RandomNumber() {  // 0x30
    double max = vm.ToNumber(Pop());
    int32_t m = ToInt32(max);
    Push(m <= 0 ? 0.0 : std::floor(host().Random() * m));
  }
  void CharToAscii() {  // 0x32 and 0x36
    std::string s = vm.ToString(Pop());
    if (s.empty()) {
      Push(vm.swf_version() < 5 ? Value(0.0) : Value(NAN));
      return;
    }
    Push(static_cast<double>(Utf8At(s, 0)));
  }
  void AsciiToChar() {  // 0x33 and 0x37
    uint32_t code = static_cast<uint32_t>(ToInt32(vm.ToNumber(Pop()))) & 0xFFFF;
    Push(code == 0 ? std::string() : Utf8Encode(code));
  }
  void GetTime() { Push(std::floor(host().Milliseconds())); }  // 0x34
  void Delete() {                                              // 0x3A
    std::string name = vm.ToString(Pop());
    Value obj = Pop();
    Push(Bool(obj.IsObject() && vm.DeleteMember(obj.AsObject(), name)));
  }
  void Delete2() {  // 0x3B
    std::string name = vm.ToString(Pop());
    for (size_t i = act.scope.size(); i-- > 0;) {
      Object* s = act.scope[i];
      if (s && s->FindOwn(name, vm.case_sensitive())) {
        Push(Bool(vm.DeleteMember(s, name)));
        return;
      }
    }
    Push(Bool(false));
  }
  void DefineLocal() {  // 0x3C
    Value v = Pop();
    std::string name = vm.ToString(Pop());
    Object* path_obj;
    std::string member;
    // In a function the name is a local one, path or not (define_local_with_paths).
    if (!act.locals && SplitPath(name, path_obj, member)) {
      if (path_obj && !member.empty()) vm.SetMember(path_obj, member, v);
      return;
    }
    Object* o = act.locals ? act.locals : Target();
    vm.SetMember(o, name, v);
  }
  std::vector<Value> PopArgs() { return PopArgs(vm.ToNumber(Pop())); }
  std::vector<Value> PopArgs(double n) {
    std::vector<Value> args;
    if (!(n > 0)) return args;
    size_t count = static_cast<size_t>(std::min(n, 65536.0));
    size_t avail = stack.size() - act.stack_base;
    count = std::min(count, avail);
    args.reserve(count);
    for (size_t i = 0; i < count; ++i) args.push_back(Pop());
    return args;
  }
  // super(): the __constructor__ seen from the method's base, without __resolve; a clip is
  // no base (super_edge_cases).
  Value CallSuper(SuperObject* s, std::span<const Value> args) {
    Object* home = s->constructor_home;
    if (!home || home->kind() == ObjectKind::kClip) return Value();
    Object* holder = vm.FindHolder(home, "__constructor__");
    if (!holder) return Value();
    Property* p = holder->FindOwn("__constructor__", vm.case_sensitive());
    Value ctor = p->value;
    if (p->virtual_property) {
      ctor = p->getter ? vm.CallFunction(p->getter, s->this_obj, {}) : Value();
    }
    return vm.CallFunction(ctor, s->this_obj, args, holder->proto());
  }
  void CallFunctionAction() {  // 0x3D
    std::string name = vm.ToString(Pop());
    std::vector<Value> args = PopArgs();
    Value fn = GetVariable(name);
    // super() by name calls the parent constructor as well (as2_super_and_this_v8).
    if (Object* o = fn.AsObject(); o && o->kind() == ObjectKind::kSuper) {
      Push(CallSuper(static_cast<SuperObject*>(o), args));
      return;
    }
    // A function found among the caller's locals is called on them (define_local_with_paths:
    // `var g = g; g()` gives g the caller's locals as this).
    bool cs = vm.case_sensitive();
    Object* this_obj = act.locals && act.locals->FindOwn(name, cs) &&
                               name.find_first_of("/:.") == std::string::npos
                           ? act.locals
                           : Target();
    Push(vm.CallFunction(fn, this_obj, args));
  }
  void Return() {  // 0x3E
    act.return_value = Pop();
    act.returned = true;
  }
  void Modulo() {  // 0x3F
    auto [a, b] = PopNumbers(true);
    Push(std::fmod(a, b));
  }
  void NewObject() {  // 0x40
    std::string name = vm.ToString(Pop());
    std::vector<Value> args = PopArgs();
    Push(vm.Construct(GetVariable(name), args));
  }
  void DefineLocal2() {  // 0x41
    std::string name = vm.ToString(Pop());
    Object* o = act.locals ? act.locals : Target();
    Object* path_obj;
    std::string member;
    // Outside functions "var /:name" declares the variable on that clip
    // (define_local_with_paths).
    if (!act.locals && SplitPath(name, path_obj, member)) {
      if (!path_obj || member.empty()) return;
      o = path_obj;
      name = member;
    }
    if (!o->FindOwn(name, vm.case_sensitive())) vm.SetMember(o, name, Value());
  }
  void InitArray() {  // 0x42
    // A negative count takes nothing and makes no array: the result is undefined.
    const double n = vm.ToNumber(Pop());
    Push(n < 0 ? Value() : Value(vm.NewArray(PopArgs(n))));
  }
  void InitObject() {  // 0x43
    double n = vm.ToNumber(Pop());
    // A negative count, or more pairs than the stack holds: nothing is taken and the result is
    // undefined (init_object_invalid).
    if (n < 0 || n > static_cast<double>(stack.size() - act.stack_base) / 2) {
      Push(Value());
      return;
    }
    Object* o = vm.NewObject();
    size_t count = n > 0 ? static_cast<size_t>(std::min(n, 65536.0)) : 0;
    // Pairs are set as they are popped, the last written first, which is the order for..in
    // then lists them (enumerate).
    for (size_t i = 0; i < count && stack.size() > act.stack_base; ++i) {
      Value v = Pop();
      std::string name = vm.ToString(Pop());
      vm.SetMember(o, name, v);
    }
    Push(o);
  }
  void TypeOf() { Push(vm.TypeOf(Pop())); }  // 0x44
  void TargetPath() {                        // 0x45
    Value v = Pop();
    if (v.IsObject() && v.AsObject()->kind() == ObjectKind::kClip) {
      Push(host().ClipPath(v.AsObject(), true));
    } else {
      Push(Value());
    }
  }
  void PushNames(Object* obj) {
    Push(Value());
    if (!obj) return;
    std::vector<std::string> names = vm.EnumerableNames(obj);
    for (auto it = names.rbegin(); it != names.rend(); ++it) Push(*it);
  }
  void Enumerate() {  // 0x46
    std::string name = vm.ToString(Pop());
    PushNames(GetVariable(name).AsObject());
  }
  void Add2() {  // 0x47
    Value b = Pop(), a = Pop();
    Push(vm.Add(a, b));
  }
  void Less2() {  // 0x48
    Value b = Pop(), a = Pop();
    Push(vm.LessThan(a, b));
  }
  void Equals2() {  // 0x49
    Value b = Pop(), a = Pop();
    Push(vm.LooseEquals(a, b));
  }
  void ToNumberAction() { Push(vm.ToNumber(Pop())); }  // 0x4A
  void ToStringAction() { Push(vm.ToString(Pop())); }  // 0x4B
  void PushDuplicate() {                               // 0x4C
    Value v = stack.size() > act.stack_base ? stack.back() : Value();
    Push(v);
  }
  void StackSwap() {  // 0x4D
    Value a = Pop(), b = Pop();
    Push(a);
    Push(b);
  }
  void GetMemberAction() {  // 0x4E
    Value name = Pop();
    Value obj = Pop();
    std::string n = vm.ToString(name);
    Push(vm.GetMemberOf(obj, n));
  }
  void SetMemberAction() {  // 0x4F
    Value v = Pop();
    std::string name = vm.ToString(Pop());
    Value obj = Pop();
    if (obj.IsObject()) vm.SetMember(obj.AsObject(), name, v);
  }
  void Increment() { Push(vm.ToNumber(Pop()) + 1); }  // 0x50
  void Decrement() { Push(vm.ToNumber(Pop()) - 1); }  // 0x51
  void CallMethodAction() {                           // 0x52
    Value name = Pop();
    Value obj = Pop();
    std::vector<Value> args = PopArgs();
    std::string n = name.IsUndefined() ? std::string() : vm.ToString(name);
    if (n.empty()) {
      // An empty name calls the object itself; super() calls the parent constructor.
      if (Object* o = obj.AsObject(); o && o->kind() == ObjectKind::kSuper) {
        Push(CallSuper(static_cast<SuperObject*>(o), args));
        return;
      }
      if (obj.IsPrimitive()) vm.ToObject(obj);  // boxed, then found not callable
      Push(vm.CallFunction(obj, nullptr, args));
      return;
    }
    Push(vm.CallMethod(obj, n, args));
  }
  void NewMethod() {  // 0x53
    Value name = Pop();
    Value obj = Pop();
    std::vector<Value> args = PopArgs();
    std::string n = name.IsUndefined() ? std::string() : vm.ToString(name);
    if (n.empty() && obj.IsPrimitive()) vm.ToObject(obj);  // boxed, then found no class
    Value ctor = n.empty() ? obj : vm.GetMemberOf(obj, n);
    Push(vm.Construct(ctor, args));
  }
  void InstanceOfAction() {  // 0x54
    Value ctor = Pop();
    Value obj = Pop();
    Push(obj.IsObject() && vm.InstanceOf(obj, ClassObject(ctor)));
  }
  void Enumerate2() {  // 0x55
    Value v = Pop();
    PushNames(v.AsObject());
  }
  void BitAnd() {  // 0x60
    int32_t b = vm.ToInt(Pop()), a = vm.ToInt(Pop());
    Push(static_cast<double>(a & b));
  }
  void BitOr() {  // 0x61
    int32_t b = vm.ToInt(Pop()), a = vm.ToInt(Pop());
    Push(static_cast<double>(a | b));
  }
  void BitXor() {  // 0x62
    int32_t b = vm.ToInt(Pop()), a = vm.ToInt(Pop());
    Push(static_cast<double>(a ^ b));
  }
  void BitLShift() {  // 0x63
    int32_t b = vm.ToInt(Pop()), a = vm.ToInt(Pop());
    Push(static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(a) << (b & 31))));
  }
  void BitRShift() {  // 0x64
    int32_t b = vm.ToInt(Pop()), a = vm.ToInt(Pop());
    Push(static_cast<double>(a >> (b & 31)));
  }
  void BitURShift() {  // 0x65
    int32_t b = vm.ToInt(Pop());
    uint32_t a = static_cast<uint32_t>(vm.ToInt(Pop()));
    // A shift by 0 leaves the value signed in the player (biturshift_swf8).
    if ((b & 31) == 0) {
      Push(static_cast<double>(static_cast<int32_t>(a)));
      return;
    }
    Push(static_cast<double>(a >> (b & 31)));
  }
  void StrictEqualsAction() {  // 0x66
    Value b = Pop(), a = Pop();
    Push(vm.StrictEquals(a, b));
  }
  void Greater() {  // 0x67
    Value b = Pop(), a = Pop();
    Push(vm.LessThan(b, a));
  }
  void StringGreater() {  // 0x68
    Value vb = Pop(), va = Pop();
    std::string a = vm.ToString(va);
    Push(Bool(a > vm.ToString(vb)));
  }
  void Extends() {  // 0x69
    Object* super_class = Pop().AsObject();
    Object* sub_class = Pop().AsObject();
    if (!super_class || !sub_class) return;
    Object* proto = vm.NewObject(vm.GetMember(super_class, "prototype").AsObject());
    // The new prototype names the superclass both as __constructor__ (for super()) and as
    // constructor, in every version.
    proto->Define("__constructor__", super_class, prop_flag::kDontEnum);
    proto->Define("constructor", super_class, prop_flag::kDontEnum);
    vm.SetMember(sub_class, "prototype", proto);
  }

  // --- actions with data ---

  void GotoFrame(ByteReader& r) { host().GotoFrame(Target(), r.U16(), false); }  // 0x81
  void GetUrl(ByteReader& r) {                                                   // 0x83
    std::string url = ReadText(r);
    std::string target = ReadText(r);
    DoGetUrl(url, target, 0);
  }
  void DoGetUrl(const std::string& url, const std::string& target, int method) {
    if (url.size() >= 10 && NamesEqual(std::string_view(url).substr(0, 10), "FSCommand:", false)) {
      host().FsCommand(std::string_view(url).substr(10), target);
      return;
    }
    host().GetUrl(url, target, method);
  }
  void StoreRegister(ByteReader& r) {  // 0x87
    uint8_t reg = r.U8();
    Value v = stack.size() > act.stack_base ? stack.back() : Value();
    if (reg < act.registers.size()) act.registers[reg] = v;
  }
  void ConstantPool(ByteReader& r) {  // 0x88
    uint16_t count = r.U16();
    auto pool = std::make_shared<std::vector<std::string>>();
    pool->reserve(count);
    for (uint16_t i = 0; i < count && r.remaining() > 0; ++i) pool->push_back(ReadText(r));
    act.constants = std::move(pool);
  }
  void SkipActions(size_t count) {
    for (size_t i = 0; i < count && act.pc < act.code.size(); ++i) {
      uint8_t code = act.code[act.pc++];
      if (code >= 0x80) {
        if (act.pc + 2 > act.code.size()) {
          act.pc = act.code.size();
          return;
        }
        size_t len = act.code[act.pc] | (act.code[act.pc + 1] << 8);
        act.pc += 2 + len;
      }
    }
  }
  void WaitForFrame(ByteReader& r) {  // 0x8A
    uint16_t frame = r.U16();
    uint8_t skip = r.U8();
    if (!host().FrameLoaded(Target(), frame)) SkipActions(skip);
  }
  void SetTargetClip(Object* clip) {
    if (act.target_slot >= 0 && static_cast<size_t>(act.target_slot) < act.scope.size()) {
      act.scope.erase(act.scope.begin() + act.target_slot);
      act.target_slot = -1;
    }
    if (!clip || clip == act.base_clip) {
      act.target = act.base_clip;
      return;
    }
    act.target = clip;
    act.target_slot = static_cast<int>(act.scope.size());
    act.scope.push_back(clip);
  }
  void SetTargetPath(const std::string& path) {
    if (path.empty()) {
      SetTargetClip(nullptr);
      return;
    }
    Object* clip = vm.ResolveTarget(act.base_clip ? act.base_clip : Target(), path);
    // A missing target leaves actions without a timeline, but variables then resolve on
    // _level0 (tell_target).
    if (clip) {
      SetTargetClip(clip);
    } else {
      SetTargetClip(host().Level(0));
      act.target = nullptr;
    }
  }
  void SetTarget(ByteReader& r) { SetTargetPath(ReadText(r)); }  // 0x8B
  void GoToLabel(ByteReader& r) {                                // 0x8C
    std::string label = ReadText(r);
    host().GotoLabel(Target(), label, false);
  }
  void WaitForFrame2(ByteReader& r) {  // 0x8D
    uint8_t skip = r.U8();
    Value frame = Pop();
    Object* clip = Target();
    // Only whole frame numbers are waited for: a fraction, a non-number or a label counts as
    // loaded. The number wraps as a 32-bit integer, and frames before the first are loaded
    // (waitforframe2).
    double f =
        frame.IsString() ? StringToNumber(frame.AsString(), vm.swf_version()) : vm.ToNumber(frame);
    if (!std::isfinite(f) || f != std::trunc(f)) return;
    const int32_t index = static_cast<int32_t>(static_cast<uint32_t>(ToInt32(f)) - 1u);
    if (index >= 0 && !host().FrameLoaded(clip, static_cast<uint32_t>(index))) SkipActions(skip);
  }
  std::shared_ptr<FunctionCode> NewCode(std::string name, uint16_t body_size) {
    auto code = std::make_shared<FunctionCode>();
    code->name = std::move(name);
    code->owner = act.owner;
    size_t start = act.pc;
    size_t size = std::min<size_t>(body_size, act.code.size() - start);
    code->body = act.code.subspan(start, size);
    act.pc = start + size;
    // Functions run with SWF 5 rules at least, even in a SWF 4 movie (swf4_function_calls).
    code->swf_version = std::max(5, vm.swf_version());
    return code;
  }
  FunctionObject* MakeClosure(std::shared_ptr<FunctionCode> code) {
    FunctionObject* fn = vm.NewNative(nullptr);
    fn->code = std::move(code);
    fn->scope = act.scope;
    fn->constants = act.constants;
    fn->base_clip = act.base_clip;
    Object* proto = vm.NewObject();
    proto->Define("constructor", fn, prop_flag::kDontEnum);
    // A function's prototype survives delete, as the built-ins' do (prototype_delete).
    fn->Define("prototype", proto, prop_flag::kDontEnum | prop_flag::kDontDelete);
    return fn;
  }
  void Finish(FunctionObject* fn) {
    if (fn->code->name.empty()) {
      Push(fn);
    } else {
      Object* o = act.locals ? act.locals : Target();
      Object* path_obj;
      std::string member;
      // A name with a path ("/:f") defines the function on that clip.
      if (SplitPath(fn->code->name, path_obj, member)) {
        if (path_obj && !member.empty()) vm.SetMember(path_obj, member, fn);
        return;
      }
      vm.SetMember(o, fn->code->name, fn);
    }
  }
  void DefineFunction2(ByteReader& r) {  // 0x8E
    std::string name = ReadText(r);
    uint16_t nparams = r.U16();
    uint8_t regs = r.U8();
    uint16_t flags = r.U16();
    std::vector<FunctionCode::Param> params;
    for (uint16_t i = 0; i < nparams && r.ok(); ++i) {
      FunctionCode::Param p;
      p.reg = r.U8();
      p.name = ReadText(r);
      params.push_back(std::move(p));
    }
    uint16_t body = r.U16();
    if (!r.ok()) return;
    auto code = NewCode(std::move(name), body);
    code->params = std::move(params);
    code->flags = flags;
    code->register_count = regs;
    code->is_function2 = true;
    Finish(MakeClosure(std::move(code)));
  }
  void Try(ByteReader& r, int try_depth) {  // 0x8F
    uint8_t flags = r.U8();
    uint16_t try_size = r.U16(), catch_size = r.U16(), finally_size = r.U16();
    bool catch_in_register = flags & 4;
    std::string catch_name;
    uint8_t catch_reg = 0;
    if (catch_in_register) {
      catch_reg = r.U8();
    } else {
      catch_name = ReadText(r);
    }
    if (!r.ok()) return;
    if (try_depth >= kMaxTryNesting) throw ScriptAbort{AbortReason::kBadCode};
    size_t try_start = act.pc;
    size_t try_end = std::min(act.code.size(), try_start + try_size);
    size_t catch_end = std::min(act.code.size(), try_end + catch_size);
    size_t finally_end = std::min(act.code.size(), catch_end + finally_size);
    bool has_catch = flags & 1;
    bool has_finally = flags & 2;
    size_t stack_size = stack.size();
    bool pending = false;
    Value pending_value;
    try {
      vm.Execute(act, try_end, try_depth + 1);
      if (act.pc == try_end) act.pc = catch_end;
    } catch (ScriptThrow& t) {
      if (stack.size() > stack_size) stack.resize(stack_size);
      if (has_catch) {
        if (catch_in_register) {
          if (catch_reg < act.registers.size()) act.registers[catch_reg] = t.value;
        } else {
          SetVariableLocal(catch_name, t.value);
        }
        act.pc = try_end;
        try {
          vm.Execute(act, catch_end, try_depth + 1);
        } catch (ScriptThrow& t2) {
          pending = true;
          pending_value = t2.value;
          act.pc = catch_end;
        }
      } else {
        pending = true;
        pending_value = t.value;
        act.pc = catch_end;
      }
    }
    size_t resume = act.pc;
    if (has_finally) {
      bool returned = act.returned;
      Value ret = act.return_value;
      act.returned = false;
      act.pc = catch_end;
      vm.Execute(act, finally_end, try_depth + 1);
      if (act.returned) return;  // a return in finally wins over everything
      act.returned = returned;
      act.return_value = ret;
      if (resume == catch_end) resume = finally_end;
      if (!act.returned) act.pc = resume;
    } else if (resume == catch_end) {
      act.pc = finally_end;
    }
    if (pending) throw ScriptThrow{pending_value};
  }
  void SetVariableLocal(const std::string& name, const Value& v) {
    if (act.locals) {
      vm.SetMember(act.locals, name, v);
    } else {
      SetVariable(name, v);
    }
  }
  void With(ByteReader& r) {  // 0x94
    uint16_t size = r.U16();
    Value v = Pop();
    Object* o = v.IsObject() ? v.AsObject() : vm.ToObject(v);
    if (!o) {
      act.pc += size;  // with(undefined) skips its block
      return;
    }
    act.withs.push_back({act.pc, std::min(act.code.size(), act.pc + size), act.scope.size()});
    act.scope.push_back(o);
  }
  void PushAction(ByteReader& r) {  // 0x96
    while (r.remaining() > 0) {
      uint8_t type = r.U8();
      switch (type) {
        case 0:
          Push(ReadText(r));
          break;
        case 1: {
          uint32_t bits = r.U32();
          float f;
          std::memcpy(&f, &bits, 4);
          Push(static_cast<double>(f));
          break;
        }
        case 2:
          Push(Value::Null());
          break;
        case 3:
          Push(Value());
          break;
        case 4: {
          uint8_t reg = r.U8();
          Push(reg < act.registers.size() ? act.registers[reg] : Value());
          break;
        }
        case 5:
          Push(r.U8() != 0);
          break;
        case 6: {
          // The two 32-bit halves are stored high word first.
          uint64_t hi = r.U32(), lo = r.U32();
          uint64_t bits = (hi << 32) | lo;
          double d;
          std::memcpy(&d, &bits, 8);
          Push(d);
          break;
        }
        case 7:
          Push(static_cast<double>(static_cast<int32_t>(r.U32())));
          break;
        case 8:
        case 9: {
          uint16_t i = type == 8 ? r.U8() : r.U16();
          if (act.constants && i < act.constants->size()) {
            Push((*act.constants)[i]);
          } else {
            Push(Value());
          }
          break;
        }
        default:
          return;  // an unknown type ends the record
      }
      if (!r.ok()) return;
    }
  }
  void Jump(ByteReader& r) {  // 0x99
    int16_t offset = static_cast<int16_t>(r.U16());
    Branch(offset);
  }
  void Branch(int16_t offset) {
    int64_t target = static_cast<int64_t>(act.pc) + offset;
    act.pc = target < 0 ? act.code.size() : static_cast<size_t>(target);
  }
  void GetUrl2(ByteReader& r) {  // 0x9A
    uint8_t flags = r.U8();
    std::string target = vm.ToString(Pop());
    std::string url = vm.ToString(Pop());
    DoGetUrl(url, target, flags);
  }
  void DefineFunction(ByteReader& r) {  // 0x9B
    std::string name = ReadText(r);
    uint16_t nparams = r.U16();
    std::vector<FunctionCode::Param> params;
    for (uint16_t i = 0; i < nparams && r.ok(); ++i) params.push_back({0, ReadText(r)});
    uint16_t body = r.U16();
    if (!r.ok()) return;
    auto code = NewCode(std::move(name), body);
    code->params = std::move(params);
    Finish(MakeClosure(std::move(code)));
  }
  void If(ByteReader& r) {  // 0x9D
    int16_t offset = static_cast<int16_t>(r.U16());
    if (vm.ToBool(Pop())) Branch(offset);
  }
  void Call() { Pop(); }  // 0x9E: runs a frame's actions; frames call through the host later
  void GotoFrame2(ByteReader& r) {  // 0x9F
    uint8_t flags = r.U8();
    uint16_t bias = (flags & 2) ? r.U16() : 0;
    bool play = flags & 1;
    Value frame = Pop();
    Object* clip = Target();
    if (frame.IsString()) {
      std::string s = frame.AsString();
      size_t colon = s.rfind(':');
      if (colon != std::string::npos) {
        clip = vm.ResolveTarget(clip, s.substr(0, colon));
        s = s.substr(colon + 1);
      }
      if (!clip) return;
      double n = StringToNumber(s, vm.swf_version());
      if (std::isfinite(n) && !s.empty()) {
        if (n >= 1) host().GotoFrame(clip, static_cast<uint32_t>(n) - 1 + bias, play);
      } else {
        host().GotoLabel(clip, s, play);
      }
      return;
    }
    double n = vm.ToNumber(frame);
    if (std::isfinite(n) && n >= 1)
      host().GotoFrame(clip, static_cast<uint32_t>(n) - 1 + bias, play);
  }

  // Runs one action; false at the end of the block.
  bool Step(int try_depth) {
    if (act.pc >= act.code.size()) return false;
    uint8_t code = act.code[act.pc++];
    if (code == 0) return false;
    if (code < 0x80) {
      switch (code) {
        case 0x04:
          NextFrame();
          break;
        case 0x05:
          PrevFrame();
          break;
        case 0x06:
          Play();
          break;
        case 0x07:
          Stop();
          break;
        case 0x08:
          break;  // ToggleQuality
        case 0x09:
          host().StopAllSounds();
          break;
        case 0x0A:
          Add();
          break;
        case 0x0B:
          Subtract();
          break;
        case 0x0C:
          Multiply();
          break;
        case 0x0D:
          Divide();
          break;
        case 0x0E:
          Equals();
          break;
        case 0x0F:
          Less();
          break;
        case 0x10:
          And();
          break;
        case 0x11:
          Or();
          break;
        case 0x12:
          Not();
          break;
        case 0x13:
          StringEquals();
          break;
        case 0x14:
          StringLength();
          break;
        case 0x15:
          StringExtract();
          break;
        case 0x17:
          Pop();
          break;
        case 0x18:
          ToInteger();
          break;
        case 0x1C:
          GetVariableAction();
          break;
        case 0x1D:
          SetVariableAction();
          break;
        case 0x20:
          SetTarget2();
          break;
        case 0x21:
          StringAdd();
          break;
        case 0x22:
          GetProperty();
          break;
        case 0x23:
          SetProperty();
          break;
        case 0x24:
          CloneSprite();
          break;
        case 0x25:
          RemoveSprite();
          break;
        case 0x26:
          TraceAction();
          break;
        case 0x27:
          StartDrag();
          break;
        case 0x28:
          EndDrag();
          break;
        case 0x29:
          StringLess();
          break;
        case 0x2A:
          Throw();
          break;
        case 0x2B:
          CastOp();
          break;
        case 0x2C:
          ImplementsOp();
          break;
        case 0x30:
          RandomNumber();
          break;
        case 0x31:
          StringLength();
          break;  // MBStringLength
        case 0x32:
          CharToAscii();
          break;
        case 0x33:
          AsciiToChar();
          break;
        case 0x34:
          GetTime();
          break;
        case 0x35:
          StringExtract();
          break;  // MBStringExtract
        case 0x36:
          CharToAscii();
          break;  // MBCharToAscii
        case 0x37:
          AsciiToChar();
          break;  // MBAsciiToChar
        case 0x3A:
          Delete();
          break;
        case 0x3B:
          Delete2();
          break;
        case 0x3C:
          DefineLocal();
          break;
        case 0x3D:
          CallFunctionAction();
          break;
        case 0x3E:
          Return();
          break;
        case 0x3F:
          Modulo();
          break;
        case 0x40:
          NewObject();
          break;
        case 0x41:
          DefineLocal2();
          break;
        case 0x42:
          InitArray();
          break;
        case 0x43:
          InitObject();
          break;
        case 0x44:
          TypeOf();
          break;
        case 0x45:
          TargetPath();
          break;
        case 0x46:
          Enumerate();
          break;
        case 0x47:
          Add2();
          break;
        case 0x48:
          Less2();
          break;
        case 0x49:
          Equals2();
          break;
        case 0x4A:
          ToNumberAction();
          break;
        case 0x4B:
          ToStringAction();
          break;
        case 0x4C:
          PushDuplicate();
          break;
        case 0x4D:
          StackSwap();
          break;
        case 0x4E:
          GetMemberAction();
          break;
        case 0x4F:
          SetMemberAction();
          break;
        case 0x50:
          Increment();
          break;
        case 0x51:
          Decrement();
          break;
        case 0x52:
          CallMethodAction();
          break;
        case 0x53:
          NewMethod();
          break;
        case 0x54:
          InstanceOfAction();
          break;
        case 0x55:
          Enumerate2();
          break;
        case 0x60:
          BitAnd();
          break;
        case 0x61:
          BitOr();
          break;
        case 0x62:
          BitXor();
          break;
        case 0x63:
          BitLShift();
          break;
        case 0x64:
          BitRShift();
          break;
        case 0x65:
          BitURShift();
          break;
        case 0x66:
          StrictEqualsAction();
          break;
        case 0x67:
          Greater();
          break;
        case 0x68:
          StringGreater();
          break;
        case 0x69:
          Extends();
          break;
        default:
          break;  // unknown actions are skipped
      }
      return true;
    }
    if (act.pc + 2 > act.code.size()) return false;
    size_t len = act.code[act.pc] | (act.code[act.pc + 1] << 8);
    act.pc += 2;
    if (act.pc + len > act.code.size()) return false;
    ByteReader r(act.code.subspan(act.pc, len));
    act.pc += len;
    switch (code) {
      case 0x81:
        GotoFrame(r);
        break;
      case 0x83:
        GetUrl(r);
        break;
      case 0x87:
        StoreRegister(r);
        break;
      case 0x88:
        ConstantPool(r);
        break;
      case 0x8A:
        WaitForFrame(r);
        break;
      case 0x8B:
        SetTarget(r);
        break;
      case 0x8C:
        GoToLabel(r);
        break;
      case 0x8D:
        WaitForFrame2(r);
        break;
      case 0x8E:
        DefineFunction2(r);
        break;
      case 0x8F:
        Try(r, try_depth);
        break;
      case 0x94:
        With(r);
        break;
      case 0x96:
        PushAction(r);
        break;
      case 0x99:
        Jump(r);
        break;
      case 0x9A:
        GetUrl2(r);
        break;
      case 0x9B:
        DefineFunction(r);
        break;
      case 0x9D:
        If(r);
        break;
      case 0x9E:
        Call();
        break;
      case 0x9F:
        GotoFrame2(r);
        break;
      default:
        break;
    }
    return true;
  }
};

void Vm::Execute(Activation& act, size_t end, int try_depth) {
  Interpreter in{*this, act, stack_};
  size_t start = act.pc;
  while (!act.returned && act.pc < end && act.pc >= start) {
    while (!act.withs.empty() &&
           (act.pc < act.withs.back().start || act.pc >= act.withs.back().end)) {
      size_t index = act.withs.back().scope_index;
      if (index < act.scope.size()) act.scope.erase(act.scope.begin() + index);
      if (act.target_slot > static_cast<int>(index)) --act.target_slot;
      act.withs.pop_back();
    }
    if (++step_counter_ >= 2048) {
      step_counter_ = 0;
      CheckLimits();
      if (depth_ <= 1 && native_depth_ == 0 && heap_.allocated_since_collect() > 200000) {
        Collect();
      }
    }
    if (!in.Step(try_depth)) {
      // End of the block (or a damaged record): everything stops, as after a return.
      act.returned = true;
      break;
    }
  }
}

}  // namespace flashsaver::avm1
