// saverunzip ARCHIVE FOLDER: unpacks an archive the way the screen saver does (every entry,
// flat, replacing files) and prints how many entries were extracted. An archive error ends the
// run with its type and message and exit code 1.
#include <cstdio>
#include <exception>
#include <string>

#include "package/zip/archive_files.h"
#include "package/zip/unzip_host.h"
#include "package/zip/unzipper.h"
#include "package/zip/zip_errors.h"

namespace flashsaver {
namespace {

// A console tool has no message queue to serve; boxes become lines on stderr.
class ConsoleHost final : public UnzipHost {
 public:
  void BeginWait() override {}
  void EndWait() override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  std::string OemToAnsi(const std::string& name) override {
    return SystemUnzipHost().OemToAnsi(name);
  }
};

template <typename E>
bool Is(const std::exception& e) {
  return dynamic_cast<const E*>(&e) != nullptr;
}

const char* TypeName(const std::exception& e) {
  if (Is<EIncompleteZip>(e)) return "EIncompleteZip";
  if (Is<EBadZipFile>(e)) return "EBadZipFile";
  if (Is<EFatalUnzipError>(e)) return "EFatalUnzipError";
  if (Is<EBiggerThanUncompressed>(e)) return "EBiggerThanUncompressed";
  if (Is<ECantWriteUCF>(e)) return "ECantWriteUCF";
  if (Is<EFOpenError>(e)) return "EFOpenError";
  return "Exception";
}

int Run(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: saverunzip ARCHIVE FOLDER\n");
    return 2;
  }
  ConsoleHost host;
  TUnZipper unzipper(SystemArchiveFiles(), host);
  unzipper.SetZipName(argv[1]);
  unzipper.SetDestDir(argv[2]);
  unzipper.SetDoAll(true);
  unzipper.SetOverwriteMode(TOverwriteMode::Always);
  try {
    std::printf("%d\n", unzipper.UnZip());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", TypeName(e), e.what());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace flashsaver

int main(int argc, char** argv) { return flashsaver::Run(argc, argv); }
