// Reads an ABC file into AbcFile, refusing what Flash's loader refuses: damaged bytes, indices
// outside their pools, entries of the wrong kind. Counts are checked against the bytes left
// before anything is reserved, so a forged count cannot make the reader allocate much.
#include <cstring>
#include <limits>
#include <string>

#include "player/avm2/abc_file.h"
#include "player/avm2/abc_ints.h"

namespace flashsaver::avm2 {

namespace {

constexpr int kCorruptAbc = 1107;
constexpr int kCpoolIndexRange = 1032;
constexpr int kCpoolEntryWrongType = 1033;

bool IsQName(MultinameKind kind) {
  return kind == MultinameKind::kQName || kind == MultinameKind::kQNameA;
}

class AbcParser {
 public:
  AbcParser(std::span<const uint8_t> bytes, AbcFile& out, AbcError& error)
      : data_(bytes), file_(out), error_(error) {}

  bool Parse();

 private:
  bool Fail(int id, const std::string& text) {
    if (error_.id == 0) {
      error_.id = id;
      error_.offset = pos_;
      error_.message = "Error #" + std::to_string(id) + ": " + text;
    }
    return false;
  }
  bool Corrupt() {
    return Fail(kCorruptAbc, "The ABC data is corrupt, attempt to read out of bounds.");
  }
  bool Range(uint32_t index, size_t count) {
    return Fail(kCpoolIndexRange, "Cpool index " + std::to_string(index) + " is out of range " +
                                      std::to_string(count) + ".");
  }
  size_t Left() const { return data_.size() - pos_; }

  bool U8(uint8_t& v) {
    if (pos_ >= data_.size()) return Corrupt();
    v = data_[pos_++];
    return true;
  }
  bool U30(uint32_t& v) { return ReadVarU30(data_, pos_, v) || Corrupt(); }
  // A count of entries each taking at least one byte of the file and sizeof(T) of memory.
  template <typename T>
  bool Count(uint32_t& v) {
    return U30(v) && (v <= Left() || Corrupt()) && Charge(uint64_t{v} * sizeof(T));
  }
  // The tables may take at most kMemoryBudget bytes: a small compressed movie can hold a huge
  // run of one-byte entries, and Flash too runs out of memory on such a file.
  bool Charge(uint64_t bytes) {
    charged_ += bytes;
    return charged_ <= kMemoryBudget || Fail(1000, "The system is out of memory.");
  }
  // An index below `count`; `allow_zero` where 0 means "none" or "any".
  bool Index(uint32_t& v, size_t count, bool allow_zero) {
    if (!U30(v)) return false;
    if ((v == 0 && !allow_zero) || v >= count) return Range(v, count);
    return true;
  }
  bool MethodIndex(uint32_t& v) {
    if (!U30(v)) return false;
    if (v >= file_.methods.size()) {
      return Fail(1027, "Method_info " + std::to_string(v) +
                            " exceeds method_count=" + std::to_string(file_.methods.size()) + ".");
    }
    return true;
  }

