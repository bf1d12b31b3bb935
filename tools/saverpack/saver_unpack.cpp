#include "tools/saverpack/saver_unpack.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <random>
#include <set>

#include "package/zip/output_names.h"
#include "tools/saverpack/old_saver.h"
#include "tools/saverpack/saver_builder.h"

namespace saverpack {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Read-only files would stop remove_all on Windows.
void RemoveTree(const fs::path& path) {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(path, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path, ignored);
}

// The run's work folder lies inside the destination, so that nothing is written elsewhere and
// finished files only need a rename.
class Staging {
 public:
  explicit Staging(const fs::path& folder) {
    for (unsigned n = 0;; ++n) {
      path_ = folder / (".saverpack-unpack-" + std::to_string(std::random_device{}() % 100000) +
                        "-" + std::to_string(n));
      std::error_code error;
      if (fs::create_directory(path_, error)) break;
      if (error || n > 100) throw Refusal("cannot create a work folder in " + folder.string());
    }
  }
  ~Staging() { RemoveTree(path_); }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

class Placer {
 public:
  Placer(const fs::path& folder, std::ostream& log, UnpackResult& result)
      : folder_(folder), log_(log), result_(result) {}

  // Moves a finished file into the folder under name.
  void Place(const fs::path& from, const std::string& name, const std::string& origin) {
    if (!flashsaver::UsableOutputName(name)) {
      Problem(origin + ": unsafe name \"" + name + "\"; skipped");
      return;
    }
    if (!claimed_.insert(Lower(name)).second) {
      Problem(origin + ": \"" + name + "\" repeats a name already unpacked; skipped");
      return;
    }
    const fs::path target = folder_ / name;
    std::error_code error;
    // A link of that name is replaced by the rename itself, never followed.
    if (fs::is_directory(fs::symlink_status(target, error))) {
      Problem(origin + ": a folder named \"" + name + "\" is in the way; skipped");
      return;
    }
    if (fs::exists(fs::symlink_status(target, error)) && !fs::is_symlink(target, error)) {
      fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, error);
      fs::remove(target, error);
    }
    fs::rename(from, target, error);
    if (error) {
      Problem(origin + ": cannot write \"" + name + "\": " + error.message());
      return;
    }
    ++result_.written;
    log_ << name << "  " << fs::file_size(target, error) << " bytes\n";
  }

  void Problem(const std::string& text) { result_.problems.push_back(text); }

 private:
  fs::path folder_;
  std::ostream& log_;
  UnpackResult& result_;
  std::set<std::string> claimed_;
};

}  // namespace

UnpackResult UnpackSaver(const std::string& saver_path, const std::string& folder_name,
                         std::ostream& log) {
  const fs::path folder(folder_name);
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder)) throw Refusal("cannot create the folder " + folder_name);
  Staging staging(folder);
  fs::create_directory(staging.Path() / "s");
  const OldSaver saver = ReadOldSaver(saver_path, staging.Path() / "s");

  UnpackResult result;
  Placer placer(folder, log, result);
  bool first = true;
  for (const UnzippedFile& file : saver.archive) {
    // The settings file goes under the tail record's spelling of its name.
    placer.Place(saver.unpacked / file.name, first ? saver.settings_name : file.name,
                 "settings archive");
    first = false;
  }

  std::ifstream in(saver.path, std::ios::binary);
  unsigned n = 0;
  for (const OldRange& range : saver.ranges) {
    const std::string origin = "range \"" + range.key + "\"";
    const fs::path cut = staging.Path() / ("range" + std::to_string(++n) + "~");
    {
      std::ofstream out(cut, std::ios::binary);
      CopyBytes(in, range.start, range.end, out);
    }
    if (range.raw) {
      placer.Place(cut, NameForKey(range.key), origin);
      continue;
    }
    const fs::path into = staging.Path() / ("range" + std::to_string(n));
    const UnzipOutcome outcome = UnzipWithEngineRules(cut, into);
    for (const std::string& p : outcome.problems) placer.Problem(origin + " is damaged: " + p);
    if (outcome.files.empty() && outcome.problems.empty()) {
      placer.Problem(origin + " is damaged: its archive holds no file");
    }
    for (const UnzippedFile& file : outcome.files)
      placer.Place(into / file.name, file.name, origin);
  }
  return result;
}

}  // namespace saverpack
