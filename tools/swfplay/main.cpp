// swfplay: plays a movie for a number of frames and writes the stage picture, or times the
// rendering. The reference sets' checkers drive it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "player/display/folder_file_reader.h"
#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/render/layer_cache.h"
#include "player/sound/sound_player.h"
#include "player/text/device_fonts.h"
#include "show/stage_layout.h"
#include "tools/swfplay/png_file.h"
#include "tools/swfplay/wav_file.h"

namespace {

using namespace flashsaver;

constexpr char kUsage[] =
    "usage: swfplay MOVIE.swf [--frames N] [--png OUT.png] [--width W] [--height H]\n"
    "               [--scale showall|noborder|exactfit|noscale] [--align [L|R][T|B]]\n"
    "               [--quality low|medium|high|best] [--trace] [--bench] [--wav OUT.wav]\n"
    "               [--shared-objects DIR] [--no-layer-cache]\n";

// Pictures larger than this on either side are refused rather than allocated.
constexpr int32_t kMaxPictureSide = 16384;

struct Options {
  std::string movie;
  int32_t frames = 1;
  std::optional<std::string> png;
  std::optional<std::string> wav;
  std::string shared_objects;  // empty: SharedObject keeps nothing between runs
  std::optional<int32_t> width, height;
  int32_t scale = kScaleShowAll;
  int32_t align = 0;
  bool low_quality = false;
  bool trace = false;
  bool bench = false;
  bool layer_cache = true;  // off: every layer is drawn and filtered anew (for comparison)
};

int32_t Number(const std::string& option, const std::string& text, int32_t low, int32_t high) {
  size_t used = 0;
  long value = 0;
  try {
    value = std::stol(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < low || value > high) {
    throw std::invalid_argument(option + " expects a number from " + std::to_string(low) + " to " +
                                std::to_string(high));
  }
  return static_cast<int32_t>(value);
}

int32_t AlignBitsOf(const std::string& text) {
  int32_t bits = 0;
  for (char c : text) {
    switch (c) {
      case 'l':
      case 'L':
        bits |= kAlignLeft;
        break;
      case 'r':
      case 'R':
        bits |= kAlignRight;
        break;
      case 't':
      case 'T':
        bits |= kAlignTop;
        break;
      case 'b':
      case 'B':
        bits |= kAlignBottom;
        break;
      default:
        throw std::invalid_argument("--align expects letters of L, R, T, B");
    }
  }
  return bits;
}

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
      return argv[++i];
    };
    if (a == "--no-layer-cache") {
      options.layer_cache = false;
    } else if (a == "--frames") {
      options.frames = Number(a, value(), 1, 1000000);
    } else if (a == "--png") {
      options.png = value();
    } else if (a == "--wav") {
      options.wav = value();
    } else if (a == "--shared-objects") {
      options.shared_objects = value();
    } else if (a == "--width") {
      options.width = Number(a, value(), 1, kMaxPictureSide);
    } else if (a == "--height") {
      options.height = Number(a, value(), 1, kMaxPictureSide);
    } else if (a == "--scale") {
      const std::string mode = value();
      if (mode == "showall")
        options.scale = kScaleShowAll;
      else if (mode == "noborder")
        options.scale = kScaleNoBorder;
      else if (mode == "exactfit")
        options.scale = kScaleExactFit;
      else if (mode == "noscale")
        options.scale = kScaleNoScale;
      else
        throw std::invalid_argument("--scale expects showall, noborder, exactfit or noscale");
    } else if (a == "--align") {
      options.align = AlignBitsOf(value());
    } else if (a == "--quality") {
      const std::string q = value();
      if (q != "low" && q != "medium" && q != "high" && q != "best") {
        throw std::invalid_argument("--quality expects low, medium, high or best");
      }
      options.low_quality = q == "low";
    } else if (a == "--trace") {
      options.trace = true;
    } else if (a == "--bench") {
      options.bench = true;
    } else if (!a.empty() && a[0] == '-') {
      throw std::invalid_argument("unknown option " + a);
    } else if (options.movie.empty()) {
      options.movie = a;
    } else {
      throw std::invalid_argument("more than one movie given");
    }
  }
  if (options.movie.empty()) throw std::invalid_argument("no movie given");
  return options;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The picture and where the stage goes in it: the stage's own size, or a window placed by the
// scale and align modes.
struct Target {
  int32_t width = 0, height = 0;
  Matrix stage_to_pixels;
};