  bool ParseConstantPool();
  bool ParseMultiname(AbcMultiname& m, uint32_t count);
  bool CheckTypeNames();
  bool ParseConstant(AbcConstant& c, uint8_t kind_byte, uint32_t index);
  bool ParseMethods();
  bool ParseMetadata();
  bool ParseTraits(std::vector<AbcTrait>& traits, uint32_t classes_ready, bool interface);
  bool ParseTraitName(uint32_t& name);
  bool ParseClasses();
  bool ParseScripts();
  bool ParseBodies();

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  AbcFile& file_;
  AbcError& error_;
  std::vector<bool> interface_method_;  // declared by an interface: may not have a body
  static constexpr uint64_t kMemoryBudget = 256u << 20;
  uint64_t charged_ = 0;
};

bool AbcParser::Parse() {
  if (data_.size() < 4) return Corrupt();
  file_.minor_version = static_cast<uint16_t>(data_[0] | (data_[1] << 8));
  file_.major_version = static_cast<uint16_t>(data_[2] | (data_[3] << 8));
  pos_ = 4;
  const uint32_t version = (uint32_t{file_.major_version} << 16) | file_.minor_version;
  // 46.16 is the original format; 47.12 to 47.20 came with later players.
  if (version != (46u << 16 | 16) && (version < (47u << 16 | 12) || version > (47u << 16 | 20))) {
    return Fail(1042, "Not an ABC file.  major_version=" + std::to_string(file_.major_version) +
                          " minor_version=" + std::to_string(file_.minor_version) + ".");
  }
  return ParseConstantPool() && ParseMethods() && ParseMetadata() && ParseClasses() &&
         ParseScripts() && ParseBodies();
}

bool AbcParser::ParseConstantPool() {
  uint32_t count = 0;
  if (!Count<int32_t>(count)) return false;
  file_.ints.assign(1, 0);
  for (uint32_t i = 1; i < count; ++i) {
    int32_t v = 0;
    if (!ReadVarS32(data_, pos_, v)) return Corrupt();
    file_.ints.push_back(v);
  }
  if (!Count<uint32_t>(count)) return false;
  file_.uints.assign(1, 0);
  for (uint32_t i = 1; i < count; ++i) {
    uint32_t v = 0;
    if (!ReadVarU32(data_, pos_, v)) return Corrupt();
    file_.uints.push_back(v);
  }
  if (!Count<double>(count)) return false;
  file_.doubles.assign(1, std::numeric_limits<double>::quiet_NaN());
  for (uint32_t i = 1; i < count; ++i) {
    if (Left() < 8) return Corrupt();
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b) bits = (bits << 8) | data_[pos_ + static_cast<size_t>(b)];
    pos_ += 8;
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    file_.doubles.push_back(v);
  }
  if (!Count<std::string>(count)) return false;
  file_.strings.assign(1, std::string());
  for (uint32_t i = 1; i < count; ++i) {
    uint32_t length = 0;
    if (!U30(length)) return false;
    if (length > Left()) return Corrupt();
    if (!Charge(length)) return false;
    file_.strings.emplace_back(reinterpret_cast<const char*>(data_.data() + pos_), length);
    pos_ += length;
  }
  const size_t strings = file_.strings.size();
  if (!Count<AbcNamespace>(count)) return false;
  file_.namespaces.assign(1, AbcNamespace{});
  for (uint32_t i = 1; i < count; ++i) {
    uint8_t kind = 0;
    AbcNamespace ns;
    if (!U8(kind)) return false;
    switch (kind) {
      case 0x05:
      case 0x08:
      case 0x16:
      case 0x17:
      case 0x18:
      case 0x19:
      case 0x1A:
        break;
      default:
        return Fail(kCpoolEntryWrongType, "Cpool entry " + std::to_string(i) + " is wrong type.");
    }
    ns.kind = static_cast<NamespaceKind>(kind);
    if (!Index(ns.name, strings, true)) return false;
    file_.namespaces.push_back(ns);
  }
  if (!Count<std::vector<uint32_t>>(count)) return false;
  file_.ns_sets.assign(1, {});
  for (uint32_t i = 1; i < count; ++i) {
    uint32_t members = 0;
    if (!Count<uint32_t>(members)) return false;
    std::vector<uint32_t> set(members);
    for (uint32_t& ns : set) {
      if (!U30(ns)) return false;
      if (ns == 0) return Fail(1080, "Illegal value for namespace.");
      if (ns >= file_.namespaces.size()) return Range(ns, file_.namespaces.size());
    }
    file_.ns_sets.push_back(std::move(set));
  }
  if (!Count<AbcMultiname>(count)) return false;
  file_.multinames.assign(1, AbcMultiname{});
  for (uint32_t i = 1; i < count; ++i) {
    AbcMultiname m;
    if (!ParseMultiname(m, count)) {
      if (error_.id == kCpoolEntryWrongType) {
        error_.message = "Error #1033: Cpool entry " + std::to_string(i) + " is wrong type.";
      }
      return false;
    }
    file_.multinames.push_back(std::move(m));
  }
  return CheckTypeNames();
}

bool AbcParser::ParseMultiname(AbcMultiname& m, uint32_t count) {
  uint8_t kind = 0;
  if (!U8(kind)) return false;
  m.kind = static_cast<MultinameKind>(kind);
  const size_t strings = file_.strings.size();
  const size_t sets = file_.ns_sets.size();
  switch (m.kind) {
    case MultinameKind::kQName:
    case MultinameKind::kQNameA:
      return Index(m.ns, file_.namespaces.size(), true) && Index(m.name, strings, true);
    case MultinameKind::kRTQName:
    case MultinameKind::kRTQNameA:
      return Index(m.name, strings, true);
    case MultinameKind::kRTQNameL:
    case MultinameKind::kRTQNameLA:
      return true;
    case MultinameKind::kMultiname:
    case MultinameKind::kMultinameA:
      return Index(m.name, strings, true) && Index(m.ns_set, sets, false);
    case MultinameKind::kMultinameL:
    case MultinameKind::kMultinameLA:
      return Index(m.ns_set, sets, false);
    case MultinameKind::kTypeName: {
      // The generic type and its parameter may be later entries of this same pool.
      uint32_t params = 0, param = 0;
      if (!Index(m.type_base, count, false) || !U30(params)) return false;
      if (params != 1) return Corrupt();  // only Vector.<T> exists, with one parameter
      if (!Charge(32)) return false;      // the parameter list's own allocation
      if (!Index(param, count, true)) return false;
      m.type_params.push_back(param);
      return true;
    }
  }
  return Fail(kCpoolEntryWrongType, "");
}

// A type application may not apply a type application, and its parameters may nest
// (Vector.<Vector.<int>>) but not in a cycle.
bool AbcParser::CheckTypeNames() {
  const auto& names = file_.multinames;
  // Each chain of parameters is followed once: 1 marks the chain being followed, 2 a name known
  // to end well.
  std::vector<uint8_t> state(names.size(), 0);
  std::vector<uint32_t> path;
  for (uint32_t i = 1; i < names.size(); ++i) {
    if (names[i].kind != MultinameKind::kTypeName) continue;
    if (names[names[i].type_base].kind == MultinameKind::kTypeName) return Corrupt();
    path.clear();
    uint32_t at = i;
    while (at != 0 && names[at].kind == MultinameKind::kTypeName && state[at] != 2) {
      if (state[at] == 1) return Corrupt();
      state[at] = 1;
      path.push_back(at);
      at = names[at].type_params[0];
    }
    for (uint32_t done : path) state[done] = 2;
  }
  return true;
}

bool AbcParser::ParseConstant(AbcConstant& c, uint8_t kind_byte, uint32_t index) {
  c.kind = static_cast<ConstantKind>(kind_byte);
  c.index = index;
  size_t pool = 0;
  switch (c.kind) {
    case ConstantKind::kUndefined:
    case ConstantKind::kFalse:
    case ConstantKind::kTrue:
    case ConstantKind::kNull:
      c.index = 0;  // the index carries nothing for these
      return true;
    case ConstantKind::kUtf8:
      pool = file_.strings.size();
      break;
    case ConstantKind::kInt:
      pool = file_.ints.size();
      break;
    case ConstantKind::kUInt:
      pool = file_.uints.size();
      break;
    case ConstantKind::kDouble:
      pool = file_.doubles.size();
      break;
    case ConstantKind::kPrivateNs:
    case ConstantKind::kNamespace:
    case ConstantKind::kPackageNamespace:
    case ConstantKind::kPackageInternalNs:
    case ConstantKind::kProtectedNamespace:
    case ConstantKind::kExplicitNamespace:
    case ConstantKind::kStaticProtectedNs:
      pool = file_.namespaces.size();
      break;
    default:
      return Fail(kCpoolEntryWrongType, "Cpool entry " + std::to_string(index) + " is wrong type.");
  }
  return index < pool || Range(index, pool);
}

bool AbcParser::ParseMethods() {
  uint32_t count = 0;
  if (!Count<AbcMethod>(count)) return false;
  file_.methods.reserve(count);
  const size_t names = file_.multinames.size();
  const size_t strings = file_.strings.size();
  for (uint32_t i = 0; i < count; ++i) {
    AbcMethod m;
    uint32_t params = 0;
    if (!Count<uint64_t>(params) || !Index(m.return_type, names, true)) return false;
    m.param_types.resize(params);
    for (uint32_t& type : m.param_types) {
      if (!Index(type, names, true)) return false;
    }
    if (!Index(m.name, strings, true) || !U8(m.flags)) return false;
    if (m.flags & 0x20) return Fail(1079, "Native methods are not allowed in loaded code.");
    if (m.flags & method_flag::kHasOptional) {
      uint32_t optional = 0;
      if (!Count<AbcConstant>(optional)) return false;
      if (optional == 0 || optional > params) return Corrupt();
      m.optional.resize(optional);
      for (AbcConstant& c : m.optional) {
        uint32_t index = 0;
        uint8_t kind = 0;
        if (!U30(index) || !U8(kind) || !ParseConstant(c, kind, index)) return false;
      }
    }
    if (m.flags & method_flag::kHasParamNames) {
      m.param_names.resize(params);
      for (uint32_t& name : m.param_names) {
        if (!Index(name, strings, true)) return false;
      }
    }
    file_.methods.push_back(std::move(m));
  }
  interface_method_.assign(file_.methods.size(), false);
  return true;
}

bool AbcParser::ParseMetadata() {
  uint32_t count = 0;
  if (!Count<AbcMetadata>(count)) return false;
  file_.metadata.reserve(count);
  const size_t strings = file_.strings.size();
  for (uint32_t i = 0; i < count; ++i) {
    AbcMetadata m;
    uint32_t items = 0;
    if (!Index(m.name, strings, false) || !Count<std::pair<uint32_t, uint32_t>>(items))
      return false;
    // Compilers write all the keys, then all the values.
    m.items.resize(items);
    for (auto& item : m.items) {
      if (!Index(item.first, strings, true)) return false;
    }
    for (auto& item : m.items) {
      if (!Index(item.second, strings, true)) return false;
    }
    file_.metadata.push_back(std::move(m));
  }
  return true;
}

// Trait and class names must be qualified names in a namespace.
bool AbcParser::ParseTraitName(uint32_t& name) {
  if (!Index(name, file_.multinames.size(), false)) return false;
  const AbcMultiname& m = file_.multinames[name];
  if (!IsQName(m.kind)) {
    return Fail(kCpoolEntryWrongType, "Cpool entry " + std::to_string(name) + " is wrong type.");
  }
  if (m.ns == 0) return Fail(1080, "Illegal value for namespace.");
  return true;
}

// `classes_ready`: class traits may only name classes whose class info precedes them.
bool AbcParser::ParseTraits(std::vector<AbcTrait>& traits, uint32_t classes_ready, bool interface) {
  uint32_t count = 0;
  if (!Count<AbcTrait>(count)) return false;
  traits.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    AbcTrait t;
    uint8_t tag = 0;
    if (!ParseTraitName(t.name) || !U8(tag)) return false;
    const uint8_t kind = tag & 0x0F;
    t.kind = static_cast<TraitKind>(kind);
    t.attributes = static_cast<uint8_t>(tag >> 4);
    switch (t.kind) {
      case TraitKind::kSlot:
      case TraitKind::kConst: {
        uint32_t value = 0;
        if (!U30(t.slot_id) || !Index(t.type_name, file_.multinames.size(), true) || !U30(value)) {
          return false;
        }
        if (value != 0) {
          uint8_t value_kind = 0;
          if (!U8(value_kind) || !ParseConstant(t.value, value_kind, value)) return false;
        }
        break;
      }
      case TraitKind::kClass:
        if (!U30(t.slot_id) || !U30(t.class_index)) return false;
        if (t.class_index >= file_.instances.size()) {
          return Fail(1060, "ClassInfo " + std::to_string(t.class_index) + " exceeds class_count=" +
                                std::to_string(file_.instances.size()) + ".");
        }
        if (t.class_index >= classes_ready) {
          return Fail(1059, "ClassInfo-" + std::to_string(t.class_index) +
                                " is referenced before definition.");
        }
        break;
      case TraitKind::kMethod:
      case TraitKind::kGetter:
      case TraitKind::kSetter:
        if (!U30(t.disp_id) || !MethodIndex(t.method)) return false;
        if (interface) interface_method_[t.method] = true;
        break;
      default:  // function traits included: Flash's loader refuses them
        return Fail(1045, "Unsupported traits kind=" + std::to_string(kind) + ".");
    }
    if (t.attributes & trait_attr::kMetadata) {
      uint32_t entries = 0;
      if (!Count<uint32_t>(entries)) return false;
      t.metadata.resize(entries);
      for (uint32_t& index : t.metadata) {
        if (!U30(index)) return false;
        if (index >= file_.metadata.size()) return Corrupt();
      }
    }
    traits.push_back(std::move(t));
  }
  return true;
}

