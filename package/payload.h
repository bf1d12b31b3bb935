// The content package inside the program file.
#pragma once

#include <string>

namespace flashsaver {

// The running module's path; set by start-up before LocatePackage.
inline std::string ProgramFilePath;

// Finds the tail record and unpacks the settings archive; sets PackageFound and StandAloneRun.
void LocatePackage();

}  // namespace flashsaver
