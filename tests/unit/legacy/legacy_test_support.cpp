#include "tests/unit/legacy/legacy_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

namespace flashsaver::legacy_test {

namespace stdfs = std::filesystem;

size_t MemoryInput::ReadChunk(uint8_t* buffer, size_t max) {
  EXPECT_LE(max, 32768u);
  size_t n = std::min({max, chunk_, data_.size() - pos_});
  if (n == 0) {
    ++calls_after_end;
    return 0;
  }
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

void MemoryOutput::WriteBlock(const uint8_t* data, size_t size) {
  bytes.insert(bytes.end(), data, data + size);
  ++blocks;
  largest_block = std::max(largest_block, size);
}

Bytes Decode(uint16_t method, uint16_t flags, const Bytes& compressed, uint64_t size,
             size_t chunk) {
  MemoryInput in(compressed, chunk);
  MemoryOutput out;
  if (method == 1) {
    Unshrink(in, out, size);
  } else if (method >= 2 && method <= 5) {
    Expand(in, out, method - 1, size);
  } else if (method == 6) {
    Explode(in, out, flags, size);
  } else {
    ADD_FAILURE() << "no legacy method " << method;
  }
  EXPECT_LE(out.bytes.size(), size);
  return out.bytes;
}

std::optional<stdfs::path> PublicArchiveFolder() {
  if (const char* env = std::getenv("FLASHSAVER_LEGACY_ZIP_DIR")) {
    if (stdfs::is_directory(env)) return stdfs::path(env);
  }
  // The folder lies next to the project: <project>/../shared/testdata/legacy-zip. A git worktree
  // sits one level deeper, so parents are tried too.
  stdfs::path dir = FLASHSAVER_SOURCE_DIR;
  for (int up = 0; up < 3 && !dir.empty(); ++up) {
    stdfs::path candidate = dir.parent_path() / "shared" / "testdata" / "legacy-zip";
    if (stdfs::is_directory(candidate)) return candidate;
    dir = dir.parent_path();
  }
  return std::nullopt;
}

stdfs::path ScratchFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  stdfs::path dir = stdfs::temp_directory_path() /
                    ("flashsaver-legacy-" + std::to_string(::getpid()) + "-" + name);
  stdfs::remove_all(dir);
  stdfs::create_directories(dir);
  return dir;
}

}  // namespace flashsaver::legacy_test
