// Measures the package's start-up and on-demand extraction in one process of the native build:
//   payload_probe startup SAVER TEMP
//       LocatePackage and LoadContent; prints the time since main and the peak memory.
//   payload_probe extract SAVER TEMP ITEM PLAIN ZIP
//       the first resolution of ITEM, beside a plain copy of PLAIN (the movie's bytes) and the
//       unpacking of ZIP (the same movie as a ZIP archive), all into TEMP.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "package/content.h"
#include "package/file_system.h"
#include "package/media_lists.h"
#include "package/package_state.h"
#include "package/payload.h"
#include "package/temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Win(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point start = Clock::now();
  if (argc < 4) {
    std::fprintf(stderr, "usage: payload_probe startup|extract SAVER TEMP [ITEM PLAIN ZIP]\n");
    return 2;
  }
  using namespace flashsaver;
  const std::string mode = argv[1];
  const std::string temp = Win(std::filesystem::absolute(argv[3]).string()) + "\\";
  TempFolderStartup(SystemFileSystem(), temp);
  ProgramFilePath = Win(std::filesystem::absolute(argv[2]).string());
  LocatePackage();
  LoadContent();
  const double startup_ms = MillisecondsSince(start);
  if (mode == "startup") {
    // From the caller's clock reading just before it started this process (CLOCK_MONOTONIC, as
    // steady_clock here), so that loading the program counts too.
    double spawned_ms = -1;
    if (const char* spawned = std::getenv("PAYLOAD_PROBE_SPAWNED_NS")) {
      const auto since = Clock::now().time_since_epoch() -
                         std::chrono::nanoseconds(std::strtoll(spawned, nullptr, 10));
      spawned_ms = std::chrono::duration<double, std::milli>(since).count();
    }
    std::printf("startup_ms=%.3f since_spawn_ms=%.3f peak_kb=%ld package=%d flash_items=%zu\n",
                startup_ms, spawned_ms, PeakKilobytes(), PackageFound ? 1 : 0, FlashList.size());
    return PackageFound ? 0 : 1;
  }
  if (mode != "extract" || argc != 7) return 2;
  FileSystem& fs = SystemFileSystem();
  std::string item = argv[4];
  Clock::time_point t = Clock::now();
  const bool available = ResolveMediaItem(item);
  const double resolve_ms = MillisecondsSince(t);

  t = Clock::now();
  const bool copied = fs.CopyReplacing(Win(std::filesystem::absolute(argv[5]).string()),
                                       TempFolder + "plain-copy.bin");
  const double copy_ms = MillisecondsSince(t);

  const std::string zip = TempFolder + "tmp\\peer.zip";
  fs.CopyReplacing(Win(std::filesystem::absolute(argv[6]).string()), zip);
  t = Clock::now();
  UnzipArchive(zip);
  const double unzip_ms = MillisecondsSince(t);

  std::printf("resolve_ms=%.1f copy_ms=%.1f unzip_ms=%.1f peak_kb=%ld available=%d copied=%d\n",
              resolve_ms, copy_ms, unzip_ms, PeakKilobytes(), available ? 1 : 0, copied ? 1 : 0);
  return available && copied ? 0 : 1;
}
