// What the AMF coders ask of classes and objects, class aliases (flash.net.registerClassAlias)
// and the IDataInput/IDataOutput/IExternalizable interfaces.
#include <algorithm>

#include "player/avm2/abc_unit.h"
#include "player/avm2/builtins/amf.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {

bool IsDate(const Value& v) {
  Object* o = v.AsObject();
  return o && o->cls() && o->cls()->native && std::string_view(o->cls()->native->name) == "Date" &&
         !*o->cls()->native->package && o->kind() == ObjectKind::kBoxed;
}

bool IsXmlDocument(const Value& v) {
  Object* o = v.AsObject();
  for (ClassObject* c = o ? o->cls() : nullptr; c; c = c->super)
    if (c->qualified == "flash.xml::XMLDocument") return true;
  return false;
}

bool IsExternalizable(Vm& vm, ClassObject* cls) {
  ClassObject* iface = vm.FindClass("flash.utils::IExternalizable");
  return iface && cls->IsSubclassOf(iface);
}

namespace {
// A member declared with [Transient] metadata (on the variable or either accessor).
bool IsTransient(ClassObject* cls, const Trait& t) {
  const auto* unit = static_cast<const AbcUnit*>(t.unit);
  if (!unit) return false;
  for (ClassObject* k = cls; k; k = k->super) {
    auto it = std::find(unit->classes.begin(), unit->classes.end(), k);
    if (it == unit->classes.end()) continue;
    auto index = static_cast<size_t>(it - unit->classes.begin());
    if (index >= unit->file.instances.size()) continue;
    for (const AbcTrait& at : unit->file.instances[index].traits) {
      if (unit->StaticName(at.name).local != t.name) continue;
      for (uint32_t m : at.metadata)
        if (m < unit->file.metadata.size() && unit->file.metadata[m].name < unit->strings.size() &&
            unit->strings[unit->file.metadata[m].name].view() == u"Transient")
          return true;
    }
  }
  return false;
}
}  // namespace

std::vector<Str> SealedMembers(Vm& vm, ClassObject* cls) {
  std::vector<Str> out;
  // Public variables, native classes' too (Point's x and y); the accessors of native classes
  // (ByteArray's length...) compute rather than hold data and are left out.
  for (const Trait& t : cls->instance_traits.list) {
    if (t.ns != vm.public_ns()) continue;
    bool data = t.type == TraitType::kSlot ||
                (t.type == TraitType::kAccessor && t.getter && t.setter && !t.getter->native);
    if (data && std::find(out.begin(), out.end(), t.name) == out.end() && !IsTransient(cls, t))
      out.push_back(t.name);
  }
  // Flash walks its own member table, whose order follows no declaration; sorted names give one
  // stable order.
  std::sort(out.begin(), out.end(), [](const Str& a, const Str& b) { return a.str() < b.str(); });
  return out;
}

std::vector<std::pair<Str, Value>> DynamicMembers(Object* o) {
  std::vector<std::pair<Str, Value>> out;
  for (const PropertyMap::Entry& e : o->dynamic().entries())
    if (!e.deleted && e.enumerable) out.emplace_back(e.key, e.value);
  return out;
}

void SetDecodedMember(Vm& vm, const Value& o, const Str& name, const Value& v) {
  try {
    vm.SetProperty(o, vm.PublicName(name.view()), v);
  } catch (ScriptException& e) {
    vm.Trace(vm.ToString(e.value).ToUtf8());
  }
}

Value NewTyped(Vm& vm, ClassObject* cls) {
  return vm.Construct(Value(static_cast<Object*>(cls)), {});
}

ClassObject* ClassByAlias(Vm& vm, std::u16string_view alias) {
  auto it = vm.bytes.class_aliases.find(std::u16string(alias));
  return it != vm.bytes.class_aliases.end() ? it->second : nullptr;
}

const std::u16string* AliasOfClass(Vm& vm, ClassObject* cls) {
  // The latest alias registered for the class wins, as Flash's reverse table keeps it.
  const std::u16string* found = nullptr;
  for (auto& [alias, c] : vm.bytes.class_aliases)
    if (c == cls) found = &alias;
  return found;
}

