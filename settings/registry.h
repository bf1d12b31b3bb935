// The per-user registry hive (HKEY_CURRENT_USER), behind an interface so that the portable
// core runs natively in tests. Key paths are below the hive, "\" separated; a leading "\" is
// allowed. Key paths and value names match without regard to letter case.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace flashsaver {

enum class RegistryRead {
  kOk,
  kMissing,  // no value of that name
  kFailed,   // the value exists but is of another type, or could not be read
};

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // REG_SZ or REG_EXPAND_SZ (not expanded). The empty name is the key's default value.
  virtual RegistryRead ReadString(const std::string& name, std::string& value) = 0;
  // REG_DWORD only.
  virtual RegistryRead ReadDword(const std::string& name, uint32_t& value) = 0;
  // Needs a key from CreateKey. False when the value could not be written.
  virtual bool WriteDword(const std::string& name, uint32_t value) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens an existing key for reading; null when it does not exist or cannot be opened.
  virtual std::unique_ptr<RegistryKey> OpenKey(const std::string& path) = 0;
  // Opens the key for reading and writing, creating it and its parents when missing; null
  // when that fails.
  virtual std::unique_ptr<RegistryKey> CreateKey(const std::string& path) = 0;
};

// The implementation the build chose: the real hive on Windows, a process-wide in-memory
// registry in the native build.
Registry& SystemRegistry();

}  // namespace flashsaver
