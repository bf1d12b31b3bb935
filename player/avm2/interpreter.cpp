// The interpreter of ABC method bodies. Every instruction decodes through DecodeInstruction, once
// per body (the method keeps what it decoded); a script throw is a C++ ScriptException caught here
// against the body's exception table.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "player/avm2/abc_unit.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/xml_support.h"
#include "player/avm2/frame.h"
#include "player/avm2/instruction.h"
#include "player/avm2/verifier.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

ClassObject* NewClass(Vm& vm, AbcUnit& unit, uint32_t index, ClassObject* base,
                      const std::vector<Value>& scope);
Object* NewActivation(Vm& vm, AbcUnit& unit, const AbcMethodBody& body);
Object* NewCatchScope(Vm& vm, AbcUnit& unit, const AbcException& e);
bool EnumerateNext(Vm& vm, Value& obj, uint32_t& index);
Value EnumName(Vm& vm, const Value& obj, uint32_t index);
Value EnumValue(Vm& vm, const Value& obj, uint32_t index);
Value AddValues(Vm& vm, const Value& a, const Value& b);

namespace {

// The two numbers on top of the stack, when both are numbers: a binary operation on them runs
// no script and replaces them in place.
bool TopNumbers(std::vector<Value>& st, double& x, double& y) {
  if (st.size() < 2) return false;
  const Value& a = st[st.size() - 2];
  const Value& b = st.back();
  if (!a.IsNumeric() || !b.IsNumeric()) return false;
  x = a.AsDouble();
  y = b.AsDouble();
  return true;
}

bool TopInts(std::vector<Value>& st, int32_t& x, int32_t& y) {
  if (st.size() < 2) return false;
  const Value& a = st[st.size() - 2];
  const Value& b = st.back();
  if (!a.IsInt() || !b.IsInt()) return false;
  x = a.AsInt();
  y = b.AsInt();
  return true;
}

void ReplaceTopTwo(std::vector<Value>& st, Value v) {
  st.pop_back();
  st.back() = std::move(v);
}

struct FrameGuard {
  Vm& vm;
  FrameGuard(Vm& v, Frame* f) : vm(v) { vm.frames().push_back(f); }
  ~FrameGuard() { vm.frames().pop_back(); }
};

Value Pop(Frame& f) {
  if (f.stack.empty()) return Value();
  Value v = std::move(f.stack.back());
  f.stack.pop_back();
  return v;
}

std::vector<Value> PopArgs(Frame& f, int64_t n) {
  auto count = static_cast<size_t>(std::min<int64_t>(n, static_cast<int64_t>(f.stack.size())));
  std::vector<Value> args(f.stack.end() - static_cast<ptrdiff_t>(count), f.stack.end());
  f.stack.resize(f.stack.size() - count);
  return args;
}

// The name of a multiname operand: the unit's own when it has no runtime parts, else `scratch`
// made with its runtime parts popped from the stack.
const Name& ReadName(Vm& vm, AbcUnit& unit, Frame& f, uint32_t index, Name& scratch,
                     Value* runtime_key = nullptr) {
  const bool runtime_name = unit.NeedsRuntimeName(index);
  const bool runtime_ns = unit.NeedsRuntimeNs(index);
  if (!runtime_name && !runtime_ns) return unit.names[index];
  Name& n = scratch;
  n = unit.names[index];
  if (runtime_name) {
    Value v = Pop(f);
    if (runtime_key) *runtime_key = v;
    if (auto* q = dynamic_cast<QNameObject*>(v.AsObject())) {
      n.local = q->local;
      n.set.clear();
      if (q->ns)
        n.set.push_back(q->ns);
      else
        n.any_ns = true;
    } else {
      n.local = vm.ToString(v);
    }
    n.any_name = false;
  }
  if (runtime_ns) {
    Value v = Pop(f);
    auto* ns = dynamic_cast<NamespaceObject*>(v.AsObject());
    if (!ns) vm.ThrowError(ErrorType::kTypeError, 1080);
    n.set.assign(1, ns->ns);
    n.any_ns = false;
  }
  return n;
}

// A key that names an index: a whole number from 0 to 2^32 - 2.
bool IndexKey(const Value& key, uint32_t& index) {
  if (key.IsInt() && key.AsInt() >= 0) {
    index = static_cast<uint32_t>(key.AsInt());
    return true;
  }
  if (key.IsUInt() && key.AsUInt() < 0xFFFFFFFF) {
    index = key.AsUInt();
    return true;
  }
  if (key.IsNumber()) {
    double d = key.AsDouble();
    if (d >= 0 && d < 4294967295.0 && d == std::trunc(d)) {
      index = static_cast<uint32_t>(d);
      return true;
    }
  }
  return false;
}

bool ElementFast(const Value& obj, const Value& key, ArrayObject*& a, uint32_t& index) {
  a = dynamic_cast<ArrayObject*>(obj.AsObject());
  return a && IndexKey(key, index);
}

// v[i] of a Vector with a public index name; the long way handles what is out of range.
VectorObject* VectorElement(const Value& obj, const Value& key, uint32_t& index) {
  Object* o = obj.AsObject();
  if (!o || o->kind() != ObjectKind::kBoxed) return nullptr;
  auto* v = dynamic_cast<VectorObject*>(o);
  return v && IndexKey(key, index) ? v : nullptr;
}

// Scopes answer by their fixed traits and own dynamic properties; with-scopes and primitives by
// a full lookup that takes in their prototype chains. A global object (and the outermost scope)
// answers by its traits at once, by its dynamic properties and prototypes only after the
// domain's definitions.
Value FindProperty(Vm& vm, Frame& f, const Name& name, bool strict,
                   [[maybe_unused]] DecodedInstruction* cache = nullptr) {
  auto holds = [&](const Value& s, bool full) {
    if (s.IsNullish()) return false;
    Object* o = s.AsObject();
    if (full || !o) return vm.HasProperty(s, name);
    return (o->traits() && o->traits()->Find(name)) ||
           (name.IsPublic() && o->dynamic().Find(name.local.view()) != nullptr);
  };
  const Value* global = nullptr;
  auto check = [&](const Value& s, bool with, bool outermost) {
    Object* o = s.AsObject();
    if (!with && ((o && o->kind() == ObjectKind::kGlobal) || outermost)) {
      if (o && o->traits() && o->traits()->Find(name)) return true;
      if (!global) global = &s;
      return false;
    }
    return holds(s, with);
  };
  for (size_t i = f.scopes.size(); i-- > 0;)
    if (check(f.scopes[i], f.with_scope[i], i == 0 && f.outer->empty())) return f.scopes[i];
  for (size_t i = f.outer->size(); i-- > 0;)
    if (check((*f.outer)[i], false, i == 0)) return (*f.outer)[i];
  Value def;
  Object* holder = nullptr;
  if (vm.FindDefinition(name, def, &holder)) return Value(holder);
  if (global && holds(*global, true)) return *global;
  if (strict) vm.ThrowError(ErrorType::kReferenceError, 1065, {name.local.ToUtf8()});
  if (!f.outer->empty()) return (*f.outer)[0];
  return f.scopes.empty() ? Value() : f.scopes[0];
}

const Trait* SuperTrait(Vm& vm, MethodInfo* m, const Name& name) {
  ClassObject* home = m->home;
  if (!home || !home->super) vm.ThrowError(ErrorType::kReferenceError, 1070, {name.local.ToUtf8()});
  return home->super->instance_traits.Find(name);
}

double Num(Vm& vm, const Value& v) { return v.IsNumeric() ? v.AsDouble() : vm.ToNumber(v); }

// The trait a fixed name finds on o, remembered by the instruction for objects with the same
// traits. Only objects whose lookup starts at their traits take this path: instances of script
// classes, class objects, activations and script globals; null sends the rest the long way.
const Trait* CachedTrait(Vm& vm, DecodedInstruction& di, Object* o, const Name& name) {
  if (!o || !o->traits()) return nullptr;
  switch (o->kind()) {
    case ObjectKind::kPlain:
    case ObjectKind::kClass:
    case ObjectKind::kActivation:
      break;
    case ObjectKind::kGlobal:
      if (o == vm.global()) return nullptr;
      break;
    default:
      return nullptr;
  }
  if (di.traits != o->traits()) {
    di.traits = o->traits();
    di.trait = di.traits->Find(name);
  }
  return di.trait;
}

bool IsStaticName(const AbcUnit& unit, uint32_t index) {
  return !unit.NeedsRuntimeName(index) && !unit.NeedsRuntimeNs(index);
}

bool SlotTypeKnown(const Trait& t) { return t.type_class || t.type_name == 0 || !t.unit; }

}  // namespace

