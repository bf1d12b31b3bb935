// Arbitrary bytes as an SWF movie: the reader must answer or raise SwfError, never crash.
#include <cstddef>
#include <cstdint>
#include <span>

#include "show/stage_layout.h"
#include "player/swf/swf_movie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const flashsaver::SwfMovie movie =
        flashsaver::ReadSwfMovie(std::span<const uint8_t>(data, size));
    const flashsaver::SwfRect& stage = movie.header.stage;
    for (int32_t mode = 0; mode < 4; ++mode) {
      flashsaver::PlaceStage(stage.Width().ToPixels(), stage.Height().ToPixels(), 1920, 1080, mode,
                             mode * 5);
    }
  } catch (const flashsaver::SwfError&) {
  }
  return 0;
}