uint8_t DefaultObjectEncoding(Vm& vm) { return vm.bytes.default_object_encoding; }
void SetDefaultObjectEncoding(Vm& vm, uint8_t e) { vm.bytes.default_object_encoding = e; }

namespace {

Value RegisterClassAlias(Vm& vm, const Value&, std::span<const Value> args) {
  if (Arg(args, 0).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"aliasName"});
  auto* cls = dynamic_cast<ClassObject*>(Arg(args, 1).AsObject());
  if (!cls) vm.ThrowError(ErrorType::kTypeError, 2007, {"classObject"});
  vm.bytes.class_aliases[vm.ToString(args[0]).str()] = cls;
  return Value();
}

Value GetClassByAlias(Vm& vm, const Value&, std::span<const Value> args) {
  if (Arg(args, 0).IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"aliasName"});
  Str alias = vm.ToString(args[0]);
  if (ClassObject* c = ClassByAlias(vm, alias.view())) return Value(static_cast<Object*>(c));
  vm.ThrowError(ErrorType::kReferenceError, 1014, {alias.ToUtf8()});
}

NativeClass Interface(const char* name) {
  NativeClass c;
  c.package = "flash.utils";
  c.name = name;
  c.flags = class_flag::kInterface;
  return c;
}

// A final class of string or number constants (Endian, CompressionAlgorithm, ObjectEncoding).
NativeClass Constants(const char* package, const char* name, std::vector<NativeMember> consts) {
  NativeClass c;
  c.package = package;
  c.name = name;
  c.flags = class_flag::kSealed | class_flag::kFinal;
  c.statics = std::move(consts);
  return c;
}

}  // namespace

std::span<const NativeClass* const> DataInterfaces() {
  static const NativeClass classes[] = {
      Interface("IDataInput"),
      Interface("IDataOutput"),
      Interface("IExternalizable"),
      Constants("flash.utils", "Endian",
                {Const("BIG_ENDIAN", Value::Ascii("bigEndian")),
                 Const("LITTLE_ENDIAN", Value::Ascii("littleEndian"))}),
      Constants("flash.utils", "CompressionAlgorithm",
                {Const("ZLIB", Value::Ascii("zlib")), Const("DEFLATE", Value::Ascii("deflate")),
                 Const("LZMA", Value::Ascii("lzma"))}),
      Constants("flash.net", "ObjectEncoding",
                {Const("AMF0", Value(uint32_t{0})), Const("AMF3", Value(uint32_t{3})),
                 Const("DEFAULT", Value(uint32_t{3}))}),
  };
  static const NativeClass* const ptrs[] = {&classes[0], &classes[1], &classes[2],
                                            &classes[3], &classes[4], &classes[5]};
  return ptrs;
}

void InstallByteArraySupport(Vm& vm) {
  DefineGlobalFunction(vm, "flash.net", "registerClassAlias", RegisterClassAlias, 2);
  DefineGlobalFunction(vm, "flash.net", "getClassByAlias", GetClassByAlias, 1);
  InstallDomainFunctions(vm);
  // ByteArray implements the data interfaces: `ba is IDataInput` holds, and calls made through
  // an interface's namespace (o:IDataOutput; o.writeInt()) find its public methods.
  ClassObject* ba = vm.FindClass("flash.utils::ByteArray");
  if (!ba) return;
  for (const char* n : {"IDataInput", "IDataOutput"}) {
    if (ClassObject* i = vm.FindClass(std::string("flash.utils::") + n))
      ba->interfaces.push_back(i);
    Ns ns = vm.InternNs(NsKind::kPublic, Str::FromUtf8(std::string("flash.utils:") + n));
    bool input = n[1] == 'D' && n[5] == 'I';
    std::vector<Trait> copies;
    for (const Trait& t : ba->instance_traits.list) {
      if (t.ns != vm.public_ns()) continue;
      std::u16string_view name = t.name.view();
      bool member = input ? (name.starts_with(u"read") || name == u"bytesAvailable")
                          : name.starts_with(u"write");
      if (member || name == u"endian" || name == u"objectEncoding") copies.push_back(t);
    }
    for (Trait& t : copies) {
      t.ns = ns;
      ba->instance_traits.Put(t);
    }
  }
}

}  // namespace flashsaver::avm2