Target PlaceTarget(const Options& options, const SwfRect& stage) {
  const double stage_w = stage.Width().ToPixels();
  const double stage_h = stage.Height().ToPixels();
  auto side = [](double pixels) {
    return static_cast<int32_t>(std::lround(std::clamp(pixels, 1.0, kMaxPictureSide + 1.0)));
  };
  Target target;
  target.width = options.width.value_or(side(stage_w));
  target.height = options.height.value_or(side(stage_h));
  if (target.width > kMaxPictureSide || target.height > kMaxPictureSide) {
    throw std::runtime_error("stage of " + std::to_string(stage_w) + " x " +
                             std::to_string(stage_h) + " pixels is too large");
  }
  // A stage of fractional pixels fills its rounded picture exactly, as a player window of that
  // size shows it in exactFit. An empty stage is drawn unscaled.
  auto fit = [](int32_t side, double pixels) { return pixels >= 1 ? side / pixels : 1.0; };
  double sx = fit(target.width, stage_w), sy = fit(target.height, stage_h);
  double ox = 0, oy = 0;
  if (options.width || options.height) {
    sx = sy = 1;
    const StageLayout layout =
        PlaceStage(stage_w, stage_h, target.width, target.height, options.scale, options.align);
    if (!layout.stage.Empty()) {
      sx = layout.scale_x, sy = layout.scale_y, ox = layout.offset_x, oy = layout.offset_y;
    }
  }
  target.stage_to_pixels = Matrix::Translate(ox, oy) *
                           Matrix::Scale(sx / Twips::kPerPixel, sy / Twips::kPerPixel) *
                           Matrix::Translate(-stage.x_min.value, -stage.y_min.value);
  return target;
}

void Draw(const MoviePlayer& player, const Target& target, const CanvasOptions& canvas_options,
          Picture& picture) {
  picture.Fill({0, 0, picture.width, picture.height}, player.background());
  AggCanvas canvas(picture, canvas_options);
  player.Render(canvas, target.stage_to_pixels);
}

int Run(const Options& options) {
  const std::vector<uint8_t> file = ReadFile(options.movie);
  MoviePlayer player(file, SystemDeviceFonts());
  if (options.trace) {
    player.SetTraceOutput([](std::string_view line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
    });
  }
  player.SetUrl("file:///" + options.movie);
  // Movies that the movie loads come from its own folder; an oversized file fails the load.
  player.SetFileReader(FolderFileReader(
      MovieFolderOf(options.movie).empty() ? std::string(".") : MovieFolderOf(options.movie)));
  // Runs keep nothing between them unless asked, so that each starts as the first.
  if (!options.shared_objects.empty()) player.SetSharedObjectFolder(options.shared_objects);
  const Target target = PlaceTarget(options, player.header().stage);
  Picture picture(target.width, target.height);
  LayerCache layers;
  CanvasOptions canvas_options;
  if (options.layer_cache) canvas_options.layer_cache = &layers;
  canvas_options.anti_alias = !options.low_quality;
  canvas_options.smooth_bitmaps = !options.low_quality;

  // The sound of each frame is mixed right after it runs. A frame lasts 1 / rate seconds, or
  // as long as the root's stream block when it has one: the stream's clock paces the movie.
  std::optional<WavWriter> wav;
  if (options.wav) {
    wav.emplace(*options.wav);
    if (!wav->ok()) throw std::runtime_error("cannot write " + *options.wav);
    player.sound().set_enabled(true);
  }
  const double frame_rate =
      player.header().frame_rate.PerSecond() > 0 ? player.header().frame_rate.PerSecond() : 12.0;
  std::vector<int16_t> samples;
  uint64_t mixed = 0;
  double frame_end = 0;

  std::vector<double> times;
  double advance_ms = 0;  // scripts and timelines, all frames
  for (int32_t frame = 1; frame <= options.frames; ++frame) {
    const auto advance_start = std::chrono::steady_clock::now();
    player.AdvanceFrame();
    advance_ms +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - advance_start)
            .count();
    if (wav) {
      frame_end += player.sound().RootBlockLength().value_or(kMixRate / frame_rate);
      const auto until = static_cast<uint64_t>(std::llround(frame_end));
      samples.resize(2 * (until - mixed));
      player.sound().mixer().Mix(samples.data(), until - mixed);
      wav->Write(samples.data(), until - mixed);
      mixed = until;
    }
    // fscommand("quit") ends the run once its frame is done.
    if (player.quit_requested()) break;
    if (!options.bench) continue;
    const auto start = std::chrono::steady_clock::now();
    Draw(player, target, canvas_options, picture);
    layers.EndFrame(true);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  if (options.bench) {
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double draw_ms = 0;
    for (double t : times) draw_ms += t;
    // Drawing first (median and worst), then the mean time of a whole frame, running included.
    std::printf(
        "%s: %d frames at %d x %d, median %.2f ms, worst %.2f ms per frame; "
        "advance mean %.3f ms, frame mean %.3f ms\n",
        options.movie.c_str(), options.frames, target.width, target.height,
        sorted[sorted.size() / 2], sorted.back(), advance_ms / static_cast<double>(times.size()),
        (advance_ms + draw_ms) / static_cast<double>(times.size()));
  }
  if (options.png) {
    if (!options.bench) Draw(player, target, canvas_options, picture);
    if (!WritePngFile(picture, *options.png)) {
      throw std::runtime_error("cannot write " + *options.png);
    }
  }
  if (wav && !wav->Close()) throw std::runtime_error("cannot write " + *options.wav);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = Parse(argc, argv);
  } catch (const std::invalid_argument& e) {
    std::cerr << "swfplay: " << e.what() << "\n" << kUsage;
    return 2;
  }
  try {
    return Run(options);
  } catch (const std::exception& e) {
    std::cerr << "swfplay: " << options.movie << ": " << e.what() << "\n";
    return 1;
  }
}
