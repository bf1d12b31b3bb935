// The bounds for the archive benchmark: decodes every entry of an archive in memory (zlib's raw
// inflate for method 8, nothing for stored) and runs the CRC-32 over the output, writing no
// file. No extractor can be faster than this on the same data.
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <vector>

#include "package/zip/zip_records.h"

namespace {

using flashsaver::FindEndSignature;
using flashsaver::ParseCentralEntry;
using flashsaver::ParseEndRecord;

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zip_limits ARCHIVE\n");
    return 2;
  }
  std::ifstream f(argv[1], std::ios::binary | std::ios::ate);
  std::vector<uint8_t> zip(static_cast<size_t>(f.tellg()));
  f.seekg(0);
  f.read(reinterpret_cast<char*>(zip.data()), static_cast<std::streamsize>(zip.size()));
  const auto at = FindEndSignature(zip.data(), zip.size());
  if (!at) return 1;
  const auto end = ParseEndRecord(zip.data() + *at, zip.size() - *at);
  if (!end) return 1;
  std::vector<uint8_t> out(32768);
  z_stream z{};
  inflateInit2(&z, -MAX_WBITS);
  size_t pos = end->directory_offset, bad = 0, total = 0;
  for (int i = 0; i < end->total_entries; ++i) {
    auto e = ParseCentralEntry(zip.data() + pos, zip.size() - pos);
    if (!e) return 1;
    pos += 46 + e->name_length + e->extra_length + e->comment_length;
    const size_t data =
        e->local_offset + 30 + Get16(zip, e->local_offset + 26) + Get16(zip, e->local_offset + 28);
    uLong crc = crc32(0, nullptr, 0);
    if (e->method == 0) {
      crc = crc32_z(crc, zip.data() + data, e->compressed_size);
      total += e->compressed_size;
    } else if (e->method == 8) {
      inflateReset(&z);
      z.next_in = const_cast<Bytef*>(zip.data() + data);
      z.avail_in = e->compressed_size;
      int status;
      do {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        status = inflate(&z, Z_NO_FLUSH);
        crc = crc32_z(crc, out.data(), out.size() - z.avail_out);
        total += out.size() - z.avail_out;
      } while (status == Z_OK);
    } else {
      continue;
    }
    if (crc != e->crc32) ++bad;
  }
  inflateEnd(&z);
  std::printf("%zu\n", total);
  return bad == 0 ? 0 : 1;
}
