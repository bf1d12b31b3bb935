// SharedObject: getLocal's objects keep their data in a file per name under the folder the host
// gives (the user's own, per movie); with no folder they live as long as the movie. The file
// holds the data as JSON with a few extensions for values JSON lacks (undefined, NaN,
// infinities).
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

// Written data deeper than this is cut, so cycles end; files larger than this are not read.
constexpr int kMaxDepth = 32;
constexpr std::streamoff kMaxFileBytes = 4 << 20;
// Where getLocal keeps the objects it gave out, so that one name gives one object.
constexpr const char* kRegistry = "__sharedObjects";

void WriteString(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += c;
    }
  }
  out += '"';
}

void WriteValue(Vm& vm, const Value& v, std::string& out, int depth) {
  switch (v.type()) {
    case ValueType::kUndefined:
      out += "undefined";
      return;
    case ValueType::kNull:
      out += "null";
      return;
    case ValueType::kBool:
      out += v.AsBool() ? "true" : "false";
      return;
    case ValueType::kNumber: {
      const double n = v.AsNumber();
      out += std::isnan(n)   ? "NaN"
             : std::isinf(n) ? (n > 0 ? "Infinity" : "-Infinity")
                             : NumberToString(n);
      return;
    }
    case ValueType::kString:
      WriteString(out, v.AsString());
      return;
    case ValueType::kObject:
      break;
  }
  Object* o = v.AsObject();
  if (depth >= kMaxDepth || o->kind() == ObjectKind::kFunction) {
    out += "undefined";
    return;
  }
  const bool array = o->kind() == ObjectKind::kArray;
  out += array ? "[" : "{";
  bool first = true;
  if (array) {
    const uint32_t n = vm.ArrayLength(o);
    for (uint32_t i = 0; i < n; ++i) {
      if (!first) out += ',';
      first = false;
      WriteValue(vm, vm.GetIndex(o, i), out, depth + 1);
    }
  } else {
    for (const std::string& name : vm.EnumerableNames(o)) {
      if (!first) out += ',';
      first = false;
      WriteString(out, name);
      out += ':';
      WriteValue(vm, vm.GetMember(o, name), out, depth + 1);
    }
  }
  out += array ? "]" : "}";
}

// Reads what WriteValue wrote; damage ends the read with what was read so far.
struct Reader {
  Vm& vm;
  std::string_view s;
  size_t i = 0;
  bool ok = true;

  void Space() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t')) ++i;
  }
  bool Eat(std::string_view word) {
    Space();
    if (s.substr(i, word.size()) != word) return false;
    i += word.size();
    return true;
  }
  std::string String() {
    std::string out;
    if (!Eat("\"")) return ok = false, out;
    while (i < s.size() && s[i] != '"') {
      if (s[i] == '\\' && i + 1 < s.size()) {
        ++i;
        if (s[i] == 'u' && i + 4 < s.size()) {
          out +=
              static_cast<char>(std::strtol(std::string(s.substr(i + 1, 4)).c_str(), nullptr, 16));
          i += 5;
          continue;
        }
      }
      out += s[i++];
    }
    if (i >= s.size()) return ok = false, out;
    ++i;
    return out;
  }
  Value Read(int depth) {
    Space();
    if (!ok || i >= s.size() || depth > kMaxDepth) return ok = false, Value();
    if (Eat("undefined")) return Value();
    if (Eat("null")) return Value::Null();
    if (Eat("true")) return true;
    if (Eat("false")) return false;
    if (Eat("NaN")) return NAN;
    if (Eat("Infinity")) return INFINITY;
    if (Eat("-Infinity")) return -INFINITY;
    if (s[i] == '"') return String();
    if (s[i] == '[') {
      ++i;
      Object* a = vm.NewArray();
      uint32_t n = 0;
      while (ok && !Eat("]")) {
        if (n > 0 && !Eat(",")) return ok = false, Value(a);
        vm.SetIndex(a, n++, Read(depth + 1));
      }
      return a;
    }
    if (s[i] == '{') {
      ++i;
      Object* o = vm.NewObject();
      bool first = true;
      while (ok && !Eat("}")) {
        if (!first && !Eat(",")) return ok = false, Value(o);
        first = false;
        const std::string name = String();
        if (!ok || !Eat(":")) return ok = false, Value(o);
        vm.SetMember(o, name, Read(depth + 1));
      }
      return o;
    }
    const std::string rest(s.substr(i, 40));
    char* end = nullptr;
    const double n = std::strtod(rest.c_str(), &end);
    const auto used = static_cast<size_t>(end - rest.c_str());
    if (used == 0) return ok = false, Value();
    i += used;
    return n;
  }
};

// The object's file: its name with every character but letters, digits, '-' and '_' replaced.
std::filesystem::path FileOf(Vm& vm, const std::string& name) {
  const std::string folder = vm.host().SharedObjectFolder();
  if (folder.empty()) return {};
  std::string safe;
  for (char c : name) safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  return std::filesystem::path(folder) / (safe + ".json");
}

