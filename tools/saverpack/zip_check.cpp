#include "tools/saverpack/zip_check.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

namespace saverpack {
namespace {

uint32_t Get16(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t Get32(const std::string& b, size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

// Reads exactly n bytes at offset (relative to the range) or nothing.
std::optional<std::string> ReadAt(std::istream& file, uint64_t start, uint64_t end, uint64_t offset,
                                  uint64_t n) {
  if (offset > end - start || n > end - start - offset) return std::nullopt;
  std::string bytes(static_cast<size_t>(n), '\0');
  file.clear();
  file.seekg(static_cast<std::streamoff>(start + offset));
  file.read(bytes.data(), static_cast<std::streamsize>(n));
  if (static_cast<uint64_t>(file.gcount()) != n) return std::nullopt;
  return bytes;
}

void CheckEntryData(std::istream& file, uint64_t start, uint64_t end, uint64_t data_offset,
                    ZipEntryCheck& entry, uint32_t expected_crc, std::string* keep) {
  if (data_offset > end - start || entry.compressed > end - start - data_offset) {
    entry.problem = "data beyond the range";
    return;
  }
  if (entry.method != 0 && entry.method != 8) {
    entry.problem = "method " + std::to_string(entry.method) + " not checked";
    return;
  }
  file.clear();
  file.seekg(static_cast<std::streamoff>(start + data_offset));
  z_stream z{};
  if (entry.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK) {
    entry.problem = "zlib cannot start";
    return;
  }
  std::string in(1 << 16, '\0');
  std::string out(1 << 16, '\0');
  uLong crc = crc32(0, nullptr, 0);
  uint64_t produced = 0;
  uint64_t left = entry.compressed;
  bool broken = false;
  int rc = Z_OK;
  while (left > 0 && !broken && rc != Z_STREAM_END) {
    const auto n = static_cast<size_t>(std::min<uint64_t>(in.size(), left));
    file.read(in.data(), static_cast<std::streamsize>(n));
    if (static_cast<size_t>(file.gcount()) != n) {
      broken = true;
      break;
    }
    left -= n;
    if (entry.method == 0) {
      crc = crc32(crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(n));
      if (keep) keep->append(in.data(), n);
      produced += n;
      continue;
    }
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        broken = true;
        break;
      }
      const size_t got = out.size() - z.avail_out;
      crc = crc32(crc, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(got));
      if (keep) keep->append(out.data(), got);
      produced += got;
    } while (z.avail_out == 0 && rc != Z_STREAM_END);
  }
  if (entry.method == 8) inflateEnd(&z);
  if (broken) {
    entry.problem = "data cannot be read or decoded";
  } else if (produced != entry.size) {
    entry.problem = "size differs";
  } else if (crc != expected_crc) {
    entry.problem = "CRC differs";
  } else {
    entry.intact = true;
  }
}

}  // namespace

ZipCheck CheckZip(std::istream& file, uint64_t start, uint64_t end, uint64_t keep_limit) {
  ZipCheck check;
  if (end <= start) {
    check.problem = "empty range";
    return check;
  }
  const uint64_t length = end - start;
  const uint64_t window = std::min<uint64_t>(length, 22 + 65535);
  const auto tail = ReadAt(file, start, end, length - window, window);
  if (!tail || tail->size() < 22) {
    check.problem = "no end record";
    return check;
  }
  size_t eocd = std::string::npos;
  for (size_t at = tail->size() - 22 + 1; at-- > 0;) {
    if (Get32(*tail, at) == 0x06054B50) {
      eocd = at;
      break;
    }
  }
  if (eocd == std::string::npos) {
    check.problem = "no end record";
    return check;
  }
  const uint32_t count = Get16(*tail, eocd + 10);
  uint64_t at = Get32(*tail, eocd + 16);
  for (uint32_t i = 0; i < count; ++i) {
    const auto record = ReadAt(file, start, end, at, 46);
    if (!record || Get32(*record, 0) != 0x02014B50) {
      check.problem = "central directory entry " + std::to_string(i) + " unreadable";
      return check;
    }
    const uint32_t name_length = Get16(*record, 28);
    const auto name = ReadAt(file, start, end, at + 46, name_length);
    if (!name) {
      check.problem = "central directory entry " + std::to_string(i) + " unreadable";
      return check;
    }
    ZipEntryCheck entry;
    entry.name = *name;
    entry.method = static_cast<uint16_t>(Get16(*record, 10));
    entry.compressed = Get32(*record, 20);
    entry.size = Get32(*record, 24);
    entry.attributes = Get32(*record, 38);
    const uint32_t crc = Get32(*record, 16);
    const uint64_t local = Get32(*record, 42);
    const auto header = ReadAt(file, start, end, local, 30);
    if (!header || Get32(*header, 0) != 0x04034B50) {
      entry.problem = "local header missing";
    } else {
      const uint64_t data = local + 30 + Get16(*header, 26) + Get16(*header, 28);
      std::string kept;
      const bool keep = entry.size <= keep_limit;
      CheckEntryData(file, start, end, data, entry, crc, keep ? &kept : nullptr);
      if (keep && entry.intact) check.kept[entry.name] = kept;
    }
    check.entries.push_back(entry);
    at += 46 + name_length + Get16(*record, 30) + Get16(*record, 32);
  }
  check.intact = std::all_of(check.entries.begin(), check.entries.end(),
                             [](const ZipEntryCheck& e) { return e.intact; });
  if (!check.intact) check.problem = "an entry is damaged";
  return check;
}

}  // namespace saverpack
