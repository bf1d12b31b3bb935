// Screen savers of the tests' own, the settings file they leave and the per-user registry.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/saverpack/saver_builder.h"

namespace e2e {

// A fresh folder for one test: the system's temporary path + "flashsaver-e2e\" + name + "\",
// emptied first.
std::string FreshFolder(const std::string& name);
bool CopyFixture(const std::string& fixture, const std::string& destination);
// A file of the source tree (FLASHSAVER_SOURCE) as a Windows path.
std::string SourceFile(const std::string& relative);

struct TestSaver {
  std::string name;     // the screen saver's name, the program's file name without ".scr"
  std::string folder;   // with a trailing backslash
  std::string program;  // folder + name + ".scr"
  // The settings file a bare engine reads and OK writes: folder + name + ".002".
  std::string side_settings() const { return folder + name + ".002"; }
  // The per-user key of the program file (name + ".scr").
  std::string overrides_key() const { return "Software\\Korvanlabs\\" + name + ".scr"; }
  // The key whose default value names the install folder.
  std::string install_key() const { return "Software\\Korvanlabs\\" + name; }
};

// The engine copied as name + ".scr" into a fresh folder, with its settings file beside it.
TestSaver MakeBareSaver(const std::string& name, const std::string& settings);
// A packaged screen saver built with saverpack: request.output is filled in, and request.engine
// when it is empty.
TestSaver MakePackagedSaver(const std::string& name, saverpack::BuildRequest request);

// The value of the first line key=... of the section; nothing when absent.
std::optional<std::string> IniValue(const std::string& text, const std::string& section,
                                    const std::string& key);

// HKEY_CURRENT_USER of Wine's registry.
bool UserKeyExists(const std::string& key);
std::optional<DWORD> UserDword(const std::string& key, const std::string& value);
void SetUserDword(const std::string& key, const std::string& value, DWORD data);
void SetUserDefault(const std::string& key, const std::string& text);
void DeleteUserKey(const std::string& key);

}  // namespace e2e
