// saverpack --rebuild: an existing saver of the package format around this engine.
#pragma once

#include <string>
#include <vector>

namespace saverpack {

struct RebuildRequest {
  std::string old_saver;
  std::string output;
  std::string engine;  // a bare engine
};

struct RebuildResult {
  std::string output;              // the file written; its extension follows the old saver's kind
  std::vector<std::string> notes;  // what the user should know (an extension changed)
  std::vector<std::string> problems;  // damaged ranges, copied as they were
};

// Copies every packed range byte for byte (so each stays zipped or raw, with its entries'
// read-only marks) behind the new engine, points "zippos" at the new offsets and writes a new
// tail record with the settings archive's files. Throws Refusal without leaving an output.
RebuildResult RebuildSaver(const RebuildRequest& request);

}  // namespace saverpack
