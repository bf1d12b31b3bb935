// A registry held in memory, for the native build and its tests. It can be told to fail
// writes, to reach the error paths of the callers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "settings/registry.h"

namespace flashsaver {

class MemoryRegistry final : public Registry {
 public:
  enum class Type { kString, kExpandString, kDword, kBinary };
  struct Value {
    Type type = Type::kString;
    std::string text;  // kString, kExpandString and kBinary
    uint32_t dword = 0;
  };

  std::unique_ptr<RegistryKey> OpenKey(const std::string& path) override;
  std::unique_ptr<RegistryKey> CreateKey(const std::string& path) override;

  void AddKey(const std::string& path);
  void RemoveKey(const std::string& path);
  bool HasKey(const std::string& path) const;
  void SetString(const std::string& path, const std::string& name, const std::string& text);
  void SetDword(const std::string& path, const std::string& name, uint32_t value);
  // A value of another type than the reads ask for (REG_BINARY).
  void SetBinary(const std::string& path, const std::string& name, const std::string& bytes);
  std::optional<Value> Get(const std::string& path, const std::string& name) const;
  void Clear();

  // Keys that CreateKey may not create or open.
  void SetCreateFails(bool fails) { create_fails_ = fails; }
  // After this many further successful writes every write fails; negative: never.
  void SetWritesBeforeFailure(int writes) { writes_before_failure_ = writes; }

 private:
  class Key;
  using Values = std::map<std::string, Value>;

  void Set(const std::string& path, const std::string& name, const Value& value);

  std::map<std::string, Values> keys_;
  bool create_fails_ = false;
  int writes_before_failure_ = -1;
};

// The native build's SystemRegistry, for tests that fill it.
MemoryRegistry& SystemMemoryRegistry();

}  // namespace flashsaver
