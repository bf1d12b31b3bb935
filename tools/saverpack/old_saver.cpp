#include "tools/saverpack/old_saver.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "package/tail_record.h"
#include "package/zip/archive_files.h"
#include "package/zip/output_names.h"
#include "package/zip/unzip_host.h"
#include "package/zip/unzipper.h"

namespace saverpack {
namespace {

namespace fs = std::filesystem;

// The reader's message boxes become problems of the run.
class CollectingHost final : public flashsaver::UnzipHost {
 public:
  void BeginWait() override {}
  void EndWait() override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text, const std::string&) override {
    messages.push_back(text);
  }
  std::string OemToAnsi(const std::string& name) override {
    return flashsaver::SystemUnzipHost().OemToAnsi(name);
  }
  std::vector<std::string> messages;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<OldRange> ReadRanges(const flashsaver::IniFile& settings, uint64_t tail_offset) {
  std::vector<OldRange> ranges;
  std::map<std::string, bool> seen;  // keys match without regard to case, the first line wins
  for (const std::string& line_key : settings.SectionKeys("zippos")) {
    if (line_key.size() < 3) continue;
    const std::string suffix = line_key.substr(line_key.size() - 2);
    if (suffix != "_1" && suffix != "_2") continue;
    const std::string key = line_key.substr(0, line_key.size() - 2);
    if (!seen.emplace(Lower(key), true).second) continue;
    const std::string first = settings.ReadString("zippos", key + "_1", "");
    const std::string last = settings.ReadString("zippos", key + "_2", "");
    const int64_t start = settings.ReadInteger64("zippos", key + "_1", 0);
    const int64_t end = settings.ReadInteger64("zippos", key + "_2", 0);
    const std::string where = "range \"" + key + "\" (" + first + " to " + last + ") lies: ";
    if (start <= 0 || end <= 0) throw Refusal(where + "an offset is missing or not positive");
    if (end <= start) throw Refusal(where + "it ends before it starts");
    if (static_cast<uint64_t>(end) > tail_offset) {
      throw Refusal(where + "it reaches past the packed files, to the tail record at " +
                    std::to_string(tail_offset) + " or beyond the file");
    }
    ranges.push_back({key, static_cast<uint64_t>(start), static_cast<uint64_t>(end),
                      settings.ReadBool("notzip", key, false)});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const OldRange& a, const OldRange& b) { return a.start < b.start; });
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].start < ranges[i - 1].end) {
      throw Refusal("ranges \"" + ranges[i - 1].key + "\" and \"" + ranges[i].key + "\" overlap");
    }
  }
  return ranges;
}

}  // namespace

bool IsStandAloneName(const fs::path& path) { return Lower(path.extension().string()) == ".exe"; }

void CopyBytes(std::istream& in, uint64_t start, uint64_t end, std::ostream& out) {
  std::string buffer(static_cast<size_t>(std::min<uint64_t>(end - start, 1 << 20)), '\0');
  in.clear();
  in.seekg(static_cast<std::streamoff>(start));
  for (uint64_t left = end - start; left > 0;) {
    const auto n = static_cast<std::streamsize>(std::min<uint64_t>(left, buffer.size()));
    in.read(buffer.data(), n);
    if (in.gcount() != n) throw Refusal("cannot read bytes at " + std::to_string(end - left));
    out.write(buffer.data(), n);
    left -= static_cast<uint64_t>(n);
  }
  if (!out) throw Refusal("cannot write the copied bytes");
}

