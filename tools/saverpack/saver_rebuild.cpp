#include "tools/saverpack/saver_rebuild.h"

#include <fstream>
#include <random>
#include <sstream>

#include "package/tail_record.h"
#include "tools/saverpack/old_saver.h"
#include "tools/saverpack/zip_check.h"
#include "tools/saverpack/zip_writer.h"

namespace saverpack {
namespace {

namespace fs = std::filesystem;

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string LastWindow(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Refusal("cannot open " + path.string());
  in.seekg(0, std::ios::end);
  const auto size = static_cast<uint64_t>(in.tellg());
  const uint64_t n = std::min<uint64_t>(size, flashsaver::kTailWindowSize);
  std::string window(static_cast<size_t>(n), '\0');
  in.seekg(static_cast<std::streamoff>(size - n));
  in.read(window.data(), static_cast<std::streamsize>(n));
  return window;
}

// A folder of the run's own in the system's temporary folder, removed at the end.
class WorkFolder {
 public:
  WorkFolder() {
    const fs::path base = fs::temp_directory_path();
    for (unsigned n = 0;; ++n) {
      path_ = base / ("saverpack-rebuild-" + std::to_string(std::random_device{}() % 100000) + "-" +
                      std::to_string(n));
      if (fs::create_directory(path_)) break;
    }
  }
  ~WorkFolder() {
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// A damaged archive is worth a warning; a method the checker does not decode is not damage.
std::string RangeDamage(std::istream& in, const OldRange& range) {
  if (range.raw) return {};
  const ZipCheck check = CheckZip(in, range.start, range.end);
  if (check.entries.empty())
    return check.problem.empty() ? "its archive holds no file" : check.problem;
  for (const ZipEntryCheck& e : check.entries) {
    if (!e.intact && e.problem.rfind("method ", 0) != 0) return e.name + ": " + e.problem;
  }
  return {};
}

}  // namespace

RebuildResult RebuildSaver(const RebuildRequest& request) {
  RebuildResult result;
  fs::path output(request.output);
  if (IsStandAloneName(request.old_saver) != IsStandAloneName(output)) {
    output.replace_extension(IsStandAloneName(request.old_saver) ? ".exe" : ".scr");
    result.notes.push_back(
        "written as " + output.string() + ": the old saver is a" +
        (IsStandAloneName(request.old_saver) ? " stand-alone .exe" : " .scr screen saver") +
        " and the new one keeps its kind");
  }
  std::error_code error;
  if (fs::equivalent(request.old_saver, output, error)) {
    throw Refusal("the new saver must not replace the old one while it is read");
  }
  if (request.engine.empty()) throw Refusal("no engine found: give --engine ENGINE");
  if (LastWindow(request.engine).find(flashsaver::PackageMarker()) != std::string::npos) {
    throw Refusal(request.engine + " is a built saver, not a bare engine");
  }
  WorkFolder work;
  OldSaver saver = ReadOldSaver(request.old_saver, work.Path());

  const fs::path partial = output.string() + ".partial~";
  struct RemoveOnFailure {
    fs::path path;
    bool keep = false;
    ~RemoveOnFailure() {
      std::error_code ignored;
      if (!keep) fs::remove(path, ignored);
    }
  } guard{partial};
  std::ofstream out(partial, std::ios::binary | std::ios::trunc);
  if (!out) throw Refusal("cannot create " + partial.string());
  {
    std::ifstream engine(request.engine, std::ios::binary);
    out << engine.rdbuf();
    if (!out) throw Refusal("cannot copy the engine " + request.engine);
  }
  std::ifstream in(saver.path, std::ios::binary);
  for (const OldRange& range : saver.ranges) {
    if (const std::string damage = RangeDamage(in, range); !damage.empty()) {
      result.problems.push_back("range \"" + range.key + "\" is damaged (" + damage +
                                "); copied as it was");
    }
    const auto start = static_cast<uint64_t>(out.tellp());
    CopyBytes(in, range.start, range.end, out);
    const auto end = static_cast<uint64_t>(out.tellp());
    saver.settings.WriteString("zippos", range.key + "_1", std::to_string(start));
    saver.settings.WriteString("zippos", range.key + "_2", std::to_string(end));
  }

  std::ostringstream archive;
  {
    ZipWriter zip(archive);
    bool first = true;
    for (const UnzippedFile& file : saver.archive) {
      ZipEntryOptions options;
      options.dos_time = file.dos_time;
      options.read_only = file.read_only;
      // The settings file keeps the tail record's spelling of its name.
      zip.AddBytes(first ? saver.settings_name : file.name,
                   first ? saver.settings.Text() : ReadFileBytes(saver.unpacked / file.name),
                   options);
      first = false;
    }
    zip.Finish();
  }
  const uint64_t tail_offset = static_cast<uint64_t>(out.tellp());
  const std::string tail = flashsaver::PackageMarker() + saver.settings_name + "**" + archive.str();
  if (tail.size() > flashsaver::kTailWindowSize) {
    throw Refusal("the settings archive does not fit into the engine's tail window");
  }
  out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
  out.close();
  if (!out) throw Refusal("cannot write " + partial.string());

  // The engine takes the first marker of the window; a packed file that carries those bytes
  // near the end would hide the tail record.
  const std::string window = LastWindow(partial);
  const uint64_t size = fs::file_size(partial);
  if (window.find(flashsaver::PackageMarker()) != window.size() - (size - tail_offset)) {
    throw Refusal(
        "a packed file near the end carries the package marker; the engine would not "
        "find the settings");
  }
  fs::rename(partial, output, error);
  if (error) throw Refusal("cannot write " + output.string() + ": " + error.message());
  guard.keep = true;
  result.output = output.string();
  return result;
}

}  // namespace saverpack
