#include "package/temp_folder.h"

#include <vector>

#include "package/package_state.h"

namespace flashsaver {
namespace {

bool g_claimed = false;

void EmptyFolder(FileSystem& fs, const std::string& folder) {
  if (!fs.FolderExists(folder)) return;
  std::vector<std::string> names;
  if (!fs.ListFiles(folder, names)) return;
  for (const std::string& name : names) {
    const std::string path = folder + name;
    // An error ends the clean-up of this folder.
    if (!fs.ClearAttributes(path) || !fs.RemoveFile(path)) return;
  }
}

}  // namespace

void TempFolderStartup(FileSystem& fs, const std::string& system_temp_path) {
  TempFolder = system_temp_path + "Marvex\\";
  if (!fs.FolderExists(TempFolder + "tmp")) fs.CreateFolders(TempFolder + "tmp");
}

void ClaimTempFolder() { g_claimed = true; }

bool TempFolderClaimed() { return g_claimed; }

void TempFolderCleanup(FileSystem& fs) {
  if (!g_claimed || TempFolder.empty()) return;
  EmptyFolder(fs, TempFolder);
  EmptyFolder(fs, TempFolder + "tmp\\");
}

}  // namespace flashsaver
