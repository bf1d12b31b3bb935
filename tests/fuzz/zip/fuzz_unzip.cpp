// libFuzzer target: any bytes as an archive, extracted with the system's configuration into a
// scratch folder. Besides the sanitizers it checks that nothing lands outside that folder and
// that no sub-folder is made in it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "package/zip/archive_files.h"
#include "package/zip/unzip_host.h"
#include "package/zip/unzipper.h"
#include "package/zip/zip_errors.h"

namespace {

namespace stdfs = std::filesystem;
using namespace flashsaver;

class QuietHost final : public UnzipHost {
 public:
  void BeginWait() override {}
  void EndWait() override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string&, const std::string&) override {}
  std::string OemToAnsi(const std::string& name) override { return name; }
};

const stdfs::path& Scratch() {
  static const stdfs::path root = [] {
    const char* base = std::getenv("FUZZ_SCRATCH");
    stdfs::path p =
        stdfs::path(base ? base : "/tmp") / ("flashsaver-fuzz-" + std::to_string(::getpid()));
    stdfs::remove_all(p);
    stdfs::create_directories(p / "out");
    return p;
  }();
  return root;
}

void Fail(const char* what, const stdfs::path& p) {
  std::fprintf(stderr, "%s: %s\n", what, p.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const stdfs::path& root = Scratch();
  const stdfs::path archive = root / "archive.zip";
  const stdfs::path out = root / "out";
  {
    std::ofstream f(archive, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  QuietHost host;
  TUnZipper unzipper(SystemArchiveFiles(), host);
  unzipper.SetZipName(archive.string());
  unzipper.SetDestDir(out.string());
  unzipper.SetDoAll(true);
  unzipper.SetOverwriteMode(TOverwriteMode::Always);
  try {
    unzipper.UnZip();
  } catch (const EIncompleteZip&) {
  } catch (const EBadZipFile&) {
  } catch (const EFatalUnzipError&) {
  } catch (const ECantWriteUCF&) {
  }

  for (const auto& e : stdfs::directory_iterator(root)) {
    if (e.path() != archive && e.path() != out) Fail("written outside the folder", e.path());
  }
  for (const auto& e : stdfs::directory_iterator(out)) {
    if (!e.is_regular_file() || e.is_symlink()) Fail("not a plain file", e.path());
    stdfs::permissions(e.path(), stdfs::perms::owner_all, stdfs::perm_options::add);
    stdfs::remove(e.path());
  }
  return 0;
}
