// Lists what a built screen saver holds and whether each packed range is intact.
#pragma once

#include <ostream>
#include <string>

namespace saverpack {

// Writes the report to out; true when a tail record was found and every range is intact.
bool InspectSaver(const std::string& path, std::ostream& out);

}  // namespace saverpack
