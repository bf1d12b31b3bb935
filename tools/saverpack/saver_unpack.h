// saverpack --unpack: every file of a built screen saver into one folder, nothing outside it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace saverpack {

struct UnpackResult {
  int written = 0;
  // Damaged ranges, skipped entries and names; the rest was unpacked all the same.
  std::vector<std::string> problems;
};

// Writes the settings file (under the tail record's name), the other files of the settings
// archive and every packed file into folder, created when missing; existing files of those
// names are replaced. Names are taken as the engine takes them: flat, and unsafe ones (folders,
// "..", drive letters, colons, device names) are skipped. A name already written in this run is
// not written again. Lists each written file on log. Throws Refusal when the file holds no
// usable package.
UnpackResult UnpackSaver(const std::string& saver, const std::string& folder, std::ostream& log);

}  // namespace saverpack
