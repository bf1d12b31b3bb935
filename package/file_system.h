// The file operations the portable core needs, behind one interface so that the core runs
// natively in tests. Paths are Windows paths ("\" separators) everywhere; the native
// implementation maps them onto the host.
#pragma once

#include <string>
#include <vector>

namespace flashsaver {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool FolderExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Creates the folder and every missing parent; true when it exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;
  // Names (not paths) of the plain files in a folder: no "." or "..", no sub-folders.
  // False when the folder cannot be listed.
  virtual bool ListFiles(const std::string& folder, std::vector<std::string>& names) = 0;
  // Clears read-only, hidden and system marks so that the file can be deleted.
  virtual bool ClearAttributes(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The implementation the build chose for this platform.
FileSystem& SystemFileSystem();

}  // namespace flashsaver
