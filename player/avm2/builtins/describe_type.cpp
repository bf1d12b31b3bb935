// flash.utils.describeType: a class's or value's type as Flash's XML. Script classes answer from
// their ABC (types, parameters, metadata); native classes from their declarations in natives.h.
#include <algorithm>
#include <string>

#include "player/avm2/abc_unit.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/vm.h"
#include "player/avm2/xml_dom_parser.h"

namespace flashsaver::avm2 {
namespace {

std::string Attr(std::string_view s) { return Utf16ToUtf8(EscapeXmlDom(Utf8ToUtf16(s))); }

std::string Indent(int depth) { return std::string(static_cast<size_t>(depth) * 2, ' '); }

// The qualified name of the type a multiname of the unit names; "*" for none.
std::string TypeName(Vm& vm, const AbcUnit* unit, uint32_t index) {
  if (!unit || index == 0 || index >= unit->names.size()) return "*";
  Value v;
  try {
    if (vm.ResolveType(*unit, index, v))
      if (auto* c = dynamic_cast<ClassObject*>(v.AsObject())) return c->qualified;
  } catch (const ScriptException&) {
  }
  const Name& n = unit->names[index];
  std::string local = n.local.ToUtf8();
  if (n.set.size() == 1 && n.set[0] && !n.set[0]->uri.empty())
    return n.set[0]->uri.ToUtf8() + "::" + local;
  return local;
}

// A native member's declaration, looked up by name and kind along the native classes.
const NativeMember* NativeDecl(const ClassObject* cls, const Str& name, bool is_static,
                               MemberKind kind) {
  std::string n = name.ToUtf8();
  for (const ClassObject* k = cls; k; k = k->super) {
    if (!k->native_class || !k->native) continue;
    for (const NativeMember& m : is_static ? k->native->statics : k->native->instance)
      if (m.kind == kind && n == m.name && m.ns != MemberNs::kPrototype) return &m;
  }
  return nullptr;
}

// An undeclared native constant's type, from its value (Flash declares them as they hold).
const char* ValueTypeName(const Value& v) {
  switch (v.type()) {
    case ValueType::kInt:
      return "int";
    case ValueType::kUInt:
      return "uint";
    case ValueType::kNumber:
      return "Number";
    case ValueType::kString:
      return "String";
    case ValueType::kBoolean:
      return "Boolean";
    default:
      return "*";
  }
}

struct Params {
  std::vector<std::pair<std::string, bool>> list;  // type, optional
};

Params MethodParams(Vm& vm, const MethodInfo* m, const NativeMember* decl) {
  Params p;
  if (m && m->abc && m->unit) {
    size_t n = m->abc->param_types.size();
    size_t opt = m->abc->optional.size();
    for (size_t i = 0; i < n; ++i)
      p.list.emplace_back(TypeName(vm, m->unit, m->abc->param_types[i]), i + opt >= n);
    return p;
  }
  const char* sig = decl ? decl->params : nullptr;
  if (!sig) return p;
  std::string s = sig;
  size_t start = 0;
  while (start < s.size()) {
    size_t comma = s.find(',', start);
    std::string item =
        s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool optional = !item.empty() && item.back() == '?';
    if (optional) item.pop_back();
    p.list.emplace_back(item, optional);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return p;
}

std::string ReturnType(Vm& vm, const MethodInfo* m, const NativeMember* decl) {
  if (m && m->abc && m->unit) return TypeName(vm, m->unit, m->abc->return_type);
  return decl && decl->type ? decl->type : "*";
}

// The ABC trait a script class declares under this name (the most derived one), for metadata.
const AbcTrait* FindAbcTrait(const ClassObject* cls, const Trait& t, bool is_static,
                             const AbcUnit** unit_out, int kind) {
  for (const ClassObject* k = cls; k; k = k->super) {
    if (k->native_class || !k->iinit || !k->iinit->unit) continue;
    const AbcUnit* unit = k->iinit->unit;
    for (size_t i = 0; i < unit->classes.size(); ++i) {
      if (unit->classes[i] != k) continue;
      const auto& traits =
          is_static ? unit->file.classes.at(i).traits : unit->file.instances.at(i).traits;
      for (const AbcTrait& at : traits) {
        const Name& n = unit->names.at(at.name);
        if (n.local == t.name && !n.set.empty() && n.set[0] == t.ns &&
            (kind < 0 || static_cast<int>(at.kind) == kind)) {
          *unit_out = unit;
          return &at;
        }
      }
    }
  }
  return nullptr;
}

void TraitMetadata(const AbcUnit* unit, const AbcTrait* at, int depth, std::string& out);

// An accessor's metadata is its getter's and its setter's, each from the class declaring it.
void Metadata(const ClassObject* cls, const Trait& t, bool is_static, int depth, std::string& out) {
  const AbcUnit* unit = nullptr;
  if (t.type == TraitType::kAccessor) {
    for (TraitKind k : {TraitKind::kGetter, TraitKind::kSetter})
      if (const AbcTrait* at = FindAbcTrait(cls, t, is_static, &unit, static_cast<int>(k)))
        TraitMetadata(unit, at, depth, out);
    return;
  }
  if (const AbcTrait* at = FindAbcTrait(cls, t, is_static, &unit, -1))
    TraitMetadata(unit, at, depth, out);
}

void TraitMetadata(const AbcUnit* unit, const AbcTrait* at, int depth, std::string& out) {
  for (uint32_t mi : at->metadata) {
    if (mi >= unit->file.metadata.size()) continue;
    const AbcMetadata& md = unit->file.metadata[mi];
    auto str = [&](uint32_t i) {
      return i < unit->strings.size() ? unit->strings[i].ToUtf8() : std::string();
    };
    out += Indent(depth) + "<metadata name=\"" + Attr(str(md.name)) + "\"";
    if (md.items.empty()) {
      out += "/>\n";
      continue;
    }
    out += ">\n";
    for (auto [k, v] : md.items)
      out += Indent(depth + 1) + "<arg key=\"" + Attr(k ? str(k) : "") + "\" value=\"" +
             Attr(str(v)) + "\"/>\n";
    out += Indent(depth) + "</metadata>\n";
  }
}

// Namespaces with a URI in which the base class declares script methods: Flash leaves every
// member in them out of a subclass's description.
std::vector<Ns> InheritedMethodNamespaces(Vm& vm, const ClassObject* cls, bool is_static) {
  std::vector<Ns> out;
  if (is_static || !cls->super) return out;
  for (const Trait& t : cls->super->instance_traits.list)
    if (t.type == TraitType::kMethod && t.ns && t.ns != vm.public_ns() && !t.ns->uri.empty() &&
        t.method && !t.method->native && std::find(out.begin(), out.end(), t.ns) == out.end())
      out.push_back(t.ns);
  return out;
}

// Traits scripts cannot see, and the interface-namespace copies of public methods.
bool Hidden(Vm& vm, const Traits& traits, const Trait& t) {
  if (!t.ns || t.ns->kind != NsKind::kPublic) return true;
  if (t.type == TraitType::kFunction || t.type == TraitType::kClass) return false;
  const MethodInfo* m = t.method ? t.method : t.getter ? t.getter : t.setter;
  // Native classes keep their AS3-namespace methods out of the description.
  if (m && m->native && t.ns == vm.as3_ns()) return true;
  if (t.ns != vm.public_ns() && t.method)
    if (const Trait* pub = traits.FindQ(t.name.view(), vm.public_ns()))
      if (pub->method == t.method) return true;
  return false;
}

std::string UriAttr(Vm& vm, const Trait& t) {
  if (t.ns == vm.public_ns() || t.ns->uri.empty()) return "";
  return " uri=\"" + Attr(t.ns->uri.ToUtf8()) + "\"";
}

std::string Declarer(const MethodInfo* m) {
  return m && m->home ? m->home->qualified : std::string("Object");
}

void ParamsXml(const Params& p, int depth, std::string& out) {
  for (size_t i = 0; i < p.list.size(); ++i)
    out += Indent(depth) + "<parameter index=\"" + std::to_string(i + 1) + "\" type=\"" +
           Attr(p.list[i].first) + "\" optional=\"" + (p.list[i].second ? "true" : "false") +
           "\"/>\n";
}

// Opens an element whose children may follow; closes it at once when there are none.
void Element(std::string& out, int depth, const std::string& head, const std::string& body) {
  if (body.empty()) {
    out += Indent(depth) + head + "/>\n";
  } else {
    std::string name = head.substr(1, head.find(' ') - 1);
    out += Indent(depth) + head + ">\n" + body + Indent(depth) + "</" + name + ">\n";
  }
}

void TraitsXml(Vm& vm, const ClassObject* cls, const Traits& traits, bool is_static, int depth,
               std::string& out) {
  std::vector<Ns> skip = InheritedMethodNamespaces(vm, cls, is_static);
  for (const Trait& t : traits.list) {
    if (Hidden(vm, traits, t)) continue;
    if (std::find(skip.begin(), skip.end(), t.ns) != skip.end()) continue;
    std::string name = Attr(t.name.ToUtf8());
    std::string meta;
    Metadata(cls, t, is_static, depth + 1, meta);
    switch (t.type) {
      case TraitType::kSlot:
      case TraitType::kConst:
      case TraitType::kClass:
      case TraitType::kFunction: {
        std::string type;
        if (t.unit) {
          type = TypeName(vm, static_cast<const AbcUnit*>(t.unit), t.type_name);
        } else {
          MemberKind k = t.type == TraitType::kConst ? MemberKind::kConst : MemberKind::kSlot;
          const NativeMember* d = NativeDecl(cls, t.name, is_static, k);
          type = d && d->type ? d->type : d ? ValueTypeName(d->value) : "*";
        }
        const char* tag = t.type == TraitType::kConst ? "<constant" : "<variable";
        Element(out, depth,
                std::string(tag) + " name=\"" + name + "\" type=\"" + Attr(type) + "\"" +
                    UriAttr(vm, t),
                meta);
        break;
      }
      case TraitType::kMethod: {
        const NativeMember* d = NativeDecl(cls, t.name, is_static, MemberKind::kMethod);
        std::string body;
        ParamsXml(MethodParams(vm, t.method, d), depth + 1, body);
        Element(out, depth,
                "<method name=\"" + name + "\" declaredBy=\"" + Attr(Declarer(t.method)) +
                    "\" returnType=\"" + Attr(ReturnType(vm, t.method, d)) + "\"" + UriAttr(vm, t),
                body + meta);
        break;
      }
      case TraitType::kAccessor: {
        std::string type;
        if (t.getter) {
          type = ReturnType(vm, t.getter, NativeDecl(cls, t.name, is_static, MemberKind::kGetter));
        } else {
          const NativeMember* d = NativeDecl(cls, t.name, is_static, MemberKind::kSetter);
          Params p = MethodParams(vm, t.setter, d);
          type = !p.list.empty() ? p.list[0].first : d && d->type ? d->type : "*";
        }
        const char* access = t.getter && t.setter ? "readwrite"
                             : t.getter           ? "readonly"
                                                  : "writeonly";
        Element(out, depth,
                "<accessor name=\"" + name + "\" access=\"" + access + "\" type=\"" + Attr(type) +
                    "\" declaredBy=\"" + Attr(Declarer(t.getter ? t.getter : t.setter)) + "\"" +
                    UriAttr(vm, t),
                meta);
        break;
      }
    }
  }
}

void AddInterface(const ClassObject* i, std::vector<const ClassObject*>& out) {
  if (std::find(out.begin(), out.end(), i) != out.end()) return;
  out.push_back(i);
  for (const ClassObject* x : i->interfaces) AddInterface(x, out);
}

// The interfaces of a class and its bases. A script class names them when it is made, possibly
// before the script defined them, so they are looked up again now.
std::vector<const ClassObject*> Interfaces(Vm& vm, const ClassObject* cls) {
  std::vector<const ClassObject*> out;
  for (const ClassObject* i : cls->interfaces) AddInterface(i, out);
  for (const ClassObject* k = cls; k; k = k->super) {
    if (k->native_class || !k->iinit || !k->iinit->unit) continue;
    const AbcUnit* unit = k->iinit->unit;
    for (size_t ci = 0; ci < unit->classes.size(); ++ci) {
      if (unit->classes[ci] != k) continue;
      for (uint32_t n : unit->file.instances.at(ci).interfaces) {
        Value v;
        try {
          if (n < unit->names.size() && vm.FindDefinition(unit->names[n], v, nullptr))
            if (auto* ic = dynamic_cast<ClassObject*>(v.AsObject())) AddInterface(ic, out);
        } catch (const ScriptException&) {
        }
      }
    }
  }
  return out;
}

void InstanceBody(Vm& vm, const ClassObject* cls, int depth, std::string& out) {
  for (const ClassObject* k = cls->super; k; k = k->super)
    out += Indent(depth) + "<extendsClass type=\"" + Attr(k->qualified) + "\"/>\n";
  for (const ClassObject* i : Interfaces(vm, cls))
    out += Indent(depth) + "<implementsInterface type=\"" + Attr(i->qualified) + "\"/>\n";
  Params ctor;
  for (const ClassObject* k = cls; k; k = k->super) {
    if (!k->native_class && k->iinit && k->iinit->abc) {
      ctor = MethodParams(vm, k->iinit, nullptr);
      break;
    }
    if (k->native_class && k->native) {
      NativeMember d;
      d.params = k->native->constructor_params;
      ctor = MethodParams(vm, nullptr, &d);
      break;
    }
  }
  if (!ctor.list.empty()) {
    std::string body;
    ParamsXml(ctor, depth + 1, body);
    Element(out, depth, "<constructor", body);
  }
  TraitsXml(vm, cls, cls->instance_traits, false, depth, out);
}

std::string Describe(Vm& vm, const Value& v) {
  if (v.IsNullish())
    return std::string("<type name=\"") + (v.IsNull() ? "null" : "void") +
           "\" isDynamic=\"false\" isFinal=\"true\" isStatic=\"false\"/>";
  std::string out;
  if (auto* cls = dynamic_cast<ClassObject*>(v.AsObject())) {
    out = "<type name=\"" + Attr(cls->qualified) +
          "\" base=\"Class\" isDynamic=\"true\" isFinal=\"true\" isStatic=\"true\">\n";
    // Every class object has Class's members (prototype), whether or not its traits copy them.
    if (ClassObject* klass = vm.classes().klass;
        klass && cls->static_traits.list.size() < klass->instance_traits.list.size() + 1)
      for (const Trait& t : klass->instance_traits.list)
        if (!cls->static_traits.FindQ(t.name.view(), t.ns)) {
          Traits one;
          one.Put(t);
          TraitsXml(vm, klass, one, false, 1, out);
        }
    TraitsXml(vm, cls, cls->static_traits, true, 1, out);
    out += "  <extendsClass type=\"Class\"/>\n  <extendsClass type=\"Object\"/>\n";
    std::string body;
    InstanceBody(vm, cls, 2, body);
    Element(out, 1, "<factory type=\"" + Attr(cls->qualified) + "\"", body);
    return out + "</type>";
  }
  ClassObject* cls = vm.ClassOf(v);
  if (!cls) return "<type name=\"*\"/>";
  out = "<type name=\"" + Attr(cls->qualified) + "\"";
  if (cls->super) out += " base=\"" + Attr(cls->super->qualified) + "\"";
  out += std::string(" isDynamic=\"") + (cls->is_sealed ? "false" : "true") + "\" isFinal=\"" +
         (cls->is_final ? "true" : "false") + "\" isStatic=\"false\"";
  std::string body;
  InstanceBody(vm, cls, 1, body);
  if (body.empty()) return out + "/>";
  return out + ">\n" + body + "</type>";
}

Value DescribeTypeFn(Vm& vm, const Value&, std::span<const Value> args) {
  ClassObject* xml = vm.FindClass("XML");
  Value text = Value(Str::FromUtf8(Describe(vm, Arg(args, 0))));
  return vm.Construct(Value(static_cast<Object*>(xml)), std::span<const Value>(&text, 1));
}

// flash.utils.describeType refuses undefined (avmplus.describeType describes it as void).
Value UtilsDescribeTypeFn(Vm& vm, const Value& self, std::span<const Value> args) {
  if (Arg(args, 0).IsUndefined()) vm.ThrowError(ErrorType::kTypeError, 1010);
  return DescribeTypeFn(vm, self, args);
}

void Define(Vm& vm, const char* package, const char* name, NativeFn fn, int length) {
  FunctionObject* f = vm.NewNativeFunction(fn, length, name);
  Str key = Str::FromUtf8(std::string(package) + "::" + name);
  vm.global()->dynamic().Set(key, Value(static_cast<Object*>(f)));
  vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
  vm.RegisterBuiltinDefinition(package, name, key);
}

}  // namespace

void InstallDescribeType(Vm& vm) {
  Define(vm, "flash.utils", "describeType", UtilsDescribeTypeFn, 1);
  Define(vm, "avmplus", "describeType", DescribeTypeFn, 2);
  // avmplus's description flags.
  static const std::pair<const char*, uint32_t> kFlags[] = {
      {"HIDE_NSURI_METHODS", 0x1}, {"INCLUDE_BASES", 0x2},        {"INCLUDE_INTERFACES", 0x4},
      {"INCLUDE_VARIABLES", 0x8},  {"INCLUDE_ACCESSORS", 0x10},   {"INCLUDE_METHODS", 0x20},
      {"INCLUDE_METADATA", 0x40},  {"INCLUDE_CONSTRUCTOR", 0x80}, {"INCLUDE_TRAITS", 0x100},
      {"USE_ITRAITS", 0x200},      {"HIDE_OBJECT", 0x400},        {"FLASH10_FLAGS", 0x5FF}};
  for (auto [name, value] : kFlags) {
    Str key = Str::FromUtf8(std::string("avmplus::") + name);
    vm.global()->dynamic().Set(key, Value(value));
    vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
    vm.RegisterBuiltinDefinition("avmplus", name, key);
  }
}

}  // namespace flashsaver::avm2
