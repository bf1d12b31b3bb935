#include "tools/saverpack/saver_listing.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "package/packed_range.h"
#include "package/tail_record.h"
#include "tools/saverpack/ini_text.h"
#include "tools/saverpack/saver_builder.h"
#include "tools/saverpack/zip_check.h"

namespace saverpack {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kKeepLimit = 1 << 20;
const char* const kListSections[] = {"Pictures", "Music", "Flash", "Video", "Web"};

// Reads an offset as the engine does: optional sign and decimal digits; anything else is 0.
long long ReadOffset(const std::optional<std::string>& text) {
  if (!text || text->empty()) return 0;
  size_t used = 0;
  try {
    const long long v = std::stoll(*text, &used, 10);
    return used == text->size() ? v : 0;
  } catch (...) {
    return 0;
  }
}

bool InspectRange(std::istream& file, uint64_t file_size, const IniText& ini,
                  const std::string& key, std::ostream& out) {
  const long long start = ReadOffset(ini.Get("zippos", key + "_1"));
  const long long end = ReadOffset(ini.Get("zippos", key + "_2"));
  const auto notzip = ini.Get("notzip", key);
  const bool raw = notzip && ReadOffset(notzip) != 0;
  out << "  " << key << "  " << (raw ? "raw" : "zip") << "  " << start << "-" << end;
  const auto range = flashsaver::CheckedRange(start, end, file_size);
  if (!range) {
    out << "  NOT INTACT: the range lies outside the file or is empty\n";
    return false;
  }
  out << " (" << (range->end - range->start) << " bytes)";
  if (raw) {
    out << "  intact (raw bytes, within the file)\n";
    return true;
  }
  const ZipCheck zip = CheckZip(file, range->start, range->end);
  if (!zip.intact) {
    out << "  NOT INTACT: " << zip.problem << "\n";
    for (const ZipEntryCheck& e : zip.entries) {
      if (!e.intact) out << "    " << e.name << ": " << e.problem << "\n";
    }
    return false;
  }
  const std::string expected = NameForKey(key);
  const bool named = std::any_of(zip.entries.begin(), zip.entries.end(), [&](const auto& e) {
    return SameText(fs::path(e.name).filename().string(), expected);
  });
  out << "  intact (" << zip.entries.size() << " entr" << (zip.entries.size() == 1 ? "y" : "ies");
  for (const ZipEntryCheck& e : zip.entries) out << ", " << e.name << " " << e.size << " bytes";
  out << ")";
  if (!named) out << "  WARNING: no entry named " << expected;
  out << "\n";
  return true;
}

}  // namespace

bool InspectSaver(const std::string& path, std::ostream& out) {
  std::ifstream file(fs::path(path), std::ios::binary);
  if (!file) {
    out << "cannot open " << path << "\n";
    return false;
  }
  file.seekg(0, std::ios::end);
  const auto size = static_cast<uint64_t>(file.tellg());
  const uint64_t window_size = std::min<uint64_t>(size, flashsaver::kTailWindowSize);
  std::string window(static_cast<size_t>(window_size), '\0');
  file.seekg(static_cast<std::streamoff>(size - window_size));
  file.read(window.data(), static_cast<std::streamsize>(window_size));
  out << path << ": " << size << " bytes\n";
  const auto record =
      flashsaver::FindTailRecord(reinterpret_cast<const uint8_t*>(window.data()), window.size());
  if (!record) {
    out << "no tail record in the last " << window_size
        << " bytes: a bare engine, or not a built screen saver\n";
    return false;
  }
  const uint64_t archive_start = size - window_size + record->archive_offset;
  const uint64_t marker_at = archive_start - 2 - record->settings_name.size() - 8;
  out << "tail record at " << marker_at << ": settings file \"" << record->settings_name
      << "\", settings archive " << (size - archive_start) << " bytes\n";

  const ZipCheck archive = CheckZip(file, archive_start, size, kKeepLimit);
  out << "settings archive: " << (archive.intact ? "intact" : "NOT INTACT: " + archive.problem)
      << "\n";
  for (const ZipEntryCheck& e : archive.entries) {
    out << "  " << e.name << "  " << e.size << " bytes" << (e.intact ? "" : "  " + e.problem)
        << "\n";
  }
  const auto settings = std::find_if(archive.kept.begin(), archive.kept.end(), [&](const auto& k) {
    return SameText(k.first, record->settings_name);
  });
  if (settings == archive.kept.end()) {
    out << "the settings archive does not hold " << record->settings_name << "\n";
    return false;
  }
  out << "settings:\n" << settings->second;
  const IniText ini = IniText::Parse(settings->second);

  bool intact = archive.intact;
  std::set<std::string> seen;
  out << "packed files:\n";
  for (const auto& [k, v] : ini.Entries("zippos")) {
    if (k.size() < 2 || k.compare(k.size() - 2, 2, "_1") != 0) continue;
    const std::string key = k.substr(0, k.size() - 2);
    if (!seen.insert(key).second) continue;
    intact = InspectRange(file, size, ini, key, out) && intact;
  }
  if (seen.empty()) out << "  none\n";
  for (const char* section : kListSections) {
    const auto entries = ini.Entries(section);
    if (entries.empty()) continue;
    out << "list " << section << ":\n";
    for (const auto& [item, value] : entries) out << "  " << item << "=" << value << "\n";
  }
  if (const auto still = ini.Get("Set", "Build_StaticImage"); still && !still->empty()) {
    const bool packed = seen.count(*still) > 0;
    out << "preview still: " << *still << (packed ? " (packed)" : " (not packed)")
        << (ini.Get("Set", "Build_UseStaticPreview").value_or("0") == "0" ? ", not in use" : "")
        << "\n";
  }
  out << (intact ? "all intact\n" : "NOT INTACT\n");
  return intact;
}

}  // namespace saverpack
