#include "tools/saverpack/rebuild_commands.h"

#include <filesystem>
#include <iostream>

#include "tools/saverpack/old_saver.h"
#include "tools/saverpack/saver_rebuild.h"
#include "tools/saverpack/saver_unpack.h"

namespace saverpack {

const char kRebuildUsage[] =
    "       saverpack --rebuild OLD.scr -o NEW.scr [--engine ENGINE]\n"
    "       saverpack --unpack SAVER.scr -d DIR\n";

namespace {

namespace fs = std::filesystem;

// The engine that ships beside saverpack.
std::string DefaultEngine(const std::string& program) {
  const fs::path beside = fs::path(program).parent_path() / "FlashSaver.scr";
  std::error_code ignored;
  return fs::is_regular_file(beside, ignored) ? beside.string() : std::string();
}

int Usage(const std::string& problem) {
  std::cerr << "saverpack: " << problem << "\nusage:\n" << kRebuildUsage;
  return 2;
}

}  // namespace

int RunRebuild(const std::vector<std::string>& args, const std::string& program) {
  RebuildRequest request;
  if (args.size() < 2 || args[1].empty() || args[1][0] == '-') {
    return Usage("--rebuild needs OLD.scr first");
  }
  request.old_saver = args[1];
  for (size_t i = 2; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return Usage(args[i] + " needs a value");
    if (args[i] == "-o" || args[i] == "--output") {
      request.output = args[++i];
    } else if (args[i] == "--engine") {
      request.engine = args[++i];
    } else {
      return Usage("unknown option " + args[i]);
    }
  }
  if (request.output.empty()) return Usage("--rebuild needs -o NEW.scr");
  if (request.engine.empty()) request.engine = DefaultEngine(program);
  try {
    const RebuildResult result = RebuildSaver(request);
    for (const std::string& note : result.notes) std::cout << note << "\n";
    for (const std::string& p : result.problems) std::cerr << "saverpack: " << p << "\n";
    std::cout << result.output << ": rebuilt from " << request.old_saver << "\n";
    return result.problems.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "saverpack: " << e.what() << "\n";
    return 1;
  }
}

int RunUnpack(const std::vector<std::string>& args) {
  if (args.size() != 4 || args[2] != "-d") return Usage("--unpack needs SAVER.scr -d DIR");
  try {
    const UnpackResult result = UnpackSaver(args[1], args[3], std::cout);
    for (const std::string& p : result.problems) std::cerr << "saverpack: " << p << "\n";
    std::cout << result.written << " file(s) unpacked into " << args[3] << "\n";
    return result.problems.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "saverpack: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace saverpack
