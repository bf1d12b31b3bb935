#include "tools/saverpack/movie_still.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/swf/swf_error.h"

namespace saverpack {
namespace {

using flashsaver::Picture;

// Larger stages are drawn at this size on their longer side: a preview picture shows in a
// 152 x 112 box, and a stage of 8191 px a side would make a BMP of 200 MB.
constexpr double kMaxStillSide = 2048;

void PutLe(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

StillSource ParseStillArgument(const std::string& text) {
  StillSource source{text, 1};
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return source;
  const std::string digits = text.substr(colon + 1);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return source;
  }
  const long frame = digits.size() > 6 ? 1000000 : std::stol(digits);
  if (frame < 1 || frame > 65535) {
    throw std::runtime_error("--still: frame " + digits + " is not between 1 and 65535");
  }
  return {text.substr(0, colon), static_cast<int>(frame)};
}

Picture RenderMovieStill(std::span<const uint8_t> movie, int frame) {
  try {
    flashsaver::MoviePlayer player(movie);
    const flashsaver::SwfRect& stage = player.header().stage;
    const double width = stage.Width().ToPixels(), height = stage.Height().ToPixels();
    if (!(width >= 1 && height >= 1)) throw std::runtime_error("the movie's stage is empty");
    const int32_t frames = std::max<int32_t>(player.total_frames(), 1);
    if (frame > frames) {
      throw std::runtime_error("the movie has " + std::to_string(frames) + " frame(s), not " +
                               std::to_string(frame));
    }
    const double scale = std::min(1.0, kMaxStillSide / std::max(width, height));
    Picture picture(std::max<int32_t>(1, static_cast<int32_t>(std::lround(width * scale))),
                    std::max<int32_t>(1, static_cast<int32_t>(std::lround(height * scale))));
    for (int i = 0; i < frame; ++i) player.AdvanceFrame();
    picture.Fill({0, 0, picture.width, picture.height}, player.background());
    flashsaver::AggCanvas canvas(picture, flashsaver::CanvasOptions{});
    const double to_pixels = scale / flashsaver::Twips::kPerPixel;
    player.Render(canvas,
                  flashsaver::Matrix::Scale(to_pixels, to_pixels) *
                      flashsaver::Matrix::Translate(-stage.x_min.value, -stage.y_min.value));
    return picture;
  } catch (const flashsaver::SwfError& e) {
    throw std::runtime_error(std::string("the movie cannot be read: ") + e.what());
  }
}

std::string EncodeBmp24(const Picture& picture) {
  const uint32_t row_bytes = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
  const uint32_t data_size = row_bytes * static_cast<uint32_t>(picture.height);
  std::string out;
  out.reserve(54 + data_size);
  out += "BM";
  PutLe(out, 54 + data_size, 4);
  PutLe(out, 0, 4);
  PutLe(out, 54, 4);  // where the pixels start
  PutLe(out, 40, 4);  // BITMAPINFOHEADER
  PutLe(out, static_cast<uint32_t>(picture.width), 4);
  PutLe(out, static_cast<uint32_t>(picture.height), 4);  // positive: bottom row first
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  PutLe(out, 0, 4);  // BI_RGB
  PutLe(out, data_size, 4);
  PutLe(out, 2835, 4);  // 72 dpi
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  for (int32_t y = picture.height - 1; y >= 0; --y) {
    const uint32_t* row = picture.Row(y);
    for (int32_t x = 0; x < picture.width; ++x) PutLe(out, row[x] & 0xFFFFFFu, 3);  // B, G, R
    out.append(row_bytes - static_cast<uint32_t>(picture.width) * 3, '\0');
  }
  return out;
}

std::string AddMovieStill(BuildRequest& request, const std::string& argument, bool raw,
                          const std::filesystem::path& work_dir) {
  const StillSource source = ParseStillArgument(argument);
  const std::vector<uint8_t> movie = ReadFileBytes(source.movie);
  const Picture picture = RenderMovieStill(movie, source.frame);
  const std::string key =
      KeyForName(std::filesystem::path(source.movie).stem().string() + "_still.bmp");
  const std::filesystem::path bmp = work_dir / NameForKey(key);
  {
    std::ofstream out(bmp, std::ios::binary);
    const std::string bytes = EncodeBmp24(picture);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + bmp.string());
  }
  request.packed.push_back({key, bmp.string(), raw, false});
  request.settings.push_back({"Set", "Build_StaticImage", key});
  request.settings.push_back({"Set", "Build_UseStaticPreview", "1"});
  return key;
}

}  // namespace saverpack