Value Execute(Vm& vm, MethodInfo* m, const Value& self, std::span<const Value> args,
              const std::vector<Value>* outer, FunctionObject* callee) {
  AbcUnit& unit = *m->unit;
  const AbcMethodBody& body = *m->body;
  const AbcMethod& info = *m->abc;
  Frame f;
  f.method = m;
  f.outer = outer;
  f.self = self;
  FrameGuard guard(vm, &f);
  f.locals.resize(std::max<size_t>(body.local_count, info.param_types.size() + 2));
  f.locals[0] = self;
  size_t nparams = info.param_types.size();
  size_t required = nparams - std::min(nparams, info.optional.size());
  // Functions made by newfunction take any number of arguments; methods check the count.
  bool lenient = callee && !callee->is_closure;
  if (!lenient && (args.size() < required ||
                   (args.size() > nparams &&
                    !(info.flags & (method_flag::kNeedRest | method_flag::kNeedArguments)))))
    vm.ThrowError(ErrorType::kArgumentError, 1063,
                  {m->trace_name, std::to_string(required), std::to_string(args.size())});
  for (size_t i = 0; i < nparams; ++i) {
    Value v = i < args.size() ? args[i]
              : i >= required ? unit.ConstantValue(vm, info.optional[i - required])
                              : Value();
    uint32_t t = info.param_types[i];
    if (t != 0) {
      Value cls;
      if (vm.ResolveType(unit, t, cls))
        v = vm.Coerce(v, dynamic_cast<ClassObject*>(cls.AsObject()));
    }
    f.locals[i + 1] = v;
  }
  if (info.flags & (method_flag::kNeedRest | method_flag::kNeedArguments)) {
    std::vector<Value> rest;
    size_t from = (info.flags & method_flag::kNeedRest) ? nparams : 0;
    for (size_t i = from; i < args.size(); ++i) rest.push_back(args[i]);
    ArrayObject* a = vm.NewArray(std::move(rest));
    if ((info.flags & method_flag::kNeedArguments) && callee) {
      Str key(u"callee");
      a->dynamic().Set(key, Value(static_cast<Object*>(callee)));
      a->dynamic().FindEntry(key.view())->enumerable = false;
    }
    f.locals[nparams + 1] = Value(static_cast<Object*>(a));
  }
  if (!m->checked) {
    // Flash checks a body once, before it first runs.
    VerifiedBody verified;
    VerifyError error;
    VerifyOptions options;
    options.method_name = m->trace_name + "()";
    auto bi = static_cast<uint32_t>(&body - unit.file.bodies.data());
    if (!VerifyMethodBody(unit.file, bi, verified, error, options)) {
      Value e = vm.MakeErrorWithText(ErrorType::kVerifyError, error.id, error.message);
      vm.Throw(e);
    }
    m->checked = true;
  }
  std::span<const uint8_t> code(body.code);
  if (m->decoded_at.size() != code.size()) m->decoded_at.assign(code.size(), nullptr);
  f.stack.reserve(std::min<size_t>(body.max_stack, 256));
  f.scopes.reserve(std::min<size_t>(body.max_scope_depth, 64));
  f.with_scope.reserve(std::min<size_t>(body.max_scope_depth, 64));
  uint32_t pc = 0;
  ClassObject* return_type = nullptr;
  bool return_type_known = info.return_type == 0;
  for (;;) {
    try {
      for (;;) {
        if (pc >= code.size()) return Value();
        DecodedInstruction* ip = m->decoded_at[pc];
        if (!ip) {
          Instruction decoded;
          if (DecodeInstruction(code, pc, decoded) != DecodeResult::kOk)
            vm.ThrowError(ErrorType::kVerifyError, 1011, {m->trace_name, std::to_string(pc)});
          ip = m->decoded_at[pc] = &m->decoded.emplace_back(DecodedInstruction{decoded});
          const auto index = static_cast<uint64_t>(decoded.operand[0]);
          ip->static_name =
              index < unit.names.size() && IsStaticName(unit, static_cast<uint32_t>(index));
        }
        const Instruction& ins = ip->ins;
        vm.CheckLimits();
        uint32_t next = pc + ins.length;
        auto target = [&](int64_t t) {
          if (t < 0 || t > static_cast<int64_t>(code.size()))
            vm.ThrowError(ErrorType::kVerifyError, 1021);
          return static_cast<uint32_t>(t);
        };
        auto op0 = static_cast<uint32_t>(ins.operand[0]);
        auto& st = f.stack;
        switch (ins.op) {
          case Op::kNop:
          case Op::kLabel:
          case Op::kBkpt:
          case Op::kBkptLine:
          case Op::kDebug:
          case Op::kDebugLine:
          case Op::kDebugFile:
          case Op::kTimestamp:
            break;
          case Op::kDxns:
            XmlSetDefaultNamespace(vm, Value(unit.strings.at(op0)));
            break;
          case Op::kDxnsLate:
            XmlSetDefaultNamespace(vm, Pop(f));
            break;
          case Op::kThrow:
            vm.Throw(Pop(f));
          case Op::kKill:
            f.locals.at(op0) = Value();
            break;
          case Op::kJump:
            next = target(ins.operand[0]);
            break;
          case Op::kIfTrue:
          case Op::kIfFalse: {
            bool b = Vm::ToBoolean(Pop(f));
            if (b == (ins.op == Op::kIfTrue)) next = target(ins.operand[0]);
            break;
          }
          case Op::kIfEq:
          case Op::kIfNe:
          case Op::kIfStrictEq:
          case Op::kIfStrictNe:
          case Op::kIfLt:
          case Op::kIfLe:
          case Op::kIfGt:
          case Op::kIfGe:
          case Op::kIfNlt:
          case Op::kIfNle:
          case Op::kIfNgt:
          case Op::kIfNge: {
            double x, y;
            if (TopNumbers(st, x, y)) {
              bool r;
              switch (ins.op) {
                case Op::kIfEq:
                case Op::kIfStrictEq:
                  r = x == y;
                  break;
                case Op::kIfNe:
                case Op::kIfStrictNe:
                  r = x != y;
                  break;
                case Op::kIfLt:
                  r = x < y;
                  break;
                case Op::kIfNlt:
                  r = !(x < y);
                  break;
                case Op::kIfLe:
                  r = x <= y;
                  break;
                case Op::kIfNle:
                  r = !(x <= y);
                  break;
                case Op::kIfGt:
                  r = x > y;
                  break;
                case Op::kIfNgt:
                  r = !(x > y);
                  break;
                case Op::kIfGe:
                  r = x >= y;
                  break;
                default:
                  r = !(x >= y);
                  break;
              }
              st.resize(st.size() - 2);
              if (r) next = target(ins.operand[0]);
              break;
            }
            Value b = Pop(f), a = Pop(f);
            bool r = false;
            switch (ins.op) {
              case Op::kIfEq:
                r = vm.LooseEquals(a, b);
                break;
              case Op::kIfNe:
                r = !vm.LooseEquals(a, b);
                break;
              case Op::kIfStrictEq:
                r = StrictEquals(a, b);
                break;
              case Op::kIfStrictNe:
                r = !StrictEquals(a, b);
                break;
              case Op::kIfLt:
                r = vm.LessThan(a, b) == 1;
                break;
              case Op::kIfNlt:
                r = vm.LessThan(a, b) != 1;
                break;
              case Op::kIfLe:
                r = vm.LessThan(b, a) == 0;
                break;
              case Op::kIfNle:
                r = vm.LessThan(b, a) != 0;
                break;
              case Op::kIfGt:
                r = vm.LessThan(b, a) == 1;
                break;
              case Op::kIfNgt:
                r = vm.LessThan(b, a) != 1;
                break;
              case Op::kIfGe:
                r = vm.LessThan(a, b) == 0;
                break;
              default:
                r = vm.LessThan(a, b) != 0;
                break;
            }
            if (r) next = target(ins.operand[0]);
            break;
          }
          case Op::kLookupSwitch: {
            int32_t i = vm.ToInt32(Pop(f));
            int64_t t = ins.operand[0];
            if (i >= 0 && i <= ins.operand[1])
              t = SwitchTarget(code, ins, static_cast<uint32_t>(i));
            next = target(t);
            break;
          }
          case Op::kPushWith:
          case Op::kPushScope: {
            Value v = Pop(f);
            if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, v.IsNull() ? 1009 : 1010);
            f.scopes.push_back(v);
            f.with_scope.push_back(ins.op == Op::kPushWith);
            break;
          }
          case Op::kPopScope:
            if (!f.scopes.empty()) {
              f.scopes.pop_back();
              f.with_scope.pop_back();
            }
            break;
          case Op::kNextName:
          case Op::kNextValue: {
            Value idx = Pop(f), obj = Pop(f);
            uint32_t i = vm.ToUint32(idx);
            st.push_back(ins.op == Op::kNextName ? EnumName(vm, obj, i) : EnumValue(vm, obj, i));
            break;
          }
          case Op::kHasNext: {
            Value idx = Pop(f), obj = Pop(f);
            uint32_t i = vm.ToUint32(idx);
            Value o = obj;
            bool more = EnumerateNext(vm, o, i);
            // The old form cannot move to the prototype: it ends with the object itself.
            st.push_back(Value(more && StrictEquals(o, obj) ? i : 0u));
            break;
          }
          case Op::kHasNext2: {
            auto oreg = op0;
            auto ireg = static_cast<uint32_t>(ins.operand[1]);
            Value o = f.locals.at(oreg);
            uint32_t i = vm.ToUint32(f.locals.at(ireg));
            bool more = EnumerateNext(vm, o, i);
            f.locals[oreg] = more ? o : Value::Null();
            f.locals[ireg] = Value(static_cast<int32_t>(more ? i : 0));
            st.push_back(Value(more));
            break;
          }
          case Op::kPushNull:
            st.push_back(Value::Null());
            break;
          case Op::kPushUndefined:
            st.push_back(Value());
            break;
          case Op::kPushByte:
            st.push_back(Value(static_cast<int32_t>(static_cast<int8_t>(ins.operand[0]))));
            break;
          case Op::kPushShort:
            st.push_back(Value(static_cast<int32_t>(static_cast<int16_t>(ins.operand[0]))));
            break;
          case Op::kPushTrue:
            st.push_back(Value(true));
            break;
          case Op::kPushFalse:
            st.push_back(Value(false));
            break;
          case Op::kPushNaN:
            st.push_back(Value(NAN));
            break;
          case Op::kPop:
            Pop(f);
            break;
          case Op::kDup:
            st.push_back(st.empty() ? Value() : st.back());
            break;
          case Op::kSwap:
            if (st.size() >= 2) std::swap(st[st.size() - 1], st[st.size() - 2]);
            break;
          case Op::kPushString:
            st.push_back(Value(unit.strings.at(op0)));
            break;
          case Op::kPushInt:
            st.push_back(Value(unit.file.ints.at(op0)));
            break;
          case Op::kPushUInt:
            st.push_back(Value(unit.file.uints.at(op0)));
            break;
          case Op::kPushDouble:
            st.push_back(Value(unit.file.doubles.at(op0)));
            break;
          case Op::kPushNamespace:
            st.push_back(unit.ConstantValue(vm, {ConstantKind::kNamespace, op0}));
            break;
          case Op::kNewFunction: {
            std::vector<Value> chain = *f.outer;
            chain.insert(chain.end(), f.scopes.begin(), f.scopes.end());
            MethodInfo* fm = unit.methods.at(op0).get();
            if (!fm->global && !chain.empty()) fm->global = chain[0].AsObject();
            st.push_back(Value(static_cast<Object*>(vm.NewFunction(fm, chain))));
            break;
          }
          case Op::kCall: {
            auto a = PopArgs(f, ins.operand[0]);
            Value recv = Pop(f), fn = Pop(f);
            st.push_back(vm.Call(fn, recv, a));
            break;
          }
          case Op::kConstruct: {
            auto a = PopArgs(f, ins.operand[0]);
            Value c = Pop(f);
            st.push_back(vm.Construct(c, a));
            break;
          }
          case Op::kCallStatic: {
            auto a = PopArgs(f, ins.operand[1]);
            Value recv = Pop(f);
            st.push_back(vm.Invoke(unit.methods.at(op0).get(), recv, a, nullptr, nullptr));
            break;
          }
          case Op::kCallMethod:
            vm.ThrowError(ErrorType::kVerifyError, 1051);
          case Op::kCallSuper:
          case Op::kCallSuperVoid: {
            auto a = PopArgs(f, ins.operand[1]);
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch);
            Value recv = Pop(f);
            const Trait* t = SuperTrait(vm, m, n);
            Value r;
            if (t && t->type == TraitType::kMethod) {
              r = vm.Invoke(t->method, recv, a, nullptr, nullptr);
            } else if (t && t->type == TraitType::kAccessor && t->getter) {
              r = vm.Call(vm.Invoke(t->getter, recv, {}, nullptr, nullptr), recv, a);
            } else {
              vm.ThrowError(ErrorType::kReferenceError, 1070,
                            {n.local.ToUtf8(), m->home->super->qualified});
            }
            if (ins.op == Op::kCallSuper) st.push_back(r);
            break;
          }
          case Op::kGetSuper: {
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch);
            Value recv = Pop(f);
            const Trait* t = SuperTrait(vm, m, n);
            if (!t) {
              st.push_back(vm.GetProperty(recv, n));
            } else if (t->type == TraitType::kMethod) {
              st.push_back(Value(static_cast<Object*>(vm.BindMethod(t->method, recv))));
            } else if (t->type == TraitType::kAccessor && t->getter) {
              st.push_back(vm.Invoke(t->getter, recv, {}, nullptr, nullptr));
            } else {
              st.push_back(vm.GetProperty(recv, n));
            }
            break;
          }
          case Op::kSetSuper: {
            Value v = Pop(f);
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch);
            Value recv = Pop(f);
            const Trait* t = SuperTrait(vm, m, n);
            if (t && t->type == TraitType::kAccessor && t->setter)
              vm.Invoke(t->setter, recv, std::span<const Value>(&v, 1), nullptr, nullptr);
            else
              vm.SetProperty(recv, n, v);
            break;
          }
          case Op::kReturnVoid:
            return Value();
          case Op::kReturnValue: {
            Value v = Pop(f);
            if (!return_type_known) {
              Value c;
              if (vm.ResolveType(unit, info.return_type, c))
                return_type = dynamic_cast<ClassObject*>(c.AsObject());
              return_type_known = true;
            }
            return return_type ? vm.Coerce(v, return_type) : v;
          }
          case Op::kConstructSuper: {
            auto a = PopArgs(f, ins.operand[0]);
            Value recv = Pop(f);
            if (m->home && m->home->super && recv.AsObject())
              vm.ConstructInto(m->home->super, recv.AsObject(), a);
            break;
          }
          case Op::kConstructProp: {
            auto a = PopArgs(f, ins.operand[1]);
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch);
            Value obj = Pop(f);
            Value c = vm.GetProperty(obj, n);
            if (!c.AsObject()) vm.ThrowError(ErrorType::kTypeError, 1007);
            st.push_back(vm.Construct(c, a));
            break;
          }
          case Op::kCallProperty:
          case Op::kCallPropLex:
          case Op::kCallPropVoid: {
            const auto argc = static_cast<size_t>(ins.operand[1]);
            if (ip->static_name && st.size() > argc) {
              // Arguments stay on this frame's stack while the callee runs on its own.
              Value obj = st[st.size() - 1 - argc];
              std::span<const Value> args_view(st.data() + (st.size() - argc), argc);
              const Trait* t = CachedTrait(vm, *ip, obj.AsObject(), unit.names[op0]);
              Value r = t && t->type == TraitType::kMethod
                            ? vm.Invoke(t->method, obj, args_view, nullptr, nullptr)
                            : vm.CallProperty(obj, unit.names[op0], args_view);
              st.resize(st.size() - argc - 1);
              if (ins.op != Op::kCallPropVoid) st.push_back(std::move(r));
              break;
            }
            auto a = PopArgs(f, ins.operand[1]);
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch);
            Value obj = Pop(f);
            Value r = vm.CallProperty(obj, n, a);
            if (ins.op != Op::kCallPropVoid) st.push_back(r);
            break;
          }
          case Op::kApplyType: {
            auto a = PopArgs(f, ins.operand[0]);
            Value base = Pop(f);
            st.push_back(vm.ApplyType(base, a));
            break;
          }
          case Op::kNewObject: {
            auto a = PopArgs(f, ins.operand[0] * 2);
            Object* o = vm.NewObject();
            // Flash stores the pairs from the top of the stack down: the last written first.
            for (size_t i = a.size() & ~size_t{1}; i >= 2; i -= 2)
              o->dynamic().Set(vm.ToString(a[i - 2]), a[i - 1]);
            st.push_back(Value(o));
            break;
          }
          case Op::kNewArray: {
            auto a = PopArgs(f, ins.operand[0]);
            st.push_back(Value(static_cast<Object*>(vm.NewArray(std::move(a)))));
            break;
          }
          case Op::kNewActivation:
            st.push_back(Value(NewActivation(vm, unit, body)));
            break;
          case Op::kNewClass: {
            Value base = Pop(f);
            std::vector<Value> chain = *f.outer;
            chain.insert(chain.end(), f.scopes.begin(), f.scopes.end());
            st.push_back(Value(static_cast<Object*>(
                NewClass(vm, unit, op0, dynamic_cast<ClassObject*>(base.AsObject()), chain))));
            break;
          }
          case Op::kNewCatch:
            st.push_back(Value(NewCatchScope(vm, unit, body.exceptions.at(op0))));
            break;
          case Op::kGetDescendants:
          case Op::kCheckFilter:
          case Op::kEscXElem:
          case Op::kEscXAttr: {
            Value v = ins.op == Op::kGetDescendants ? Value() : Pop(f);
            if (ins.op == Op::kGetDescendants) {
              Name scratch;
              const Name& n = ReadName(vm, unit, f, op0, scratch);
              Value obj = Pop(f);
              st.push_back(vm.Descendants(obj, n));
            } else if (ins.op == Op::kCheckFilter) {
              st.push_back(vm.CheckFilter(v));
            } else {
              st.push_back(vm.EscapeXml(v, ins.op == Op::kEscXAttr));
            }
            break;
          }
          case Op::kFindPropStrict:
          case Op::kFindProperty: {
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch);
            st.push_back(FindProperty(vm, f, n, ins.op == Op::kFindPropStrict,
                                      ip->static_name ? ip : nullptr));
            break;
          }
          case Op::kFindDef: {
            Value def;
            Object* holder = nullptr;
            if (!vm.FindDefinition(unit.names[op0], def, &holder))
              vm.ThrowError(ErrorType::kReferenceError, 1065, {unit.names[op0].local.ToUtf8()});
            st.push_back(Value(holder));
            break;
          }
          case Op::kGetLex: {
            const Name& n = unit.names[op0];
            Value scope = FindProperty(vm, f, n, true, ip);
            st.push_back(vm.GetProperty(scope, n));
            break;
          }
          case Op::kGetProperty: {
            if (ip->static_name && !st.empty()) {
              Object* o = st.back().AsObject();
              if (const Trait* t = CachedTrait(vm, *ip, o, unit.names[op0])) {
                if (t->type != TraitType::kMethod && t->type != TraitType::kAccessor &&
                    t->slot < o->slots().size()) {
                  st.back() = o->slots()[t->slot];
                  break;
                }
              }
            }
            if (unit.NeedsRuntimeName(op0) && !unit.NeedsRuntimeNs(op0) && st.size() >= 2) {
              ArrayObject* a;
              uint32_t i;
              if (ElementFast(st[st.size() - 2], st.back(), a, i) && a->Has(i)) {
                Value v = a->Get(i);
                st.pop_back();
                st.back() = v;
                break;
              }
              if (VectorObject* vec = VectorElement(st[st.size() - 2], st.back(), i);
                  vec && i < vec->items.size() && unit.names[op0].IsPublic()) {
                Value v = vec->items[i];
                ReplaceTopTwo(st, std::move(v));
                break;
              }
            }
            Value key;
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch, &key);
            Value obj = Pop(f);
            if (key.AsObject()) DictionaryKeyName(vm, obj, key, scratch);
            st.push_back(vm.GetProperty(obj, n));
            break;
          }
          case Op::kSetProperty:
          case Op::kInitProperty: {
            if (ip->static_name && st.size() >= 2) {
              Object* o = st[st.size() - 2].AsObject();
              const Trait* t = CachedTrait(vm, *ip, o, unit.names[op0]);
              if (t &&
                  (t->type == TraitType::kSlot ||
                   (t->type == TraitType::kConst && ins.op == Op::kInitProperty)) &&
                  t->slot < o->slots().size() && SlotTypeKnown(*t)) {
                ClassObject* type = t->type_class;
                o->slots()[t->slot] = type ? vm.Coerce(st.back(), type) : st.back();
                st.resize(st.size() - 2);
                break;
              }
            }
            Value v = Pop(f);
            if (unit.NeedsRuntimeName(op0) && !unit.NeedsRuntimeNs(op0) && st.size() >= 2) {
              ArrayObject* a;
              uint32_t i;
              if (ElementFast(st[st.size() - 2], st.back(), a, i)) {
                a->Set(i, v);
                st.resize(st.size() - 2);
                break;
              }
              // A Vector takes a value within its length, or one more at its end unless fixed.
              if (VectorObject* vec = VectorElement(st[st.size() - 2], st.back(), i);
                  vec && unit.names[op0].IsPublic() &&
                  (i < vec->items.size() || (i == vec->items.size() && !vec->fixed))) {
                Value c = vm.Coerce(v, vec->type);
                // The coercion may have run script (valueOf) that resized the Vector.
                if (i < vec->items.size())
                  vec->items[i] = std::move(c);
                else if (i == vec->items.size() && !vec->fixed)
                  vec->items.push_back(std::move(c));
                else
                  vm.ThrowError(ErrorType::kRangeError, 1125,
                                {std::to_string(i), std::to_string(vec->items.size())});
                st.resize(st.size() - 2);
                break;
              }
            }
            Value key;
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch, &key);
            Value obj = Pop(f);
            if (key.AsObject()) DictionaryKeyName(vm, obj, key, scratch);
            vm.SetProperty(obj, n, v, ins.op == Op::kInitProperty);
            break;
          }
          case Op::kDeleteProperty: {
            Value key;
            Name scratch;
            const Name& n = ReadName(vm, unit, f, op0, scratch, &key);
            Value obj = Pop(f);
            if (key.AsObject()) DictionaryKeyName(vm, obj, key, scratch);
            st.push_back(Value(vm.DeleteProperty(obj, n)));
            break;
          }
          case Op::kGetLocal:
            st.push_back(f.locals.at(op0));
            break;
          case Op::kSetLocal:
            f.locals.at(op0) = Pop(f);
            break;
          case Op::kGetLocal0:
          case Op::kGetLocal1:
          case Op::kGetLocal2:
          case Op::kGetLocal3:
            st.push_back(
                f.locals.at(static_cast<size_t>(ins.op) - static_cast<size_t>(Op::kGetLocal0)));
            break;
          case Op::kSetLocal0:
          case Op::kSetLocal1:
          case Op::kSetLocal2:
          case Op::kSetLocal3:
            f.locals.at(static_cast<size_t>(ins.op) - static_cast<size_t>(Op::kSetLocal0)) = Pop(f);
            break;
          case Op::kGetGlobalScope:
            st.push_back(!f.outer->empty()  ? (*f.outer)[0]
                         : f.scopes.empty() ? Value()
                                            : f.scopes[0]);
            break;
          case Op::kGetScopeObject:
            st.push_back(f.scopes.at(op0));
            break;
          case Op::kGetSlot:
          case Op::kGetGlobalSlot: {
            Value obj = ins.op == Op::kGetSlot
                            ? Pop(f)
                            : (!f.outer->empty() ? (*f.outer)[0] : f.scopes.at(0));
            Object* o = obj.AsObject();
            if (!o) vm.ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
            if (op0 == 0 || op0 > o->slots().size())
              vm.ThrowError(ErrorType::kVerifyError, 1026, {std::to_string(op0)});
            st.push_back(o->slots()[op0 - 1]);
            break;
          }
          case Op::kSetSlot:
          case Op::kSetGlobalSlot: {
            Value v = Pop(f);
            Value obj = ins.op == Op::kSetSlot
                            ? Pop(f)
                            : (!f.outer->empty() ? (*f.outer)[0] : f.scopes.at(0));
            Object* o = obj.AsObject();
            if (!o) vm.ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
            if (op0 == 0 || op0 > o->slots().size())
              vm.ThrowError(ErrorType::kVerifyError, 1026, {std::to_string(op0)});
            vm.SetSlot(o, op0 - 1, v);
            break;
          }
          case Op::kConvertS:
          case Op::kCoerceS: {
            Value v = Pop(f);
            st.push_back(ins.op == Op::kCoerceS && v.IsNullish() ? Value::Null()
                                                                 : Value(vm.ToString(v)));
            break;
          }
          case Op::kConvertI:
          case Op::kCoerceI:
            if (!st.empty() && st.back().IsInt()) break;
            st.push_back(Value(vm.ToInt32(Pop(f))));
            break;
          case Op::kConvertU:
          case Op::kCoerceU:
            st.push_back(Value(vm.ToUint32(Pop(f))));
            break;
          case Op::kConvertD:
          case Op::kCoerceD:
            if (!st.empty() && st.back().IsNumber()) break;
            st.push_back(Value(vm.ToNumber(Pop(f))));
            break;
          case Op::kConvertB:
          case Op::kCoerceB:
            st.push_back(Value(Vm::ToBoolean(Pop(f))));
            break;
          case Op::kConvertO: {
            Value v = st.empty() ? Value() : st.back();
            if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, v.IsNull() ? 1009 : 1010);
            break;
          }
          case Op::kCoerceA:
            break;
          case Op::kCoerceO: {
            Value v = Pop(f);
            st.push_back(v.IsNullish() ? Value::Null() : v);
            break;
          }
          case Op::kCoerce: {
            Value v = Pop(f);
            Value c;
            if (!vm.ResolveType(unit, op0, c))
              vm.ThrowError(ErrorType::kReferenceError, 1065, {unit.names[op0].local.ToUtf8()});
            st.push_back(vm.Coerce(v, dynamic_cast<ClassObject*>(c.AsObject())));
            break;
          }
          case Op::kAsType:
          case Op::kIsType: {
            Value v = Pop(f);
            Value c;
            if (!vm.ResolveType(unit, op0, c))
              vm.ThrowError(ErrorType::kReferenceError, 1065, {unit.names[op0].local.ToUtf8()});
            bool is = vm.IsType(v, dynamic_cast<ClassObject*>(c.AsObject()));
            st.push_back(ins.op == Op::kIsType ? Value(is) : is ? v : Value::Null());
            break;
          }
          case Op::kAsTypeLate:
          case Op::kIsTypeLate: {
            Value c = Pop(f), v = Pop(f);
            auto* cls = dynamic_cast<ClassObject*>(c.AsObject());
            // A type that is no object at all fails as a null object would (undefined as such).
            if (!c.IsObject()) vm.ThrowError(ErrorType::kTypeError, c.IsUndefined() ? 1010 : 1009);
            if (!cls) vm.ThrowError(ErrorType::kTypeError, 1041);
            bool is = vm.IsType(v, cls);
            st.push_back(ins.op == Op::kIsTypeLate ? Value(is) : is ? v : Value::Null());
            break;
          }
          case Op::kInstanceOf: {
            Value c = Pop(f), v = Pop(f);
            st.push_back(Value(vm.InstanceOf(v, c)));
            break;
          }
          case Op::kIn: {
            Value obj = Pop(f), name = Pop(f);
            if (obj.IsNullish()) vm.ThrowError(ErrorType::kTypeError, obj.IsNull() ? 1009 : 1010);
            Name n = vm.PublicName(vm.ToString(name).view());
            DictionaryKeyName(vm, obj, name, n);
            st.push_back(Value(vm.HasProperty(obj, n)));
            break;
          }
          case Op::kTypeOf:
            st.push_back(Value(vm.TypeOf(Pop(f))));
            break;
          case Op::kNot:
            st.push_back(Value(!Vm::ToBoolean(Pop(f))));
            break;
          case Op::kBitNot:
            st.push_back(Value(~vm.ToInt32(Pop(f))));
            break;
          case Op::kNegate:
            st.push_back(Value::Numeric(-Num(vm, Pop(f))));
            break;
          case Op::kNegateI:
            st.push_back(
                Value(static_cast<int32_t>(0u - static_cast<uint32_t>(vm.ToInt32(Pop(f))))));
            break;
          case Op::kIncrement:
            st.push_back(Value::Numeric(Num(vm, Pop(f)) + 1));
            break;
          case Op::kDecrement:
            st.push_back(Value::Numeric(Num(vm, Pop(f)) - 1));
            break;
          case Op::kIncrementI:
            st.push_back(
                Value(static_cast<int32_t>(static_cast<uint32_t>(vm.ToInt32(Pop(f))) + 1u)));
            break;
          case Op::kDecrementI:
            st.push_back(
                Value(static_cast<int32_t>(static_cast<uint32_t>(vm.ToInt32(Pop(f))) - 1u)));
            break;
          case Op::kIncLocal:
          case Op::kDecLocal: {
            Value& l = f.locals.at(op0);
            l = Value::Numeric(Num(vm, l) + (ins.op == Op::kIncLocal ? 1 : -1));
            break;
          }
          case Op::kIncLocalI:
          case Op::kDecLocalI: {
            Value& l = f.locals.at(op0);
            l = Value(static_cast<int32_t>(static_cast<uint32_t>(vm.ToInt32(l)) +
                                           (ins.op == Op::kIncLocalI ? 1u : 0xFFFFFFFFu)));
            break;
          }
          case Op::kAdd: {
            if (double x, y; TopNumbers(st, x, y)) {
              ReplaceTopTwo(st, Value::Numeric(x + y));
              break;
            }
            Value b = Pop(f), a = Pop(f);
            st.push_back(AddValues(vm, a, b));
            break;
          }
          case Op::kSubtract:
          case Op::kMultiply:
          case Op::kDivide:
          case Op::kModulo: {
            double x, y;
            if (!TopNumbers(st, x, y)) {
              Value b = Pop(f), a = Pop(f);
              x = Num(vm, a);
              y = Num(vm, b);
              st.push_back(Value());
              st.push_back(Value());
            }
            double r = ins.op == Op::kSubtract   ? x - y
                       : ins.op == Op::kMultiply ? x * y
                       : ins.op == Op::kDivide   ? x / y
                                                 : std::fmod(x, y);
            ReplaceTopTwo(st, Value::Numeric(r));
            break;
          }
          case Op::kAddI:
          case Op::kSubtractI:
          case Op::kMultiplyI: {
            int32_t xi, yi;
            if (!TopInts(st, xi, yi)) {
              Value b = Pop(f), a = Pop(f);
              xi = vm.ToInt32(a);
              yi = vm.ToInt32(b);
              st.push_back(Value());
              st.push_back(Value());
            }
            auto x = static_cast<uint32_t>(xi), y = static_cast<uint32_t>(yi);
            uint32_t r = ins.op == Op::kAddI ? x + y : ins.op == Op::kSubtractI ? x - y : x * y;
            ReplaceTopTwo(st, Value(static_cast<int32_t>(r)));
            break;
          }
          case Op::kLShift:
          case Op::kRShift:
          case Op::kURShift:
          case Op::kBitAnd:
          case Op::kBitOr:
          case Op::kBitXor: {
            Value b = Pop(f), a = Pop(f);
            int32_t x = vm.ToInt32(a);
            uint32_t y = vm.ToUint32(b);
            switch (ins.op) {
              case Op::kLShift:
                st.push_back(Value(static_cast<int32_t>(static_cast<uint32_t>(x) << (y & 31))));
                break;
              case Op::kRShift:
                st.push_back(Value(x >> (y & 31)));
                break;
              case Op::kURShift:
                st.push_back(Value(static_cast<uint32_t>(vm.ToUint32(a) >> (y & 31))));
                break;
              case Op::kBitAnd:
                st.push_back(Value(x & static_cast<int32_t>(y)));
                break;
              case Op::kBitOr:
                st.push_back(Value(x | static_cast<int32_t>(y)));
                break;
              default:
                st.push_back(Value(x ^ static_cast<int32_t>(y)));
                break;
            }
            break;
          }
          case Op::kEquals:
          case Op::kStrictEquals:
          case Op::kLessThan:
          case Op::kLessEquals:
          case Op::kGreaterThan:
          case Op::kGreaterEquals: {
            Value b = Pop(f), a = Pop(f);
            bool r;
            switch (ins.op) {
              case Op::kEquals:
                r = vm.LooseEquals(a, b);
                break;
              case Op::kStrictEquals:
                r = StrictEquals(a, b);
                break;
              case Op::kLessThan:
                r = vm.LessThan(a, b) == 1;
                break;
              case Op::kLessEquals:
                r = vm.LessThan(b, a) == 0;
                break;
              case Op::kGreaterThan:
                r = vm.LessThan(b, a) == 1;
                break;
              default:
                r = vm.LessThan(a, b) == 0;
                break;
            }
            st.push_back(Value(r));
            break;
          }
          case Op::kSxi1:
            st.push_back(Value(-(vm.ToInt32(Pop(f)) & 1)));
            break;
          case Op::kSxi8:
            st.push_back(Value(static_cast<int32_t>(static_cast<int8_t>(vm.ToInt32(Pop(f))))));
            break;
          case Op::kSxi16:
            st.push_back(Value(static_cast<int32_t>(static_cast<int16_t>(vm.ToInt32(Pop(f))))));
            break;
          case Op::kLi8:
          case Op::kLi16:
          case Op::kLi32:
          case Op::kLf32:
          case Op::kLf64: {
            Value addr = Pop(f);
            st.push_back(DomainMemoryLoad(vm, ins.op, addr));
            break;
          }
          case Op::kSi8:
          case Op::kSi16:
          case Op::kSi32:
          case Op::kSf32:
          case Op::kSf64: {
            Value addr = Pop(f), value = Pop(f);
            DomainMemoryStore(vm, ins.op, value, addr);
            break;
          }
          default:
            // Anything else without a backing store here.
            vm.ThrowError(ErrorType::kVerifyError, 1011, {m->trace_name, std::to_string(pc)});
        }
        if (f.stack.size() > vm.limits().max_stack) vm.ThrowError(ErrorType::kError, 1023);
        pc = next;
      }
    } catch (ScriptException& e) {
      bool handled = false;
      for (const AbcException& ex : body.exceptions) {
        if (pc < ex.from || pc >= ex.to) continue;
        if (ex.exc_type != 0) {
          Value c;
          if (!vm.ResolveType(unit, ex.exc_type, c)) continue;
          auto* cls = dynamic_cast<ClassObject*>(c.AsObject());
          if (cls && !vm.IsType(e.value, cls)) continue;
        }
        f.stack.clear();
        f.scopes.clear();
        f.with_scope.clear();
        f.stack.push_back(e.value);
        if (ex.target > code.size()) break;
        pc = ex.target;
        handled = true;
        break;
      }
      if (!handled) throw;
    }
  }
}

}  // namespace flashsaver::avm2
