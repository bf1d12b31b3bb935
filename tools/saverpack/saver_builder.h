// Joins the engine, the packed files and the settings into one screen saver file, the way the
// authoring tool lays it out.
#pragma once

#include <string>
#include <vector>

namespace saverpack {

struct PackedFile {
  std::string key;   // the name under which the lists and "zippos" know it ("=" as "**")
  std::string path;  // the file on this machine
  bool raw = false;  // its own bytes ("notzip") instead of a ZIP archive
  bool read_only = false;
};

struct ListItem {
  std::string section;
  std::string item;
  std::string value = "1";
};

struct SettingValue {
  std::string section;
  std::string key;
  std::string value;
};

struct BuildRequest {
  std::string engine;
  std::string output;
  std::string settings_base;  // an existing settings file to start from; may be empty
  std::string settings_name = "settings.ini";
  std::vector<SettingValue> settings;
  std::vector<ListItem> items;
  std::vector<PackedFile> packed;
  std::vector<std::string> archive_extras;  // further files for the settings archive
  bool deflate = true;
};

struct BuildResult {
  unsigned long long size = 0;
  unsigned long long tail_offset = 0;
};

// Throws std::runtime_error with a message for the user.
BuildResult BuildSaver(const BuildRequest& request);

// The key for a file name: "=" is written as "**".
std::string KeyForName(const std::string& name);
// The name a packed file is extracted under: "**" read back as "=".
std::string NameForKey(const std::string& key);

}  // namespace saverpack
