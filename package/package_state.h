// Process-wide paths and flags of the content package. Every folder path ends with "\".
#pragma once

#include <string>

namespace flashsaver {

inline std::string TempFolder;
inline bool PackageFound = false;
inline std::string SettingsFilePath;
inline std::string ExeFolder;
inline std::string InstallFolder;
inline std::string SaverName;

}  // namespace flashsaver
