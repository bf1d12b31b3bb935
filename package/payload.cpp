#include "package/payload.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "package/package_state.h"
#include "package/packed_range.h"
#include "package/shell_names.h"
#include "package/tail_record.h"
#include "package/zip/archive_files.h"
#include "package/zip/unzip_host.h"
#include "package/zip/unzipper.h"
#include "settings/registry.h"
#include "settings/saver_settings.h"
#include "startup/run_state.h"

namespace flashsaver {
namespace {

// Open for the whole run once a package is found.
std::unique_ptr<ReadableFile> g_program_file;
// The one archive reader of the run, created on first use.
std::unique_ptr<TUnZipper> g_unzipper;

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

void WriteWhole(FileSystem& fs, const std::string& path, const uint8_t* data, size_t size) {
  std::unique_ptr<WritableFile> file = fs.CreateReplacing(path);
  if (!file) throw EPackageFileError("Cannot create file \"" + path + "\"");
  if (!file->Write(data, size) || !file->Close()) {
    throw EPackageFileError("Cannot write file \"" + path + "\"");
  }
}

// A destination made by the media lists from stored item text; only a plain name directly
// inside TempFolder is written, whatever the item holds.
bool IsPlainFileInTempFolder(const std::string& path) {
  if (TempFolder.empty() || path.size() <= TempFolder.size() ||
      path.compare(0, TempFolder.size(), TempFolder) != 0) {
    return false;
  }
  const std::string name = path.substr(TempFolder.size());
  return name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

}  // namespace

std::string FileNameOfPath(const std::string& path) {
  const size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ExtensionOfPath(const std::string& path) {
  const std::string name = FileNameOfPath(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string SaverNameFor(const std::string& program_path, const DisplayNameLookup& display_name) {
  std::string path = program_path;
  if (FileNameOfPath(path).find('~') != std::string::npos) {
    // A short 8.3 alias: the shell knows the long name.
    if (std::optional<std::string> long_name = display_name(path)) path = *long_name;
  }
  std::string name = FileNameOfPath(path);
  const std::string extension = ExtensionOfPath(path);
  if (!extension.empty()) name = name.substr(0, name.find(extension));
  return name;
}

std::string InstallFolderFor(const std::string& saver_name, Registry& registry, FileSystem& fs) {
  std::string folder;
  std::unique_ptr<RegistryKey> key = registry.OpenKey("\\Software\\Korvanlabs\\" + saver_name);
  if (!key) key = registry.OpenKey("\\Software\\Korvanlabs\\MarvexPro");
  if (key) {
    std::string value;
    if (key->ReadString("", value) != RegistryRead::kOk) value.clear();
    folder = value + "\\";
  }
  if (folder.size() < 3) {
    const std::string pro = "C:\\Program Files\\marvex\\Screensaver Pro\\";
    folder = fs.FolderExists(pro) ? pro : "C:\\Program Files\\marvex\\Screensaver\\";
  }
  return folder;
}

void LocatePackage() {
  FileSystem& fs = SystemFileSystem();
  std::unique_ptr<ReadableFile> program = fs.OpenForReading(ProgramFilePath);
  if (!program) throw EPackageFileError("Cannot open file \"" + ProgramFilePath + "\"");
  const uint64_t size = program->Size();
  const uint64_t window_size = std::min<uint64_t>(size, kTailWindowSize);
  std::vector<uint8_t> window(static_cast<size_t>(window_size));
  if (!program->ReadAt(size - window_size, window.data(), window.size())) {
    throw EPackageFileError("Cannot read file \"" + ProgramFilePath + "\"");
  }
  const std::optional<TailRecord> record = FindTailRecord(window.data(), window.size());
  if (!record) {
    PackageFound = false;
    return;
  }
  PackageFound = true;
  if (UpperCase(ExtensionOfPath(ProgramFilePath)) == ".EXE") StandAloneRun = true;
  g_program_file = std::move(program);

  const std::string archive = TempFolder + record->settings_name + "~";
  WriteWhole(fs, archive, window.data() + record->archive_offset,
             window.size() - record->archive_offset);
  UnzipArchive(archive);
  SettingsFilePath = TempFolder + record->settings_name;
}

void PreparePaths() {
  ExeFolder = ProgramFilePath.substr(0, ProgramFilePath.find_last_of("\\:") + 1);
  SaverName = SaverNameFor(ProgramFilePath, ShellDisplayName);
  if (!PackageFound) SettingsFilePath = ExeFolder + SaverName + ".002";
  InstallFolder = InstallFolderFor(SaverName, SystemRegistry(), SystemFileSystem());
  if (!SettingsFile.IsOpen()) SettingsFile.Open(SystemFileSystem(), SettingsFilePath);
}

void ExtractPackedFile(const std::string& key, const std::string& dest_path) {
  if (!g_program_file || !IsPlainFileInTempFolder(dest_path)) return;
  const std::optional<PackedRange> range =
      CheckedRange(SettingsFile.ReadInteger64("zippos", key + "_1", 0),
                   SettingsFile.ReadInteger64("zippos", key + "_2", 0), g_program_file->Size());
  if (!range) return;

  FileSystem& fs = SystemFileSystem();
  const std::string cut = dest_path + "~";
  {
    std::unique_ptr<WritableFile> out = fs.CreateReplacing(cut);
    if (!out) throw EPackageFileError("Cannot create file \"" + cut + "\"");
    if (!CopyRange(*g_program_file, *range, *out) || !out->Close()) {
      throw EPackageFileError("Cannot copy the packed file \"" + key + "\" to \"" + cut + "\"");
    }
  }
  if (SettingsFile.ReadBool("notzip", key, false)) {
    if (!fs.CopyReplacing(cut, dest_path)) {
      throw EPackageFileError("Cannot create file \"" + dest_path + "\"");
    }
  } else {
    UnzipArchive(cut);
  }
}

void ClosePackage() { g_program_file.reset(); }

void UnzipArchive(const std::string& archive_path) {
  if (!g_unzipper) {
    g_unzipper = std::make_unique<TUnZipper>(SystemArchiveFiles(), SystemUnzipHost());
  }
  g_unzipper->SetZipName(archive_path);
  g_unzipper->SetDoAll(true);
  g_unzipper->SetDestDir(TempFolder);
  g_unzipper->SetOverwriteMode(TOverwriteMode::Always);
  g_unzipper->UnZip();
}

}  // namespace flashsaver
