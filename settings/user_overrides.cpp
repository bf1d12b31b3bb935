#include "settings/user_overrides.h"

#include <cstdint>
#include <variant>

#include "package/package_state.h"
#include "package/payload.h"

namespace flashsaver {
namespace {

using R = SettingsRecord;

struct Override {
  const char* value_name;
  std::variant<uint8_t R::*, int32_t R::*, bool R::*> member;
};

// In the order in which they are read and written.
const Override kOverrides[] = {
    {"MouseMoveExit", &R::MouseMove},
    {"MousePressExit", &R::MousePress},
    {"KeyboardPressExit", &R::KeyboardPress},
    {"ShowCursor", &R::ShowCursor},
    {"OnlyEscKeyExit", &R::OnlyEscKeyExit},
    {"FlashSequence", &R::FlashSequence},
    {"FlashSize", &R::FlashSize},
    {"FlashQuality", &R::FlashQuality},
    {"FlashColor", &R::FlashColor},
    {"FlashDownloadTime", &R::FlashDownloadTime},
    {"FlashMute", &R::FlashMute},
};

struct Store {
  uint32_t value;
  SettingsRecord& record;
  void operator()(uint8_t R::*m) const { record.*m = static_cast<uint8_t>(value & 0xFF); }
  void operator()(int32_t R::*m) const { record.*m = static_cast<int32_t>(value); }
  void operator()(bool R::*m) const { record.*m = value != 0; }
};

struct Load {
  const SettingsRecord& record;
  uint32_t operator()(uint8_t R::*m) const { return record.*m; }
  uint32_t operator()(int32_t R::*m) const { return static_cast<uint32_t>(record.*m); }
  uint32_t operator()(bool R::*m) const { return record.*m ? 1 : 0; }
};

}  // namespace

std::string UserOverridesKey(const std::string& program_file_path) {
  const size_t cut = program_file_path.find_last_of("\\/:");
  const std::string name =
      cut == std::string::npos ? program_file_path : program_file_path.substr(cut + 1);
  return "\\Software\\Korvanlabs\\" + name;
}

void ApplyUserOverrides(Registry& registry, const std::string& key_path, SettingsRecord& record) {
  const std::unique_ptr<RegistryKey> key = registry.OpenKey(key_path);
  if (!key) return;
  for (const Override& o : kOverrides) {
    uint32_t value = 0;
    const RegistryRead read = key->ReadDword(o.value_name, value);
    if (read == RegistryRead::kFailed) return;
    if (read == RegistryRead::kOk) std::visit(Store{value, record}, o.member);
  }
}

void SaveUserOverrides(Registry& registry, const std::string& key_path,
                       const SettingsRecord& record) {
  const std::unique_ptr<RegistryKey> key = registry.CreateKey(key_path);
  if (!key) return;
  for (const Override& o : kOverrides) {
    if (!key->WriteDword(o.value_name, std::visit(Load{record}, o.member))) {
      throw RegistryWriteError(o.value_name);
    }
  }
}

void ApplyUserOverrides() {
  if (!PackageFound) return;
  ApplyUserOverrides(SystemRegistry(), UserOverridesKey(ProgramFilePath), SaverSettings);
}

void SaveUserOverrides() {
  if (!PackageFound) return;
  SaveUserOverrides(SystemRegistry(), UserOverridesKey(ProgramFilePath), SaverSettings);
}

}  // namespace flashsaver
