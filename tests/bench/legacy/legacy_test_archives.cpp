// Tests archives of the older ZIP methods the way `unzip -t` does: decodes every shrunk, reduced
// and imploded entry in memory and checks its CRC-32. scripts/bench-legacy times it against
// unzip. Usage: legacy_test_archives [-r ROUNDS] ARCHIVE...
// Prints the output MB/s per method over the rounds; exits 1 when an entry fails its CRC.
// legacy_test_archives --make DIR writes large shrunk, imploded and reduced archives there with
// the test encoders, so that the decoders and unzip can be compared on more than tiny files.
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "package/zip/legacy_methods.h"
#include "tests/unit/legacy/legacy_encoders.h"
#include "tests/unit/legacy/legacy_zip_files.h"

namespace {

using namespace flashsaver;
using Bytes = std::vector<uint8_t>;

class Input final : public CompressedInput {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t ReadChunk(uint8_t* buffer, size_t max) override {
    size_t n = size_ - pos_ < max ? size_ - pos_ : max;
    if (n > 0) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

class CrcOutput final : public DecodedOutput {
 public:
  void WriteBlock(const uint8_t* data, size_t size) override {
    crc = static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
    total += size;
  }
  uint32_t crc = 0;
  uint64_t total = 0;
};

struct Entry {
  unsigned method, flags;
  uint32_t crc;
  uint64_t size;
  const uint8_t* data;
  size_t compressed;
};

unsigned Get16(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Get32(const Bytes& b, size_t at) {
  return Get16(b, at) | (static_cast<uint32_t>(Get16(b, at + 2)) << 16);
}

bool ReadEntries(const Bytes& zip, std::vector<Entry>& entries) {
  if (zip.size() < 22) return false;
  size_t end = zip.size() - 22;
  while (Get32(zip, end) != 0x06054B50) {
    if (end == 0) return false;
    --end;
  }
  size_t at = Get32(zip, end + 16);
  for (unsigned i = 0, n = Get16(zip, end + 10); i < n; ++i) {
    if (at + 46 > zip.size() || Get32(zip, at) != 0x02014B50) return false;
    const size_t local = Get32(zip, at + 42);
    if (local + 30 > zip.size()) return false;
    const size_t start = local + 30 + Get16(zip, local + 26) + Get16(zip, local + 28);
    const size_t compressed = Get32(zip, at + 20);
    if (start + compressed > zip.size()) return false;
    entries.push_back({Get16(zip, at + 10), Get16(zip, at + 8), Get32(zip, at + 16),
                       Get32(zip, at + 24), zip.data() + start, compressed});
    at += 46 + Get16(zip, at + 28) + Get16(zip, at + 30) + Get16(zip, at + 32);
  }
  return true;
}

int MakeArchives(const std::string& dir) {
  using namespace flashsaver::legacy_test;
  const Bytes text = TextSample(6000000, 31);
  const Bytes binary = RandomSample(3000000, 32, 24);
  auto entry = [](const char* name, unsigned method, unsigned flags, const Bytes& data,
                  Bytes packed) {
    ZipEntry e;
    e.name = name;
    e.method = static_cast<uint16_t>(method);
    e.flags = static_cast<uint16_t>(flags);
    e.crc = Crc32(data);
    e.size = data.size();
    e.compressed = std::move(packed);
    return e;
  };
  WriteFile(dir + "/big-shrunk.zip", MakeZip({entry("text.txt", 1, 0, text, Shrink(text)),
                                              entry("binary.bin", 1, 0, binary, Shrink(binary))}));
  WriteFile(dir + "/big-imploded.zip",
            MakeZip({entry("text.txt", 6, 6, text, Implode(text, true, true)),
                     entry("binary.bin", 6, 0, binary, Implode(binary, false, false))}));
  WriteFile(dir + "/big-reduced.zip",
            MakeZip({entry("text.txt", 5, 0, text, Reduce(text, 4)),
                     entry("binary.bin", 3, 0, binary, Reduce(binary, 2))}));
  return 0;
}

const char* Family(unsigned method) {
  return method == 1 ? "shrunk" : method == 6 ? "imploded" : "reduced";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--make") == 0) return MakeArchives(argv[2]);
  int rounds = 1;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "-r") == 0) {
    rounds = std::atoi(argv[2]);
    first = 3;
  }
  std::vector<Bytes> archives;
  std::vector<Entry> entries;
  archives.reserve(static_cast<size_t>(argc));
  for (int i = first; i < argc; ++i) {
    std::ifstream f(argv[i], std::ios::binary);
    archives.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    if (!ReadEntries(archives.back(), entries)) {
      std::fprintf(stderr, "%s: no readable directory\n", argv[i]);
      return 2;
    }
  }
  std::map<std::string, std::pair<uint64_t, double>> totals;  // bytes, seconds
  int failed = 0;
  for (int round = 0; round < rounds; ++round) {
    for (const Entry& e : entries) {
      if (e.method < 1 || e.method > 6) continue;
      Input in(e.data, e.compressed);
      CrcOutput out;
      const auto start = std::chrono::steady_clock::now();
      if (e.method == 1) Unshrink(in, out, e.size);
      if (e.method >= 2 && e.method <= 5) Expand(in, out, static_cast<int>(e.method) - 1, e.size);
      if (e.method == 6) Explode(in, out, static_cast<uint16_t>(e.flags), e.size);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      auto& t = totals[Family(e.method)];
      t.first += out.total;
      t.second += took.count();
      if (round == 0 && (out.crc != e.crc || out.total != e.size)) ++failed;
    }
  }
  for (const auto& [family, t] : totals) {
    std::printf("%-9s %10.2f MB in %8.4f s  %8.1f MB/s\n", family.c_str(), t.first / 1e6, t.second,
                t.second > 0 ? t.first / 1e6 / t.second : 0.0);
  }
  if (failed > 0) std::fprintf(stderr, "%d entries failed their CRC\n", failed);
  return failed > 0 ? 1 : 0;
}
