// An ABC file (the bytecode of a DoABC tag) read whole into plain tables. Indices stay as the
// file gives them (0 is "none" or "any" where the format says so); the reader checks every index
// against its pool, so later stages index the tables without checks of their own. Strings are
// kept as the file's UTF-8; the machine converts them to its own strings once, when it loads the
// file.
//
// Format notes: integers are variable-length (u30/u32/s32: 7 bits a byte, low bits first, at
// most 5 bytes); each constant pool gives its count first, a count that includes the implied
// entry 0 (so 0 and 1 both mean an empty pool), and its entries start at index 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace flashsaver::avm2 {

// Namespace kinds, as the constant pool tags them.
enum class NamespaceKind : uint8_t {
  kNamespace = 0x08,  // user-defined and public ("" name)
  kPackage = 0x16,
  kPackageInternal = 0x17,
  kProtected = 0x18,
  kExplicit = 0x19,
  kStaticProtected = 0x1A,
  kPrivate = 0x05,
};

struct AbcNamespace {
  NamespaceKind kind = NamespaceKind::kNamespace;
  uint32_t name = 0;  // string pool index
};

// Multiname kinds; the "A" forms are attribute names (@x).
enum class MultinameKind : uint8_t {
  kQName = 0x07,
  kQNameA = 0x0D,
  kRTQName = 0x0F,
  kRTQNameA = 0x10,
  kRTQNameL = 0x11,
  kRTQNameLA = 0x12,
  kMultiname = 0x09,
  kMultinameA = 0x0E,
  kMultinameL = 0x1B,
  kMultinameLA = 0x1C,
  kTypeName = 0x1D,  // a parameterised type: Vector.<T>
};

struct AbcMultiname {
  MultinameKind kind = MultinameKind::kQName;
  uint32_t ns = 0;                    // namespace pool index (QName kinds)
  uint32_t name = 0;                  // string pool index; 0 is the any name "*"
  uint32_t ns_set = 0;                // namespace-set pool index (Multiname kinds)
  uint32_t type_base = 0;             // TypeName: multiname index of the generic type
  std::vector<uint32_t> type_params;  // TypeName: multiname indices of the parameters
};

// Kinds of a constant value (default parameter values and slot values).
enum class ConstantKind : uint8_t {
  kUndefined = 0x00,
  kUtf8 = 0x01,
  kInt = 0x03,
  kUInt = 0x04,
  kPrivateNs = 0x05,
  kDouble = 0x06,
  kNamespace = 0x08,
  kFalse = 0x0A,
  kTrue = 0x0B,
  kNull = 0x0C,
  kPackageNamespace = 0x16,
  kPackageInternalNs = 0x17,
  kProtectedNamespace = 0x18,
  kExplicitNamespace = 0x19,
  kStaticProtectedNs = 0x1A,
};

struct AbcConstant {
  ConstantKind kind = ConstantKind::kUndefined;
  uint32_t index = 0;  // into the pool the kind names (none for undefined, true, false, null)
};

namespace method_flag {
inline constexpr uint8_t kNeedArguments = 0x01;
inline constexpr uint8_t kNeedActivation = 0x02;
inline constexpr uint8_t kNeedRest = 0x04;
inline constexpr uint8_t kHasOptional = 0x08;
inline constexpr uint8_t kSetDxns = 0x40;
inline constexpr uint8_t kHasParamNames = 0x80;
}  // namespace method_flag

struct AbcMethod {
  uint32_t return_type = 0;           // multiname index; 0 is "*"
  std::vector<uint32_t> param_types;  // multiname indices; 0 is "*"
  uint32_t name = 0;                  // string pool index (for debugging only)
  uint8_t flags = 0;
  std::vector<AbcConstant> optional;  // defaults of the last optional.size() parameters
  std::vector<uint32_t> param_names;  // string pool indices, when kHasParamNames
  int32_t body = -1;                  // index into AbcFile::bodies, -1 for none (native)
};

struct AbcMetadata {
  uint32_t name = 0;
  std::vector<std::pair<uint32_t, uint32_t>> items;  // key (0 for none), value: string indices
};

enum class TraitKind : uint8_t {
  kSlot = 0,
  kMethod = 1,
  kGetter = 2,
  kSetter = 3,
  kClass = 4,
  kFunction = 5,
  kConst = 6,
};

