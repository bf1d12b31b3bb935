// Embedded video: the colour conversion, and streams whose frames cannot be decoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/swf/tag_codes.h"
#include "player/video/video_decoder.h"
#include "tools/swf_records.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

TEST(Video, StudioRangeYuvToPremultipliedPixels) {
  struct Case {
    int y, u, v, a;
    uint32_t want;
  } const cases[] = {
      {16, 128, 128, 255, 0xFF000000},  {235, 128, 128, 255, 0xFFFFFFFF},
      {0, 128, 128, 255, 0xFF000000},   {255, 128, 128, 255, 0xFFFFFFFF},  // clamped
      {81, 90, 240, 255, 0xFFFE0000},   {145, 54, 34, 255, 0xFF00FF01},
      {235, 128, 128, 128, 0x80808080}, {235, 128, 128, 0, 0x00000000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(YuvToPixel(c.y, c.u, c.v, c.a), c.want) << c.y << " " << c.u << " " << c.v;
  }
}

// A movie with one 32 x 24 stream of the codec, placed at ratio 0, whose frames hold bytes.
std::vector<uint8_t> VideoMovie(uint8_t codec, const std::vector<std::vector<uint8_t>>& frames) {
  SwfMovieSpec spec;
  spec.version = 8;
  spec.width_px = 32;
  spec.height_px = 24;
  spec.frame_count = static_cast<uint16_t>(frames.size());
  std::vector<uint8_t> timeline;
  PutTag(timeline, swf_tag::kDefineVideoStream,
         {1, 0, static_cast<uint8_t>(frames.size()), 0, 32, 0, 24, 0, 0, codec});
  for (size_t i = 0; i < frames.size(); ++i) {
    std::vector<uint8_t> body = {1, 0, static_cast<uint8_t>(i), 0};
    body.insert(body.end(), frames[i].begin(), frames[i].end());
    PutTag(timeline, swf_tag::kVideoFrame, body);
    swf_out::Placement p{1,
                         std::nullopt,
                         i > 0,
                         std::nullopt,
                         std::nullopt,
                         static_cast<uint16_t>(i),
                         std::nullopt,
                         std::nullopt};
    if (i == 0) p.character = 1;
    const swf_out::Bytes place = swf_out::PlaceObject2(p);
    timeline.insert(timeline.end(), place.begin(), place.end());
    PutTag(timeline, swf_tag::kShowFrame, {});
  }
  return WriteSwfMovie(spec, timeline);
}

TEST(Video, DamagedFramesDrawNothingAndNeverFail) {
  std::mt19937 random(7);
  for (uint8_t codec : {2, 3, 4, 5, 6, 9}) {
    std::vector<std::vector<uint8_t>> frames;
    for (size_t n : {0u, 1u, 3u, 40u, 700u}) {
      std::vector<uint8_t> junk(n);
      for (uint8_t& b : junk) b = static_cast<uint8_t>(random());
      frames.push_back(junk);
    }
    const std::vector<uint8_t> movie = VideoMovie(codec, frames);
    MoviePlayer player(movie);
    for (size_t f = 0; f < frames.size(); ++f) {
      player.AdvanceFrame();
      Picture picture(32, 24, 0xFF123456);
      AggCanvas canvas(picture, CanvasOptions{});
      player.Render(canvas, Matrix::Scale(0.05, 0.05));
      // Junk may decode to some picture; an empty frame, or a codec nobody knows, to nothing.
      if (f == 0 || codec == 9) {
        EXPECT_TRUE(std::all_of(picture.pixels.begin(), picture.pixels.end(),
                                [](uint32_t p) { return p == 0xFF123456; }))
            << "codec " << int(codec) << " frame " << f;
      }
    }
  }
}

}  // namespace
}  // namespace flashsaver
