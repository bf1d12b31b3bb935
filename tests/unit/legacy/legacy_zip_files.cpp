#include "tests/unit/legacy/legacy_zip_files.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace flashsaver::legacy_test {

namespace stdfs = std::filesystem;

uint32_t Crc32(const Bytes& data) {
  uLong crc = crc32(0L, Z_NULL, 0);
  size_t pos = 0;
  while (pos < data.size()) {
    uInt n = static_cast<uInt>(std::min<size_t>(data.size() - pos, 1u << 30));
    crc = crc32(crc, data.data() + pos, n);
    pos += n;
  }
  return static_cast<uint32_t>(crc);
}

namespace {

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
unsigned Get16(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Get32(const Bytes& b, size_t at) {
  return Get16(b, at) | (static_cast<uint32_t>(Get16(b, at + 2)) << 16);
}

}  // namespace

Bytes MakeZip(const std::vector<ZipEntry>& entries) {
  Bytes zip;
  Bytes central;
  // 12:00, 1 June 1995
  const unsigned dos_time = 12 << 11;
  const unsigned dos_date = (15 << 9) | (6 << 5) | 1;
  for (const ZipEntry& e : entries) {
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    const unsigned version = 10;  // PKZIP 1.0 reads every method written here
    Put32(zip, 0x04034B50);
    Put16(zip, version);
    Put16(zip, e.flags);
    Put16(zip, e.method);
    Put16(zip, dos_time);
    Put16(zip, dos_date);
    Put32(zip, e.crc);
    Put32(zip, static_cast<uint32_t>(e.compressed.size()));
    Put32(zip, static_cast<uint32_t>(e.size));
    Put16(zip, static_cast<unsigned>(e.name.size()));
    Put16(zip, 0);
    zip.insert(zip.end(), e.name.begin(), e.name.end());
    zip.insert(zip.end(), e.compressed.begin(), e.compressed.end());

    Put32(central, 0x02014B50);
    Put16(central, version);  // made by MS-DOS
    Put16(central, version);
    Put16(central, e.flags);
    Put16(central, e.method);
    Put16(central, dos_time);
    Put16(central, dos_date);
    Put32(central, e.crc);
    Put32(central, static_cast<uint32_t>(e.compressed.size()));
    Put32(central, static_cast<uint32_t>(e.size));
    Put16(central, static_cast<unsigned>(e.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0x20);  // archive attribute
    Put32(central, offset);
    central.insert(central.end(), e.name.begin(), e.name.end());
  }
  const uint32_t central_offset = static_cast<uint32_t>(zip.size());
  zip.insert(zip.end(), central.begin(), central.end());
  Put32(zip, 0x06054B50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<unsigned>(entries.size()));
  Put16(zip, static_cast<unsigned>(entries.size()));
  Put32(zip, static_cast<uint32_t>(central.size()));
  Put32(zip, central_offset);
  Put16(zip, 0);
  return zip;
}

std::optional<std::vector<ZipEntry>> ReadZip(const Bytes& zip) {
  if (zip.size() < 22) return std::nullopt;
  size_t end = zip.size() - 22;
  while (Get32(zip, end) != 0x06054B50) {
    if (end == 0 || zip.size() - end > 65557) return std::nullopt;
    --end;
  }
  const unsigned count = Get16(zip, end + 10);
  size_t at = Get32(zip, end + 16);
  std::vector<ZipEntry> entries;
  for (unsigned i = 0; i < count; ++i) {
    if (at + 46 > zip.size() || Get32(zip, at) != 0x02014B50) return std::nullopt;
    ZipEntry e;
    e.flags = static_cast<uint16_t>(Get16(zip, at + 8));
    e.method = static_cast<uint16_t>(Get16(zip, at + 10));
    e.crc = Get32(zip, at + 16);
    const uint32_t compressed_size = Get32(zip, at + 20);
    e.size = Get32(zip, at + 24);
    const unsigned name_len = Get16(zip, at + 28);
    const unsigned extra_len = Get16(zip, at + 30);
    const unsigned comment_len = Get16(zip, at + 32);
    const size_t local = Get32(zip, at + 42);
    if (at + 46 + name_len > zip.size()) return std::nullopt;
    e.name.assign(zip.begin() + static_cast<std::ptrdiff_t>(at + 46),
                  zip.begin() + static_cast<std::ptrdiff_t>(at + 46 + name_len));
    if (local + 30 > zip.size()) return std::nullopt;
    const size_t data = local + 30 + Get16(zip, local + 26) + Get16(zip, local + 28);
    if (data + compressed_size > zip.size()) return std::nullopt;
    e.compressed.assign(zip.begin() + static_cast<std::ptrdiff_t>(data),
                        zip.begin() + static_cast<std::ptrdiff_t>(data + compressed_size));
    entries.push_back(std::move(e));
    at += 46 + name_len + extra_len + comment_len;
  }
  return entries;
}

Bytes ReadFile(const stdfs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteFile(const stdfs::path& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes TextSample(size_t size, uint32_t seed) {
  static const char* const kWords[] = {
      "the",  "screen", "saver", "movie",  "plays",   "full",  "while",  "mouse",   "moves",
      "key",  "and",    "of",    "to",     "frame",   "flash", "window", "timer",   "settings",
      "a",    "is",     "in",    "folder", "archive", "entry", "with",   "when",    "Preview",
      "Show", "on",     "for",   "every",  "monitor", "cover", "sound",  "quality", "scale"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size + 16);
  while (out.size() < size) {
    const char* w = kWords[rng() % std::size(kWords)];
    out.insert(out.end(), w, w + std::strlen(w));
    unsigned r = rng() % 16;
    out.push_back(r == 0 ? '\n' : r == 1 ? ',' : r == 2 ? '.' : ' ');
    if (rng() % 97 == 0) {
      // numbers and the escape byte of reducing, so the tests meet it in the data
      out.push_back(static_cast<uint8_t>(rng() % 10 + '0'));
      out.push_back(144);
    }
  }
  out.resize(size);
  return out;
}

Bytes RandomSample(size_t size, uint32_t seed, int alphabet) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng() % static_cast<unsigned>(alphabet));
  return out;
}

Bytes RunsSample(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    out.insert(out.end(), rng() % 700 + 1, static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng()));
  }
  out.resize(size);
  return out;
}

}  // namespace flashsaver::legacy_test
