// Loading ABC files: constant pools into machine strings and namespaces, method infos, traits,
// classes (newclass) and the scripts' global objects.
#include <cmath>

#include "player/avm2/abc_unit.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

Name AbcUnit::StaticName(uint32_t index) const {
  Name n;
  if (index == 0 || index >= file.multinames.size()) {
    n.any_name = n.any_ns = true;
    return n;
  }
  const AbcMultiname& m = file.multinames[index];
  if (m.kind == MultinameKind::kTypeName) return StaticName(m.type_base);
  n.local = strings[m.name];
  n.any_name =
      m.name == 0 && (m.kind == MultinameKind::kQName || m.kind == MultinameKind::kQNameA ||
                      m.kind == MultinameKind::kMultiname || m.kind == MultinameKind::kMultinameA ||
                      m.kind == MultinameKind::kRTQName || m.kind == MultinameKind::kRTQNameA);
  n.attribute = m.kind == MultinameKind::kQNameA || m.kind == MultinameKind::kRTQNameA ||
                m.kind == MultinameKind::kRTQNameLA || m.kind == MultinameKind::kMultinameA ||
                m.kind == MultinameKind::kMultinameLA;
  switch (m.kind) {
    case MultinameKind::kQName:
    case MultinameKind::kQNameA:
      if (m.ns == 0 || !namespaces[m.ns])
        n.any_ns = true;
      else
        n.set.push_back(namespaces[m.ns]);
      break;
    case MultinameKind::kMultiname:
    case MultinameKind::kMultinameA:
    case MultinameKind::kMultinameL:
    case MultinameKind::kMultinameLA:
      n.set = ns_sets[m.ns_set];
      break;
    default:
      break;
  }
  return n;
}

bool AbcUnit::NeedsRuntimeName(uint32_t index) const {
  if (index == 0 || index >= file.multinames.size()) return false;
  auto k = file.multinames[index].kind;
  return k == MultinameKind::kRTQNameL || k == MultinameKind::kRTQNameLA ||
         k == MultinameKind::kMultinameL || k == MultinameKind::kMultinameLA;
}

bool AbcUnit::NeedsRuntimeNs(uint32_t index) const {
  if (index == 0 || index >= file.multinames.size()) return false;
  auto k = file.multinames[index].kind;
  return k == MultinameKind::kRTQName || k == MultinameKind::kRTQNameA ||
         k == MultinameKind::kRTQNameL || k == MultinameKind::kRTQNameLA;
}

Value AbcUnit::ConstantValue(Vm& vm, const AbcConstant& c) const {
  switch (c.kind) {
    case ConstantKind::kUndefined:
      return Value();
    case ConstantKind::kUtf8:
      return Value(strings[c.index]);
    case ConstantKind::kInt:
      return Value(file.ints[c.index]);
    case ConstantKind::kUInt:
      return Value(file.uints[c.index]);
    case ConstantKind::kDouble:
      return Value(file.doubles[c.index]);
    case ConstantKind::kFalse:
      return Value(false);
    case ConstantKind::kTrue:
      return Value(true);
    case ConstantKind::kNull:
      return Value::Null();
    default: {
      Ns ns = c.index < namespaces.size() ? namespaces[c.index] : vm.public_ns();
      if (!ns) ns = vm.public_ns();
      return Value(static_cast<Object*>(vm.heap().New<NamespaceObject>(
          vm.classes().namespace_, vm.classes().namespace_->prototype, ns, Str())));
    }
  }
}

namespace {

NsKind KindOf(NamespaceKind k) {
  switch (k) {
    case NamespaceKind::kProtected:
      return NsKind::kProtected;
    case NamespaceKind::kStaticProtected:
      return NsKind::kStaticProtected;
    case NamespaceKind::kPackageInternal:
      return NsKind::kPackageInternal;
    case NamespaceKind::kPrivate:
      return NsKind::kPrivate;
    case NamespaceKind::kExplicit:
      return NsKind::kExplicit;
    default:
      return NsKind::kPublic;
  }
}

// The default value of a slot of a declared type, when the declaration gives none.
Value TypeDefault(const AbcUnit& unit, uint32_t type_name) {
  if (type_name == 0) return Value();
  Name n = unit.StaticName(type_name);
  const auto& s = n.local.str();
  if (!n.set.empty() && n.set[0]->kind == NsKind::kPublic && n.set[0]->uri.empty()) {
    if (s == u"int") return Value(int32_t{0});
    if (s == u"uint") return Value(uint32_t{0});
    if (s == u"Number") return Value(NAN);
    if (s == u"Boolean") return Value(false);
  }
  return Value::Null();
}

}  // namespace