bool AbcParser::ParseClasses() {
  uint32_t count = 0;
  if (!Count<AbcInstance>(count)) return false;
  file_.instances.resize(count);
  const size_t names = file_.multinames.size();
  for (AbcInstance& c : file_.instances) {
    uint32_t interfaces = 0;
    if (!ParseTraitName(c.name) || !Index(c.super_name, names, true) || !U8(c.flags)) {
      return false;
    }
    if ((c.flags & instance_flag::kProtectedNs) &&
        !Index(c.protected_ns, file_.namespaces.size(), true)) {
      return false;
    }
    if (!Count<uint32_t>(interfaces)) return false;
    c.interfaces.resize(interfaces);
    for (uint32_t& name : c.interfaces) {
      if (!Index(name, names, false)) return false;
    }
    if (!MethodIndex(c.iinit)) return false;
    if (!ParseTraits(c.traits, 0, (c.flags & instance_flag::kInterface) != 0)) return false;
  }
  if (!Charge(uint64_t{count} * sizeof(AbcClass))) return false;
  file_.classes.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    AbcClass& c = file_.classes[i];
    if (!MethodIndex(c.cinit) || !ParseTraits(c.traits, i, false)) return false;
  }
  return true;
}

bool AbcParser::ParseScripts() {
  uint32_t count = 0;
  if (!Count<AbcScript>(count)) return false;
  file_.scripts.resize(count);
  const uint32_t classes = static_cast<uint32_t>(file_.classes.size());
  for (AbcScript& s : file_.scripts) {
    if (!MethodIndex(s.init) || !ParseTraits(s.traits, classes, false)) return false;
  }
  return true;
}

