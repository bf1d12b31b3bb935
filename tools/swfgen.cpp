// swfgen: writes SWF movies for the tests and the demo.
//   swfgen OUT.swf [--width PX] [--height PX] [--fps N[.F]] [--frames N] [--background RRGGBB|none]
//                  [--compressed] [--version N]     a movie of empty frames
//   swfgen --sample NAME OUT.swf                    one sample movie with real content
//   swfgen --samples DIR                            every sample movie, as DIR/NAME.swf
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/sample_movies.h"
#include "tools/swf_writer.h"

namespace {

int Usage() {
  std::string names;
  for (const std::string& name : flashsaver::SampleMovieNames()) names += " " + name;
  std::fprintf(stderr,
               "usage: swfgen OUT.swf [--width PX] [--height PX] [--fps N] [--frames N]\n"
               "              [--background RRGGBB|none] [--compressed] [--version N]\n"
               "       swfgen --sample NAME OUT.swf\n"
               "       swfgen --samples DIR\n"
               "samples:%s\n",
               names.c_str());
  return 2;
}

bool ParseLong(const char* text, long min, long max, long& value, int base = 10) {
  char* end = nullptr;
  value = std::strtol(text, &end, base);
  return end != text && *end == '\0' && value >= min && value <= max;
}

bool WriteSample(const std::string& name, const std::string& path) {
  if (flashsaver::WriteBytesToFile(flashsaver::SampleMovie(name), path)) return true;
  std::fprintf(stderr, "swfgen: cannot write %s\n", path.c_str());
  return false;
}

int Samples(int argc, char** argv) {
  const std::string mode = argv[1];
  try {
    if (mode == "--sample" && argc == 4) {
      bool known = false;
      for (const std::string& name : flashsaver::SampleMovieNames()) known |= name == argv[2];
      if (!known) return Usage();
      return WriteSample(argv[2], argv[3]) ? 0 : 1;
    }
    if (mode == "--samples" && argc == 3) {
      std::error_code ignored;
      std::filesystem::create_directories(argv[2], ignored);
      for (const std::string& name : flashsaver::SampleMovieNames()) {
        if (!WriteSample(name, (std::filesystem::path(argv[2]) / (name + ".swf")).string())) {
          return 1;
        }
      }
      return 0;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "swfgen: %s\n", e.what());
    return 1;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  if (std::string(argv[1]).starts_with("--sample")) return Samples(argc, argv);
  flashsaver::SwfMovieSpec spec;
  const std::string out = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--compressed") {
      spec.compressed = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    long n = 0;
    if (option == "--width" && ParseLong(value, 1, 100000, n)) {
      spec.width_px = static_cast<int32_t>(n);
    } else if (option == "--height" && ParseLong(value, 1, 100000, n)) {
      spec.height_px = static_cast<int32_t>(n);
    } else if (option == "--frames" && ParseLong(value, 0, 65535, n)) {
      spec.frame_count = static_cast<uint16_t>(n);
    } else if (option == "--version" && ParseLong(value, 1, 255, n)) {
      spec.version = static_cast<uint8_t>(n);
    } else if (option == "--fps") {
      char* end = nullptr;
      const double fps = std::strtod(value, &end);
      if (end == value || *end != '\0' || !(fps >= 0) || fps >= 256) return Usage();
      spec.frame_rate_8_8 = static_cast<uint16_t>(std::lround(fps * 256));
    } else if (option == "--background") {
      if (std::string(value) == "none") {
        spec.background_rgb.reset();
      } else if (ParseLong(value, 0, 0xFFFFFF, n, 16)) {
        spec.background_rgb = static_cast<uint32_t>(n);
      } else {
        return Usage();
      }
    } else {
      return Usage();
    }
  }
  if (!flashsaver::WriteSwfMovieFile(spec, out)) {
    std::fprintf(stderr, "swfgen: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