std::unique_ptr<AbcUnit> LoadUnit(Vm& vm, std::span<const uint8_t> bytes, std::string& error) {
  auto unit = std::make_unique<AbcUnit>();
  AbcError err;
  if (!ReadAbcFile(bytes, unit->file, err)) {
    error = err.message;
    return nullptr;
  }
  const AbcFile& f = unit->file;
  unit->strings.reserve(f.strings.size());
  for (const auto& s : f.strings) unit->strings.push_back(Str::FromUtf8(s));
  unit->namespaces.push_back(nullptr);
  for (size_t i = 1; i < f.namespaces.size(); ++i) {
    const AbcNamespace& n = f.namespaces[i];
    NsKind kind = KindOf(n.kind);
    unit->namespaces.push_back(kind == NsKind::kPrivate ? vm.NewPrivateNs(unit->strings[n.name])
                                                        : vm.InternNs(kind, unit->strings[n.name]));
  }
  for (const auto& set : f.ns_sets) {
    std::vector<Ns> v;
    for (uint32_t i : set) v.push_back(unit->namespaces[i] ? unit->namespaces[i] : vm.public_ns());
    unit->ns_sets.push_back(std::move(v));
  }
  for (size_t i = 0; i < f.methods.size(); ++i) {
    auto m = std::make_unique<MethodInfo>();
    m->unit = unit.get();
    m->index = static_cast<uint32_t>(i);
    m->abc = &f.methods[i];
    if (f.methods[i].body >= 0) m->body = &f.bodies[static_cast<size_t>(f.methods[i].body)];
    m->trace_name = "Function/<anonymous>";
    unit->methods.push_back(std::move(m));
  }
  for (uint32_t i = 0; i < f.multinames.size(); ++i) unit->names.push_back(unit->StaticName(i));
  unit->activation_traits.resize(f.bodies.size());
  unit->classes.assign(f.classes.size(), nullptr);
  unit->script_state.assign(f.scripts.size(), 0);
  return unit;
}

void BuildTraits(Vm& vm, AbcUnit& unit, const std::vector<AbcTrait>& abc_traits, Traits& out,
                 ClassObject* home, bool is_static) {
  std::string prefix;
  if (home) prefix = home->qualified + (is_static ? "$/" : "/");
  for (const AbcTrait& at : abc_traits) {
    Name n = unit.StaticName(at.name);
    Trait t;
    t.name = n.local;
    t.ns = n.set.empty() ? vm.public_ns() : n.set[0];
    t.final = (at.attributes & trait_attr::kFinal) != 0;
    t.unit = &unit;
    switch (at.kind) {
      case TraitKind::kSlot:
      case TraitKind::kConst:
      case TraitKind::kClass:
      case TraitKind::kFunction: {
        t.type = at.kind == TraitKind::kSlot    ? TraitType::kSlot
                 : at.kind == TraitKind::kConst ? TraitType::kConst
                 : at.kind == TraitKind::kClass ? TraitType::kClass
                                                : TraitType::kFunction;
        // An inherited slot of the same name keeps its place.
        if (const Trait* old = out.FindQ(t.name.view(), t.ns);
            old && old->type != TraitType::kMethod && old->type != TraitType::kAccessor) {
          t.slot = old->slot;
        } else if (at.slot_id > out.slot_count && at.slot_id <= out.slot_count + 65536) {
          t.slot = at.slot_id - 1;
        } else {
          t.slot = out.slot_count;
        }
        if (t.slot >= out.slot_count) out.slot_count = t.slot + 1;
        if (out.slot_defaults.size() < out.slot_count) out.slot_defaults.resize(out.slot_count);
        t.type_name =
            at.kind == TraitKind::kSlot || at.kind == TraitKind::kConst ? at.type_name : 0;
        Value def;
        if (at.kind == TraitKind::kClass) {
          def = Value::Null();
        } else if (at.kind == TraitKind::kFunction) {
          def = Value();
          t.method = unit.methods[at.method].get();
        } else if (at.value.kind == ConstantKind::kUndefined && at.value.index == 0) {
          def = TypeDefault(unit, at.type_name);
        } else {
          def = unit.ConstantValue(vm, at.value);
        }
        out.slot_defaults[t.slot] = def;
        break;
      }
      case TraitKind::kMethod: {
        t.type = TraitType::kMethod;
        t.method = unit.methods[at.method].get();
        t.method->home = home;
        t.method->is_static = is_static;
        t.method->trace_name = (home ? prefix : "global/") + t.name.ToUtf8();
        break;
      }
      case TraitKind::kGetter:
      case TraitKind::kSetter: {
        t.type = TraitType::kAccessor;
        MethodInfo* m = unit.methods[at.method].get();
        m->home = home;
        m->is_static = is_static;
        bool get = at.kind == TraitKind::kGetter;
        m->trace_name = (home ? prefix : "global/") + (get ? "get " : "set ") + t.name.ToUtf8();
        (get ? t.getter : t.setter) = m;
        break;
      }
    }
    // An override in the class's protected namespace also overrides the trait that callers
    // in the base classes reach through their own protected namespaces.
    if (home && !is_static && home->protected_ns && t.ns == home->protected_ns &&
        (t.type == TraitType::kMethod || t.type == TraitType::kAccessor)) {
      for (ClassObject* k = home->super; k; k = k->super)
        if (k->protected_ns && out.FindQ(t.name.view(), k->protected_ns)) {
          Trait alias = t;
          alias.ns = k->protected_ns;
          out.Put(std::move(alias));
        }
    }
    out.Put(std::move(t));
  }
}

}  // namespace flashsaver::avm2
