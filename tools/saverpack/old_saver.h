// Reads a built screen saver as the engine would find it: the tail record, the settings archive
// (unpacked with the engine's own reader) and the packed ranges the settings name. Shared by
// --rebuild and --unpack.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/ini_file.h"

namespace saverpack {

// A file the tool will not work on; the message is one line for the user.
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OldRange {
  std::string key;  // as "zippos" spells it, without "_1" / "_2"
  uint64_t start = 0;
  uint64_t end = 0;
  bool raw = false;  // "notzip": the file's own bytes
};

// A file of an archive as the engine's reader left it in a folder.
struct UnzippedFile {
  std::string name;
  uint32_t dos_time = 0;
  bool read_only = false;
};

// What the engine's reader made of one archive.
struct UnzipOutcome {
  std::vector<UnzippedFile> files;    // written and verified, in archive order
  std::vector<std::string> problems;  // entries left out, or the error that ended the run
};

// Unpacks every entry of the archive flat into folder, with the engine's own rules for names.
UnzipOutcome UnzipWithEngineRules(const std::filesystem::path& archive,
                                  const std::filesystem::path& folder);

struct OldSaver {
  std::filesystem::path path;
  uint64_t size = 0;
  uint64_t tail_offset = 0;  // where the marker starts
  std::string settings_name;
  flashsaver::IniFile settings;
  std::filesystem::path unpacked;     // the folder holding the settings archive's files
  std::vector<UnzippedFile> archive;  // those files, the settings file among them
  std::vector<OldRange> ranges;       // in file order, none overlapping
};

// Throws Refusal for a file without a package, a damaged tail record or settings archive, and
// ranges that lie (outside the packed area, inverted, overlapping). scratch must be an empty
// folder of the caller's; the settings archive is unpacked there.
OldSaver ReadOldSaver(const std::filesystem::path& path, const std::filesystem::path& scratch);

// Copies bytes [start, end) of in to out in bounded chunks.
void CopyBytes(std::istream& in, uint64_t start, uint64_t end, std::ostream& out);

bool IsStandAloneName(const std::filesystem::path& path);

}  // namespace saverpack
