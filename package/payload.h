// The content package inside the program file.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "package/file_system.h"

namespace flashsaver {

class Registry;

// The running module's path; set by start-up before LocatePackage.
inline std::string ProgramFilePath;

// A file of the package that cannot be read or written.
class EPackageFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Finds the tail record in the last bytes of the program file and unpacks the settings
// archive into TempFolder; sets PackageFound, StandAloneRun and SettingsFilePath. With a
// package the program file stays open for ExtractPackedFile.
void LocatePackage();

// Sets ExeFolder, SaverName, InstallFolder and, without a package, SettingsFilePath; opens
// SettingsFile.
void PreparePaths();

// Cuts the packed file of key out of the program file and makes it available at dest_path,
// which must be a file directly in TempFolder. Nothing happens when the package has no usable
// range for key. I/O and archive errors pass to the caller.
void ExtractPackedFile(const std::string& key, const std::string& dest_path);

// Closes the program file and forgets the package's ranges; for a new LocatePackage in tests.
void ClosePackage();

// Unpacks every entry of the archive flat into TempFolder with the one reader of the run.
void UnzipArchive(const std::string& archive_path);

// The parts of the above that depend on nothing process-wide, for tests.

// The file-name part: the text after the last "\" or ":".
std::string FileNameOfPath(const std::string& path);
// From the last "." of the file-name part, or empty.
std::string ExtensionOfPath(const std::string& path);

// The shell's display name of a file, or nothing when the shell does not answer.
using DisplayNameLookup = std::function<std::optional<std::string>(const std::string& path)>;
std::string SaverNameFor(const std::string& program_path, const DisplayNameLookup& display_name);

std::string InstallFolderFor(const std::string& saver_name, Registry& registry, FileSystem& fs);

}  // namespace flashsaver
