// A scratch folder per test with an archive path and a destination inside it, and a host that
// records what the reader asked of the user interface.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "package/zip/archive_files.h"
#include "package/zip/unzip_host.h"
#include "package/zip/unzipper.h"
#include "tests/unit/zip/zip_builder.h"

namespace flashsaver::testing {

namespace stdfs = std::filesystem;

class RecordingHost final : public UnzipHost {
 public:
  void BeginWait() override { ++waits, ++depth; }
  void EndWait() override { --depth; }
  void ProcessMessages() override { ++message_rounds; }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    boxes.push_back(caption + "|" + text);
  }
  // Stands in for the code page conversion: marks the names it was given.
  std::string OemToAnsi(const std::string& name) override { return "oem-" + name; }

  int waits = 0, depth = 0, message_rounds = 0;
  std::vector<std::string> boxes;
};

class UnzipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) {
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    root_ = stdfs::temp_directory_path() / ("flashsaver-zip-" + name);
    Unprotect(root_);
    stdfs::remove_all(root_);
    stdfs::create_directories(root_);
    archive_ = (root_ / "test.zip").string();
    dest_ = root_ / "out";
    unzipper_.SetZipName(archive_);
    unzipper_.SetDestDir(dest_.string());
    unzipper_.SetDoAll(true);
    unzipper_.SetOverwriteMode(TOverwriteMode::Always);
  }
  void TearDown() override {
    Unprotect(root_);
    std::error_code ec;
    stdfs::remove_all(root_, ec);
  }
  static void Unprotect(const stdfs::path& p) {
    std::error_code ec;
    if (!stdfs::exists(p, ec)) return;
    for (auto it = stdfs::recursive_directory_iterator(p, ec); it != stdfs::end(it);
         it.increment(ec)) {
      stdfs::permissions(it->path(), stdfs::perms::owner_all, stdfs::perm_options::add, ec);
    }
  }

  void Write(const Bytes& bytes) { WriteFile(archive_, bytes); }
  void Write(const ZipBuilder& builder) { Write(builder.Build().bytes); }
  static void WriteFile(const stdfs::path& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  }
  static std::string Read(const stdfs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  // File name -> content of everything in the destination folder (sub-folders as "<dir>").
  std::map<std::string, std::string> Output() const {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& e : stdfs::directory_iterator(dest_, ec)) {
      files[e.path().filename().string()] = e.is_directory() ? "<dir>" : Read(e.path());
    }
    return files;
  }

  stdfs::path root_;
  std::string archive_;
  stdfs::path dest_;
  RecordingHost host_;
  TUnZipper unzipper_{SystemArchiveFiles(), host_};
};

}  // namespace flashsaver::testing
