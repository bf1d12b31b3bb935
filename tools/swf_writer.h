// Writes small SWF movies with a known stage, frame rate, frame count and background colour: a
// SetBackgroundColor tag, then one ShowFrame per frame and End. For tests and the demo.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flashsaver {

struct SwfMovieSpec {
  uint8_t version = 10;
  bool compressed = false;  // "CWS" (zlib after the first 8 bytes) instead of "FWS"
  int32_t width_px = 550;
  int32_t height_px = 400;
  // Frames per second as SWF stores it, 8.8 fixed point: 12 fps is 12 * 256.
  uint16_t frame_rate_8_8 = 12 * 256;
  uint16_t frame_count = 1;
  std::optional<uint32_t> background_rgb = 0xFFFFFF;  // 0xRRGGBB; nothing: no tag
};

std::vector<uint8_t> WriteSwfMovie(const SwfMovieSpec& spec);

// False when the file cannot be written.
bool WriteSwfMovieFile(const SwfMovieSpec& spec, const std::string& path);

}  // namespace flashsaver
