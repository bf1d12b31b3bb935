// flash.system.ApplicationDomain (the one domain of this player: its definitions and its domain
// memory), the domain-memory opcodes, and flash.crypto.generateRandomBytes.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <random>

#include "player/avm2/builtins/amf.h"
#include "player/avm2/builtins/builtins.h"
#include "player/avm2/opcodes.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

constexpr uint32_t kMinDomainMemory = 1024;

Object* CreateDomain(Vm& vm, ClassObject* cls) {
  return vm.heap().New<BoxedObject>(cls, cls->prototype);
}
Value DomainConstruct(Vm&, const Value&, std::span<const Value>) { return Value(); }

Value CurrentDomain(Vm& vm, const Value& self, std::span<const Value>) {
  return vm.Construct(self, {});
}
Value ParentDomain(Vm&, const Value&, std::span<const Value>) { return Value::Null(); }

Value DomainMemory(Vm& vm, const Value&, std::span<const Value>) {
  return Value(vm.bytes.domain_memory);
}
Value SetDomainMemory(Vm& vm, const Value&, std::span<const Value> args) {
  Value v = Arg(args, 0);
  if (v.IsNullish()) {
    vm.bytes.domain_memory = nullptr;
    return Value();
  }
  ClassObject* ba_class = vm.FindClass("flash.utils::ByteArray");
  Value coerced = vm.Coerce(v, ba_class);
  ByteArrayObject* ba = AsByteArray(coerced);
  if (!ba || ba->bytes.size() < kMinDomainMemory) vm.ThrowError(ErrorType::kError, 1504);
  vm.bytes.domain_memory = ba;
  return Value();
}

std::string DefinitionName(Vm& vm, std::span<const Value> args) {
  Value v = Arg(args, 0);
  if (v.IsNullish()) vm.ThrowError(ErrorType::kTypeError, 2007, {"name"});
  return vm.ToString(v).ToUtf8();
}
Value HasDefinition(Vm& vm, const Value&, std::span<const Value> args) {
  if (Arg(args, 0).IsNullish()) return Value(false);
  return Value(vm.FindClass(DefinitionName(vm, args)) != nullptr);
}
Value GetDefinition(Vm& vm, const Value&, std::span<const Value> args) {
  std::string name = DefinitionName(vm, args);
  if (ClassObject* c = vm.FindClass(name)) return Value(static_cast<Object*>(c));
  vm.ThrowError(ErrorType::kReferenceError, 1065, {name});
}

Value DefinitionNames(Vm& vm, const Value&, std::span<const Value>) {
  ClassObject* string_vector = dynamic_cast<ClassObject*>(
      vm.ApplyType(Value(static_cast<Object*>(vm.classes().vector)),
                   std::array<Value, 1>{Value(static_cast<Object*>(vm.classes().string))})
          .AsObject());
  Value out = vm.Construct(Value(static_cast<Object*>(string_vector)), {});
  if (auto* v = dynamic_cast<VectorObject*>(out.AsObject()))
    for (const std::string& name : vm.DefinitionNames()) v->items.push_back(Value::Ascii(name));
  return out;
}

Value GenerateRandomBytes(Vm& vm, const Value&, std::span<const Value> args) {
  uint32_t n = ArgUInt(vm, args, 0);
  if (n < 1 || n > 1024) vm.ThrowError(ErrorType::kError, 2004);
  ByteArrayObject* ba = NewByteArray(vm);
  std::random_device rd;
  ba->bytes.resize(n);
  for (uint8_t& b : ba->bytes) b = static_cast<uint8_t>(rd());
  return Value(static_cast<Object*>(ba));
}

// The bytes the opcodes address, and the checked offset of an access of `size` bytes there.
uint8_t* MemoryAt(Vm& vm, const Value& addr, size_t size) {
  std::vector<uint8_t>& mem = vm.bytes.domain_memory
                                  ? static_cast<ByteArrayObject*>(vm.bytes.domain_memory)->bytes
                                  : vm.bytes.scratch_memory;
  int32_t a = vm.ToInt32(addr);
  if (a < 0 || static_cast<size_t>(a) + size > mem.size())
    vm.ThrowError(ErrorType::kRangeError, 1506);
  return mem.data() + a;
}

template <typename T>
T LoadLE(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) {
    uint8_t b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    std::reverse(b, b + sizeof v);
    std::memcpy(&v, b, sizeof v);
  }
  return v;
}
template <typename T>
void StoreLE(uint8_t* p, T v) {
  uint8_t b[sizeof v];
  std::memcpy(b, &v, sizeof v);
  if constexpr (std::endian::native == std::endian::big) std::reverse(b, b + sizeof v);
  std::memcpy(p, b, sizeof v);
}

}  // namespace

Value DomainMemoryLoad(Vm& vm, Op op, const Value& addr) {
  switch (op) {
    case Op::kLi8:
      return Value(static_cast<int32_t>(*MemoryAt(vm, addr, 1)));
    case Op::kLi16:
      return Value(static_cast<int32_t>(LoadLE<uint16_t>(MemoryAt(vm, addr, 2))));
    case Op::kLi32:
      return Value(LoadLE<int32_t>(MemoryAt(vm, addr, 4)));
    case Op::kLf32:
      return Value(static_cast<double>(LoadLE<float>(MemoryAt(vm, addr, 4))));
    default:
      return Value(LoadLE<double>(MemoryAt(vm, addr, 8)));
  }
}

void DomainMemoryStore(Vm& vm, Op op, const Value& value, const Value& addr) {
  switch (op) {
    case Op::kSi8: {
      auto v = static_cast<uint8_t>(vm.ToInt32(value));
      *MemoryAt(vm, addr, 1) = v;
      break;
    }
    case Op::kSi16: {
      auto v = static_cast<uint16_t>(vm.ToInt32(value));
      StoreLE(MemoryAt(vm, addr, 2), v);
      break;
    }
    case Op::kSi32: {
      int32_t v = vm.ToInt32(value);
      StoreLE(MemoryAt(vm, addr, 4), v);
      break;
    }
    case Op::kSf32: {
      auto v = static_cast<float>(vm.ToNumber(value));
      StoreLE(MemoryAt(vm, addr, 4), v);
      break;
    }
    default: {
      double v = vm.ToNumber(value);
      StoreLE(MemoryAt(vm, addr, 8), v);
      break;
    }
  }
}

void InstallDomainFunctions(Vm& vm) {
  DefineGlobalFunction(vm, "flash.crypto", "generateRandomBytes", GenerateRandomBytes, 1);
}

const NativeClass& ApplicationDomainClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.system";
    c.name = "ApplicationDomain";
    c.flags = class_flag::kSealed | class_flag::kFinal;
    c.constructor = DomainConstruct;
    c.constructor_length = 1;
    c.create = CreateDomain;
    c.instance = {Getter("domainMemory", DomainMemory),
                  Setter("domainMemory", SetDomainMemory),
                  Getter("parentDomain", ParentDomain),
                  Method("hasDefinition", HasDefinition, 1).Needs(1),
                  Method("getDefinition", GetDefinition, 1).Needs(1),
                  Method("getQualifiedDefinitionNames", DefinitionNames)};
    c.statics = {Getter("currentDomain", CurrentDomain),
                 Const("MIN_DOMAIN_MEMORY_LENGTH", Value(kMinDomainMemory))};
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