namespace trait_attr {
inline constexpr uint8_t kFinal = 0x1;
inline constexpr uint8_t kOverride = 0x2;
inline constexpr uint8_t kMetadata = 0x4;
}  // namespace trait_attr

struct AbcTrait {
  uint32_t name = 0;  // multiname index, always a QName
  TraitKind kind = TraitKind::kSlot;
  uint8_t attributes = 0;  // trait_attr bits
  // Slot and const: slot_id, type_name (multiname, 0 is "*"), value (constant; kUndefined and
  // index 0 when none is given).
  uint32_t slot_id = 0;
  uint32_t type_name = 0;
  AbcConstant value;
  // Method, getter, setter: disp_id and method; class: slot_id and class_index; function:
  // slot_id and method.
  uint32_t disp_id = 0;
  uint32_t method = 0;
  uint32_t class_index = 0;
  std::vector<uint32_t> metadata;  // metadata pool indices
};

namespace instance_flag {
inline constexpr uint8_t kSealed = 0x01;
inline constexpr uint8_t kFinal = 0x02;
inline constexpr uint8_t kInterface = 0x04;
inline constexpr uint8_t kProtectedNs = 0x08;
}  // namespace instance_flag

struct AbcInstance {
  uint32_t name = 0;        // multiname (QName)
  uint32_t super_name = 0;  // multiname, 0 for none (Object itself, interfaces)
  uint8_t flags = 0;        // instance_flag bits
  uint32_t protected_ns = 0;
  std::vector<uint32_t> interfaces;  // multiname indices
  uint32_t iinit = 0;                // method index of the constructor
  std::vector<AbcTrait> traits;
};

struct AbcClass {
  uint32_t cinit = 0;  // method index of the static initialiser
  std::vector<AbcTrait> traits;
};

struct AbcScript {
  uint32_t init = 0;  // method index
  std::vector<AbcTrait> traits;
};

struct AbcException {
  uint32_t from = 0, to = 0, target = 0;  // byte offsets into the body's code
  uint32_t exc_type = 0;                  // multiname index, 0 for any
  uint32_t var_name = 0;                  // multiname index, 0 for none
};

struct AbcMethodBody {
  uint32_t method = 0;
  uint32_t max_stack = 0;
  uint32_t local_count = 0;
  uint32_t init_scope_depth = 0;
  uint32_t max_scope_depth = 0;
  std::vector<uint8_t> code;
  std::vector<AbcException> exceptions;
  std::vector<AbcTrait> traits;  // the activation object's slots
};

struct AbcFile {
  uint16_t minor_version = 0, major_version = 0;
  std::vector<int32_t> ints;             // [0] = 0
  std::vector<uint32_t> uints;           // [0] = 0
  std::vector<double> doubles;           // [0] = NaN
  std::vector<std::string> strings;      // [0] = "" (stands for "none"/"any" where the format says)
  std::vector<AbcNamespace> namespaces;  // [0] = any namespace
  std::vector<std::vector<uint32_t>> ns_sets;  // [0] = empty
  std::vector<AbcMultiname> multinames;        // [0] = any name
  std::vector<AbcMethod> methods;
  std::vector<AbcMetadata> metadata;
  std::vector<AbcInstance> instances;  // instances[i] pairs with classes[i]
  std::vector<AbcClass> classes;
  std::vector<AbcScript> scripts;
  std::vector<AbcMethodBody> bodies;
};

// Why a file was refused; the reader stops at the first fault.
struct AbcError {
  // Flash's VerifyError text without the class name, e.g. "Error #1032: Cpool index 812 is out
  // of range 40." The machine throws it as a VerifyError.
  std::string message;
  int id = 0;         // Flash's error number (1107 for damaged or truncated bytes)
  size_t offset = 0;  // where in the file the fault lies, for debugging
};

// Reads a whole ABC file. Returns false and fills `error` when the bytes are damaged or an index
// is out of its pool (Flash refuses such a file with a VerifyError before running any of it).
bool ReadAbcFile(std::span<const uint8_t> bytes, AbcFile& out, AbcError& error);

}  // namespace flashsaver::avm2
