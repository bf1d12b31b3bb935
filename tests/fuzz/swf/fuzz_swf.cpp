// Arbitrary bytes as an SWF movie: the reader must answer or raise SwfError, never crash; a
// movie that loads is played and drawn for a few frames at a small size, parser and renderer
// together.
#include <cstddef>
#include <cstdint>
#include <span>

#include "player/display/movie_player.h"
#include "player/render/agg_canvas.h"
#include "player/swf/swf_movie.h"
#include "show/stage_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace flashsaver;
  const std::span<const uint8_t> file(data, size);
  try {
    const SwfMovie movie = ReadSwfMovie(file);
    const SwfRect& stage = movie.header.stage;
    for (int32_t mode = 0; mode < 4; ++mode) {
      PlaceStage(stage.Width().ToPixels(), stage.Height().ToPixels(), 1920, 1080, mode, mode * 5);
    }
  } catch (const SwfError&) {
  }
  try {
    MoviePlayer player(file);
    Picture picture(64, 48);
    // The stage, whatever its size, squeezed into the small picture.
    const SwfRect& stage = player.header().stage;
    const double w = stage.Width().value > 0 ? stage.Width().value : 1;
    const double h = stage.Height().value > 0 ? stage.Height().value : 1;
    const Matrix to_picture =
        Matrix::Scale(64 / w, 48 / h) * Matrix::Translate(-stage.x_min.value, -stage.y_min.value);
    for (int frame = 0; frame < 4; ++frame) {
      player.AdvanceFrame();
      picture.Fill({0, 0, 64, 48}, player.background());
      AggCanvas canvas(picture, CanvasOptions{});
      player.Render(canvas, to_picture);
      player.TakeInvalidatedArea();
    }
    player.Rewind();
    player.AdvanceFrame();
  } catch (const SwfError&) {
  }
  return 0;
}
