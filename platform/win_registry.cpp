// The current user's hive through the ANSI registry calls.
#include <windows.h>

#include <vector>

#include "platform/unique_handle.h"
#include "settings/registry.h"

namespace flashsaver {
namespace {

// A leading "\" names the root, which the registry calls do not accept in a sub-key.
std::string SubKey(const std::string& path) {
  size_t begin = 0;
  while (begin < path.size() && path[begin] == '\\') ++begin;
  return path.substr(begin);
}

class WinRegistryKey final : public RegistryKey {
 public:
  explicit WinRegistryKey(HKEY key) : key_(key) {}

  RegistryRead ReadString(const std::string& name, std::string& value) override {
    DWORD type = 0;
    DWORD size = 0;
    LONG status = ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return RegistryRead::kMissing;
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return RegistryRead::kFailed;
    }
    // The value may grow between the two calls; a few tries are enough.
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::vector<char> data(size + 1, '\0');
      DWORD got = size;
      status = ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &got);
      if (status == ERROR_MORE_DATA) {
        size = got;
        continue;
      }
      if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return RegistryRead::kFailed;
      }
      // Stored strings need not end with their terminator.
      size_t length = 0;
      while (length < got && data[length] != '\0') ++length;
      value.assign(data.data(), length);
      return RegistryRead::kOk;
    }
    return RegistryRead::kFailed;
  }

  RegistryRead ReadDword(const std::string& name, uint32_t& value) override {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LONG status = ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(&data), &size);
    if (status == ERROR_FILE_NOT_FOUND) return RegistryRead::kMissing;
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) {
      return RegistryRead::kFailed;
    }
    value = data;
    return RegistryRead::kOk;
  }

  bool WriteDword(const std::string& name, uint32_t value) override {
    const DWORD data = value;
    return ::RegSetValueExA(key_.get(), name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
  }

 private:
  UniqueRegKey key_;
};

class WinRegistry final : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenKey(const std::string& path) override {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SubKey(path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<WinRegistryKey>(key);
  }
  std::unique_ptr<RegistryKey> CreateKey(const std::string& path) override {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, SubKey(path).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<WinRegistryKey>(key);
  }
};

}  // namespace

Registry& SystemRegistry() {
  static WinRegistry registry;
  return registry;
}

}  // namespace flashsaver
