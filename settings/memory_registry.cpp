#include "settings/memory_registry.h"

#include <utility>

namespace flashsaver {
namespace {

std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string KeyId(const std::string& path) {
  size_t begin = 0;
  size_t end = path.size();
  while (begin < end && path[begin] == '\\') ++begin;
  while (end > begin && path[end - 1] == '\\') --end;
  return Folded(path.substr(begin, end - begin));
}

}  // namespace

class MemoryRegistry::Key final : public RegistryKey {
 public:
  Key(MemoryRegistry& registry, std::string id, bool writable)
      : registry_(registry), id_(std::move(id)), writable_(writable) {}

  RegistryRead ReadString(const std::string& name, std::string& value) override {
    const Value* v = Find(name);
    if (v == nullptr) return RegistryRead::kMissing;
    if (v->type != Type::kString && v->type != Type::kExpandString) return RegistryRead::kFailed;
    value = v->text;
    return RegistryRead::kOk;
  }
  RegistryRead ReadDword(const std::string& name, uint32_t& value) override {
    const Value* v = Find(name);
    if (v == nullptr) return RegistryRead::kMissing;
    if (v->type != Type::kDword) return RegistryRead::kFailed;
    value = v->dword;
    return RegistryRead::kOk;
  }
  bool WriteDword(const std::string& name, uint32_t value) override {
    if (!writable_ || registry_.keys_.count(id_) == 0) return false;
    if (registry_.writes_before_failure_ == 0) return false;
    if (registry_.writes_before_failure_ > 0) --registry_.writes_before_failure_;
    Value v;
    v.type = Type::kDword;
    v.dword = value;
    registry_.keys_[id_][Folded(name)] = v;
    return true;
  }

 private:
  const Value* Find(const std::string& name) const {
    const auto key = registry_.keys_.find(id_);
    if (key == registry_.keys_.end()) return nullptr;
    const auto value = key->second.find(Folded(name));
    return value == key->second.end() ? nullptr : &value->second;
  }

  MemoryRegistry& registry_;
  std::string id_;
  bool writable_;
};

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(const std::string& path) {
  const std::string id = KeyId(path);
  if (keys_.count(id) == 0) return nullptr;
  return std::make_unique<Key>(*this, id, false);
}

std::unique_ptr<RegistryKey> MemoryRegistry::CreateKey(const std::string& path) {
  if (create_fails_) return nullptr;
  const std::string id = KeyId(path);
  AddKey(id);
  return std::make_unique<Key>(*this, id, true);
}

void MemoryRegistry::AddKey(const std::string& path) {
  // Parents exist whenever a child does, as in the real hive.
  const std::string id = KeyId(path);
  for (size_t cut = id.find('\\'); cut != std::string::npos; cut = id.find('\\', cut + 1)) {
    keys_[id.substr(0, cut)];
  }
  keys_[id];
}

void MemoryRegistry::RemoveKey(const std::string& path) {
  const std::string id = KeyId(path);
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first == id || it->first.rfind(id + "\\", 0) == 0) {
      it = keys_.erase(it);
    } else {
      ++it;
    }
  }
}

bool MemoryRegistry::HasKey(const std::string& path) const { return keys_.count(KeyId(path)) != 0; }

void MemoryRegistry::Set(const std::string& path, const std::string& name, const Value& value) {
  AddKey(path);
  keys_[KeyId(path)][Folded(name)] = value;
}

void MemoryRegistry::SetString(const std::string& path, const std::string& name,
                               const std::string& text) {
  Value v;
  v.type = Type::kString;
  v.text = text;
  Set(path, name, v);
}

void MemoryRegistry::SetDword(const std::string& path, const std::string& name, uint32_t value) {
  Value v;
  v.type = Type::kDword;
  v.dword = value;
  Set(path, name, v);
}

void MemoryRegistry::SetBinary(const std::string& path, const std::string& name,
                               const std::string& bytes) {
  Value v;
  v.type = Type::kBinary;
  v.text = bytes;
  Set(path, name, v);
}

std::optional<MemoryRegistry::Value> MemoryRegistry::Get(const std::string& path,
                                                         const std::string& name) const {
  const auto key = keys_.find(KeyId(path));
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.find(Folded(name));
  if (value == key->second.end()) return std::nullopt;
  return value->second;
}

void MemoryRegistry::Clear() {
  keys_.clear();
  create_fails_ = false;
  writes_before_failure_ = -1;
}

}  // namespace flashsaver