bool AbcParser::ParseBodies() {
  uint32_t count = 0;
  if (!Count<AbcMethodBody>(count)) return false;
  file_.bodies.reserve(count);
  const size_t names = file_.multinames.size();
  const uint32_t classes = static_cast<uint32_t>(file_.classes.size());
  for (uint32_t i = 0; i < count; ++i) {
    AbcMethodBody b;
    uint32_t length = 0, exceptions = 0;
    if (!MethodIndex(b.method) || !U30(b.max_stack) || !U30(b.local_count) ||
        !U30(b.init_scope_depth) || !U30(b.max_scope_depth) || !U30(length)) {
      return false;
    }
    if (length == 0) return Fail(1043, "Invalid code_length=0.");
    if (length >= Left()) return Corrupt();  // the exception count follows the code
    if (!Charge(length)) return false;
    b.code.assign(data_.begin() + static_cast<std::ptrdiff_t>(pos_),
                  data_.begin() + static_cast<std::ptrdiff_t>(pos_ + length));
    pos_ += length;
    if (!Count<AbcException>(exceptions)) return false;
    b.exceptions.resize(exceptions);
    for (AbcException& e : b.exceptions) {
      if (!U30(e.from) || !U30(e.to) || !U30(e.target) || !Index(e.exc_type, names, true) ||
          !Index(e.var_name, names, true)) {
        return false;
      }
    }
    AbcMethod& method = file_.methods[b.method];
    if (interface_method_[b.method]) {
      return Fail(1122,
                  "Interface method " + std::to_string(b.method) + " has illegal method body.");
    }
    if (method.body >= 0) {
      return Fail(1121, "Method " + std::to_string(b.method) + " has a duplicate method body.");
    }
    if (!ParseTraits(b.traits, classes, false)) return false;
    method.body = static_cast<int32_t>(file_.bodies.size());
    file_.bodies.push_back(std::move(b));
  }
  return true;
}

}  // namespace

bool ReadAbcFile(std::span<const uint8_t> bytes, AbcFile& out, AbcError& error) {
  out = AbcFile{};
  error = AbcError{};
  AbcParser parser(bytes, out, error);
  if (parser.Parse()) return true;
  if (error.id == 0) error = AbcError{"Error #1107: The ABC data is corrupt.", kCorruptAbc, 0};
  return false;
}

}  // namespace flashsaver::avm2
