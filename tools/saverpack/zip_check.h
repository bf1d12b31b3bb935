// Reads a ZIP archive that lies in a byte range of a file and checks every entry's data against
// its CRC, streaming, so that ranges of any size can be checked.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace saverpack {

struct ZipEntryCheck {
  std::string name;
  uint16_t method = 0;
  uint64_t compressed = 0;
  uint64_t size = 0;
  uint32_t attributes = 0;
  bool intact = false;
  std::string problem;
};

struct ZipCheck {
  bool intact = false;
  std::string problem;
  std::vector<ZipEntryCheck> entries;
  // The data of the entries no larger than the keep limit, by name.
  std::map<std::string, std::string> kept;
};

ZipCheck CheckZip(std::istream& file, uint64_t start, uint64_t end, uint64_t keep_limit = 0);

}  // namespace saverpack
