// The settings file: INI text held in memory for the whole run and written back only on
// request. Sections and keys match without regard to letter case; the first section of a
// name and the first line of a key win; nothing is trimmed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/file_system.h"

namespace flashsaver {

class IniFile {
 public:
  // Settings files are small; anything past this is not a settings file and is not loaded.
  static constexpr size_t kMaxFileSize = size_t{64} << 20;

  // Reads the whole file. A missing file opens as empty. A file that exists but cannot be
  // read also opens as empty, and Save then refuses to write over it, so its content stays.
  void Open(FileSystem& fs, const std::string& path);
  bool IsOpen() const { return open_; }
  const std::string& Path() const { return path_; }
  // Back to the state before Open.
  void Close();

  // Replaces the content with text; lines end at CR, LF or CR LF.
  void Parse(std::string_view text);
  // The content as Save writes it: each section's header, its entries and one empty line,
  // every line ending with CR LF.
  std::string Text() const;

  bool SectionExists(std::string_view section) const;
  // Keys of the section's lines in file order (a line without "=" has none).
  std::vector<std::string> SectionKeys(std::string_view section) const;
  bool KeyExists(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // A value that is not an integer as a whole gives the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t default_value) const;
  int64_t ReadInteger64(std::string_view section, std::string_view key,
                        int64_t default_value) const;
  // Booleans are integers: 0 is false, every other integer true.
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  // Replaces the key's first line in place, or appends the line to the section, or appends
  // the section to the file. The key is written as spelled here.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Rewrites the file: the text goes to a new file, which replaces the old one only once it
  // is complete. False when the file was not replaced; the old file is then unchanged.
  bool Save();

 private:
  struct Section {
    std::string name;
    std::vector<std::string> lines;
  };

  const Section* FindSection(std::string_view name) const;
  const std::string* FindLine(std::string_view section, std::string_view key) const;

  FileSystem* fs_ = nullptr;
  std::string path_;
  bool open_ = false;
  bool unreadable_ = false;
  std::vector<Section> sections_;
};

}  // namespace flashsaver
