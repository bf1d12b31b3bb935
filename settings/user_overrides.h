// The per-user values that the configuration dialog stores for a packaged screen saver, laid
// over the settings file's values.
#pragma once

#include <stdexcept>
#include <string>

#include "settings/registry.h"
#include "settings/saver_settings.h"

namespace flashsaver {

// Raised by SaveUserOverrides when a value cannot be written; the values before it stay.
class RegistryWriteError : public std::runtime_error {
 public:
  explicit RegistryWriteError(const std::string& value_name)
      : std::runtime_error("Cannot write the registry value " + value_name + "."),
        value_name_(value_name) {}
  const std::string& value_name() const { return value_name_; }

 private:
  std::string value_name_;
};

// "\Software\Korvanlabs\" + the file-name part of the program's path, extension included.
std::string UserOverridesKey(const std::string& program_file_path);

// A missing key changes nothing; the first value that cannot be read as a REG_DWORD ends the
// step, with the values before it applied.
void ApplyUserOverrides(Registry& registry, const std::string& key_path, SettingsRecord& record);
// Creates the key when missing; a key that cannot be created writes nothing. A value that
// cannot be written raises RegistryWriteError.
void SaveUserOverrides(Registry& registry, const std::string& key_path,
                       const SettingsRecord& record);

// The same for SaverSettings and the program file's key in the system's registry; both do
// nothing without a package.
void ApplyUserOverrides();
void SaveUserOverrides();

}  // namespace flashsaver