Value Name(Vm& vm, Object* so) { return vm.GetMember(so, "__name"); }

std::string Serialized(Vm& vm, Object* so) {
  std::string out;
  WriteValue(vm, vm.GetMember(so, "data"), out, 0);
  return out;
}

Value Flush(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return false;
  const std::filesystem::path file = FileOf(vm, vm.ToString(Name(vm, c.this_obj)));
  if (file.empty()) return true;  // kept in memory for the movie's life
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  // Written beside and renamed, so a crash never leaves half a file.
  std::filesystem::path temp = file;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << Serialized(vm, c.this_obj);
    if (!out.flush()) return false;
  }
  std::filesystem::rename(temp, file, error);
  return !error;
}

}  // namespace

void FlushSharedObjects(Vm& vm) {
  Object* ctor = vm.GetMember(vm.global(), "SharedObject").AsObject();
  Object* registry = ctor ? vm.GetMember(ctor, kRegistry).AsObject() : nullptr;
  if (!registry) return;
  std::vector<Object*> objects;
  registry->ForEachOwn([&](Property& p) {
    if (Object* so = p.value.AsObject()) objects.push_back(so);
  });
  for (Object* so : objects) {
    // Data getters are script: one that throws or runs away loses only its own object.
    try {
      Flush(vm, CallArgs{so, {}, nullptr, false});
    } catch (const ScriptThrow&) {
    } catch (const ScriptAbort&) {
    }
  }
}

namespace {

Value GetSize(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return 0;
  const std::string data = Serialized(vm, c.this_obj);
  return data == "{}" ? 0.0 : static_cast<double>(data.size());
}

Value Clear(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return Value();
  vm.SetMember(c.this_obj, "data", vm.NewObject());
  const std::filesystem::path file = FileOf(vm, vm.ToString(Name(vm, c.this_obj)));
  std::error_code error;
  if (!file.empty()) std::filesystem::remove(file, error);
  return Value();
}

Value Nothing(Vm&, const CallArgs&) { return Value(); }

Value Construct(Vm& vm, const CallArgs& c) {
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  Object* so = vm.NewObject(proto);
  so->Define("data", vm.NewObject(), prop_flag::kDontDelete);
  return so;
}

Value GetLocal(Vm& vm, const CallArgs& c) {
  const std::string name = vm.ToString(c.Arg(0));
  // Names the player refuses: empty, or with characters that are not allowed in them.
  if (name.empty() || name.find_first_of("~%&\\;:\"',<>?# ") != std::string::npos) {
    return Value::Null();
  }
  Object* ctor = c.callee ? vm.GetMember(vm.global(), "SharedObject").AsObject() : nullptr;
  if (!ctor) return Value::Null();
  Object* registry = vm.GetMember(ctor, kRegistry).AsObject();
  if (!registry) {
    registry = vm.NewObject();
    ctor->Define(kRegistry, registry, prop_flag::kDontEnum | prop_flag::kDontDelete);
  }
  if (Value known = vm.GetMember(registry, name); known.IsObject()) return known;
  Object* so = vm.Construct(Value(ctor), {}).AsObject();
  if (!so) return Value::Null();
  so->Define("__name", name, prop_flag::kDontEnum);
  const std::filesystem::path file = FileOf(vm, name);
  std::error_code error;
  if (!file.empty() && std::filesystem::file_size(file, error) <= kMaxFileBytes && !error) {
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Reader reader{vm, text};
    const Value data = reader.Read(0);
    if (data.IsObject()) so->Define("data", data, prop_flag::kDontDelete);
  }
  registry->Define(name, so, prop_flag::kDontEnum);
  return so;
}

}  // namespace

void InstallSharedObject(Vm& vm) {
  Object* proto = vm.NewObject();
  vm.DefineMethod(proto, "flush", Flush);
  vm.DefineMethod(proto, "getSize", GetSize);
  vm.DefineMethod(proto, "clear", Clear);
  vm.DefineMethod(proto, "close", Nothing);
  vm.DefineMethod(proto, "connect", Nothing);
  vm.DefineMethod(proto, "send", Nothing);
  vm.DefineMethod(proto, "setFps", Nothing);
  vm.DefineMethod(proto, "onStatus", Nothing);
  vm.DefineMethod(proto, "onSync", Nothing);
  Object* ctor = vm.DefineClass("SharedObject", Construct, Construct, proto);
  vm.DefineMethod(ctor, "getLocal", GetLocal);
  vm.DefineMethod(ctor, "getRemote", [](Vm&, const CallArgs&) { return Value::Null(); });
  vm.DefineMethod(ctor, "deleteAll", Nothing);
  vm.DefineMethod(ctor, "getDiskUsage", [](Vm&, const CallArgs&) { return Value(0); });
}

}  // namespace flashsaver::avm1