UnzipOutcome UnzipWithEngineRules(const fs::path& archive, const fs::path& folder) {
  UnzipOutcome outcome;
  CollectingHost host;
  flashsaver::TUnZipper reader(flashsaver::SystemArchiveFiles(), host);
  reader.SetZipName(archive.string());
  reader.SetDestDir(folder.string());
  reader.SetDoAll(true);
  reader.SetOverwriteMode(flashsaver::TOverwriteMode::Always);
  reader.SetDoProcessMessages(false);
  try {
    reader.UnZip();
  } catch (const std::exception& e) {
    outcome.problems.push_back(e.what());
  }
  for (const std::string& m : host.messages) outcome.problems.push_back(m);
  if (const flashsaver::TZipDirectory* directory = reader.Directory()) {
    std::map<std::string, size_t> listed;
    directory->ForEach([&](const flashsaver::TZipEntryInfo& entry) {
      if (entry.file_name.empty()) return;
      const std::string shown = entry.folder + entry.file_name;
      if (!flashsaver::UsableOutputName(entry.file_name)) {
        outcome.problems.push_back("entry \"" + shown + "\" has an unsafe name; skipped");
      } else if (entry.encrypted()) {
        outcome.problems.push_back("entry \"" + shown + "\" is encrypted; skipped");
      } else if (!fs::is_regular_file(folder / entry.file_name)) {
        outcome.problems.push_back("entry \"" + shown + "\" is damaged; skipped");
      } else {
        // A later entry of the same name replaced the earlier one's file, as in the engine.
        const UnzippedFile file{entry.file_name, entry.dos_date_time,
                                (entry.external_attributes & 0x01) != 0};
        const auto [at, fresh] = listed.emplace(entry.file_name, outcome.files.size());
        if (fresh) {
          outcome.files.push_back(file);
        } else {
          outcome.files[at->second] = file;
        }
      }
    });
  }
  return outcome;
}

OldSaver ReadOldSaver(const fs::path& path, const fs::path& scratch) {
  OldSaver saver;
  saver.path = path;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Refusal("cannot open " + path.string());
  in.seekg(0, std::ios::end);
  saver.size = static_cast<uint64_t>(in.tellg());
  const uint64_t window_size = std::min<uint64_t>(saver.size, flashsaver::kTailWindowSize);
  std::string window(static_cast<size_t>(window_size), '\0');
  in.seekg(static_cast<std::streamoff>(saver.size - window_size));
  in.read(window.data(), static_cast<std::streamsize>(window_size));
  if (static_cast<uint64_t>(in.gcount()) != window_size) {
    throw Refusal("cannot read " + path.string());
  }
  const size_t marker = window.find(flashsaver::PackageMarker());
  if (marker == std::string::npos) {
    throw Refusal(path.string() + " holds no package: no tail record in its last " +
                  std::to_string(window_size) + " bytes");
  }
  saver.tail_offset = saver.size - window_size + marker;
  const auto record =
      flashsaver::FindTailRecord(reinterpret_cast<const uint8_t*>(window.data()), window.size());
  if (!record || !flashsaver::UsableOutputName(record->settings_name)) {
    throw Refusal(
        "damaged tail record: no \"**\" behind the marker, or an unusable settings "
        "file name");
  }
  saver.settings_name = record->settings_name;

  const fs::path archive = scratch / "settings-archive~";
  {
    std::ofstream out(archive, std::ios::binary);
    out.write(window.data() + record->archive_offset,
              static_cast<std::streamsize>(window.size() - record->archive_offset));
    if (!out) throw Refusal("cannot write into " + scratch.string());
  }
  saver.unpacked = scratch / "settings";
  fs::create_directories(saver.unpacked);
  UnzipOutcome outcome = UnzipWithEngineRules(archive, saver.unpacked);
  if (!outcome.problems.empty()) {
    throw Refusal("damaged tail record: the settings archive: " + outcome.problems.front());
  }
  saver.archive = std::move(outcome.files);
  const auto settings = std::find_if(saver.archive.begin(), saver.archive.end(), [&](auto& f) {
    return Lower(f.name) == Lower(saver.settings_name);
  });
  if (settings == saver.archive.end()) {
    throw Refusal("damaged tail record: the settings archive does not hold " + saver.settings_name);
  }
  // The settings file leads, so that its name is claimed first.
  std::rotate(saver.archive.begin(), settings, settings + 1);
  saver.settings.Parse(ReadFileBytes(saver.unpacked / saver.archive.front().name));
  saver.ranges = ReadRanges(saver.settings, saver.tail_offset);
  return saver;
}

}  // namespace saverpack
