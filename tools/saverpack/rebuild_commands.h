// The command lines of --rebuild and --unpack.
#pragma once

#include <string>
#include <vector>

namespace saverpack {

extern const char kRebuildUsage[];

// args start with "--rebuild" or "--unpack"; program is argv[0], whose folder holds the default
// engine. Return the exit code: 0 done, 1 refused or (unpack) something left out, 2 usage.
int RunRebuild(const std::vector<std::string>& args, const std::string& program);
int RunUnpack(const std::vector<std::string>& args);

}  // namespace saverpack
