// Archives written by the test encoders must pass Info-ZIP's unzip and 7-Zip: that proves the
// test data honest before our own decoders are trusted with it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "tests/unit/legacy/legacy_encoders.h"
#include "tests/unit/legacy/legacy_test_support.h"

namespace flashsaver::legacy_test {
namespace {

namespace stdfs = std::filesystem;

bool HaveTool(const char* name) {
  std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Runs a command; returns its exit status and leaves its output in `output`.
int RunTool(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Variant {
  const char* name;
  uint16_t method;
  uint16_t flags;
  std::function<Bytes(const Bytes&)> encode;
};

std::vector<Variant> Variants() {
  return {
      {"shrink", 1, 0, [](const Bytes& d) { return Shrink(d); }},
      {"shrink-clears", 1, 0, [](const Bytes& d) { return Shrink(d, {300}); }},
      {"implode-4k-2trees", 6, ImplodeFlags(false, false),
       [](const Bytes& d) { return Implode(d, false, false); }},
      {"implode-4k-3trees", 6, ImplodeFlags(false, true),
       [](const Bytes& d) { return Implode(d, false, true); }},
      {"implode-8k-2trees", 6, ImplodeFlags(true, false),
       [](const Bytes& d) { return Implode(d, true, false); }},
      {"implode-8k-3trees", 6, ImplodeFlags(true, true),
       [](const Bytes& d) { return Implode(d, true, true); }},
  };
}

std::vector<std::pair<std::string, Bytes>> SampleFiles() {
  return {{"empty.bin", {}},
          {"one.bin", {144}},
          {"text.txt", TextSample(150000, 11)},
          {"alphabet.bin", RandomSample(120000, 12, 5)},
          {"random.bin", RandomSample(30000, 13)},
          {"runs.bin", RunsSample(90000, 14)}};
}

Bytes MakeArchive(const Variant& v, bool spoil_crc) {
  std::vector<ZipEntry> entries;
  for (auto& [name, data] : SampleFiles()) {
    ZipEntry e;
    e.name = name;
    e.method = v.method;
    e.flags = v.flags;
    e.crc = Crc32(data) ^ (spoil_crc ? 1u : 0u);
    e.size = data.size();
    e.compressed = v.encode(data);
    entries.push_back(std::move(e));
  }
  return MakeZip(entries);
}

class LegacyExternalTools : public ::testing::TestWithParam<const char*> {};

TEST_P(LegacyExternalTools, EncodedArchivesPass) {
  const std::string tool = GetParam();
  if (!HaveTool(tool.c_str())) GTEST_SKIP() << tool << " is not installed (scripts/setup)";
  const stdfs::path dir = ScratchFolder();
  for (const Variant& v : Variants()) {
    SCOPED_TRACE(v.name);
    const stdfs::path good = dir / (std::string(v.name) + ".zip");
    const stdfs::path bad = dir / (std::string(v.name) + "-badcrc.zip");
    WriteFile(good, MakeArchive(v, false));
    WriteFile(bad, MakeArchive(v, true));
    const std::string test = tool == "unzip" ? "unzip -t " : "7z t ";
    std::string output;
    EXPECT_EQ(RunTool(test + "'" + good.string() + "'", output), 0) << output;
    // The same archive with wrong CRCs must fail, or the tool proves nothing.
    EXPECT_NE(RunTool(test + "'" + bad.string() + "'", output), 0) << output;
  }
  stdfs::remove_all(dir);
}

TEST_P(LegacyExternalTools, HandMadeShrinkStreamsPass) {
  const std::string tool = GetParam();
  if (!HaveTool(tool.c_str())) GTEST_SKIP() << tool << " is not installed (scripts/setup)";
  const stdfs::path dir = ScratchFolder();
  std::vector<ZipEntry> entries;
  int n = 0;
  for (const HandMadeStream& h : HandMadeShrinkStreams()) {
    ZipEntry e;
    e.name = "case" + std::to_string(++n) + ".txt";
    e.method = 1;
    e.crc = Crc32(h.text);
    e.size = h.text.size();
    e.compressed = h.stream;
    entries.push_back(std::move(e));
  }
  const stdfs::path archive = dir / "hand-made.zip";
  WriteFile(archive, MakeZip(entries));
  std::string output;
  EXPECT_EQ(RunTool((tool == "unzip" ? "unzip -t '" : "7z t '") + archive.string() + "'", output),
            0)
      << output;
  stdfs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Tools, LegacyExternalTools, ::testing::Values("unzip", "7z"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace flashsaver::legacy_test
