// saverpack: makes a built screen saver from the engine, media and settings, or lists what one
// holds.
#include <filesystem>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/saverpack/movie_still.h"
#include "tools/saverpack/rebuild_commands.h"
#include "tools/saverpack/saver_builder.h"
#include "tools/saverpack/saver_listing.h"

namespace {

constexpr char kUsage[] =
    "usage: saverpack --engine ENGINE -o OUTPUT.scr|.exe [options]\n"
    "       saverpack --inspect FILE\n"
    "options, applied in order:\n"
    "  --settings FILE        start from this settings file (INI)\n"
    "  --settings-name NAME   name of the settings file in the tail record (settings.ini)\n"
    "  --set SECTION.KEY=VALUE  write one key of the settings file\n"
    "  --flash FILE           pack FILE and list it in section Flash\n"
    "  --resource FILE        pack FILE as a \"(Resource) \" side file of section Flash\n"
    "  --external FILE        pack FILE as an \"(External) \" side file of section Flash\n"
    "  --pack FILE            pack FILE without listing it (banner, preview image, ...)\n"
    "  --pack-as KEY FILE     pack FILE under KEY\n"
    "  --item SECTION=TEXT    list TEXT in SECTION without packing anything\n"
    "  --off SECTION=TEXT     list TEXT in SECTION as not in use (value 0)\n"
    "  --notzip | --zip       the files that follow are packed raw | as ZIP archives (default)\n"
    "  --stored               ZIP archives store instead of deflate\n"
    "  --readonly             ZIP entries that follow carry the read-only attribute\n"
    "  --archive-extra FILE   put FILE into the settings archive as well\n"
    "  --still MOVIE.swf[:FRAME]  pack the built-in player's picture of FRAME (default 1) as\n"
    "                         the preview still (a BMP) and name it in Set.Build_StaticImage\n";

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// A folder of this run's own for files made on the way (the still), removed at the end.
class WorkFolder {
 public:
  const std::filesystem::path& Path() {
    if (path_.empty()) {
      const auto base = std::filesystem::temp_directory_path();
      for (unsigned n = 0;; ++n) {
        path_ = base / ("saverpack-" + std::to_string(std::random_device{}()) + std::to_string(n));
        if (std::filesystem::create_directory(path_)) break;
      }
    }
    return path_;
  }
  ~WorkFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }

 private:
  std::filesystem::path path_;
};

int Build(const std::vector<std::string>& args) {
  saverpack::BuildRequest request;
  WorkFolder work;
  bool raw = false;
  bool read_only = false;
  auto next = [&](size_t& i) -> const std::string& {
    if (i + 1 >= args.size()) throw std::runtime_error(args[i] + " needs a value");
    return args[++i];
  };
  auto split = [](const std::string& text, char at, const std::string& option) {
    const size_t cut = text.find(at);
    if (cut == std::string::npos || cut == 0) {
      throw std::runtime_error(option + " expects " +
                               (at == '.' ? "SECTION.KEY=VALUE" : "SECTION=TEXT"));
    }
    return std::make_pair(text.substr(0, cut), text.substr(cut + 1));
  };
  auto pack = [&](const std::string& key, const std::string& path) {
    request.packed.push_back({key, path, raw, read_only});
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--engine") {
      request.engine = next(i);
    } else if (a == "-o" || a == "--output") {
      request.output = next(i);
    } else if (a == "--settings") {
      request.settings_base = next(i);
    } else if (a == "--settings-name") {
      request.settings_name = next(i);
    } else if (a == "--set") {
      const auto [section, rest] = split(next(i), '.', a);
      const auto [key, value] = split(rest, '=', a);
      request.settings.push_back({section, key, value});
    } else if (a == "--flash" || a == "--resource" || a == "--external") {
      const std::string& path = next(i);
      const std::string key = saverpack::KeyForName(FileName(path));
      pack(key, path);
      const std::string prefix =
          a == "--flash" ? "" : (a == "--resource" ? "(Resource) " : "(External) ");
      request.items.push_back({"Flash", prefix + key});
    } else if (a == "--pack") {
      const std::string& path = next(i);
      pack(saverpack::KeyForName(FileName(path)), path);
    } else if (a == "--pack-as") {
      const std::string key = next(i);
      pack(key, next(i));
    } else if (a == "--item" || a == "--off") {
      const auto [section, text] = split(next(i), '=', a);
      request.items.push_back({section, text, a == "--item" ? "1" : "0"});
    } else if (a == "--notzip") {
      raw = true;
    } else if (a == "--zip") {
      raw = false;
    } else if (a == "--stored") {
      request.deflate = false;
    } else if (a == "--readonly") {
      read_only = true;
    } else if (a == "--still") {
      const std::string& argument = next(i);
      saverpack::AddMovieStill(request, argument, raw, work.Path());
    } else if (a == "--archive-extra") {
      request.archive_extras.push_back(next(i));
    } else {
      throw std::runtime_error("unknown option " + a);
    }
  }
  if (request.engine.empty() || request.output.empty()) {
    throw std::runtime_error("--engine and -o are required");
  }
  const saverpack::BuildResult result = saverpack::BuildSaver(request);
  std::cout << request.output << ": " << result.size << " bytes, " << request.packed.size()
            << " packed file(s), tail record at " << result.tail_offset << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage << saverpack::kRebuildUsage;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--rebuild") return saverpack::RunRebuild(args, argv[0]);
  if (args[0] == "--unpack") return saverpack::RunUnpack(args);
  try {
    if (args[0] == "--inspect") {
      if (args.size() != 2) throw std::runtime_error("--inspect takes one file");
      return saverpack::InspectSaver(args[1], std::cout) ? 0 : 1;
    }
    return Build(args);
  } catch (const std::exception& e) {
    std::cerr << "saverpack: " << e.what() << "\n" << kUsage;
    return 2;
  }
}
