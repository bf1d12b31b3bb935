// The engine's own Flash player behind the control's properties and calls. This stage reads the
// movie's header and background and plays its timeline at the movie's frame rate, looping at
// the end as Flash does by default; it paints the stage's background, placed by ScaleMode and
// AlignMode. The window around it (platform side) calls Tick on a timer and Paint on repaint.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "show/flash_control.h"
#include "show/movie_source.h"
#include "show/stage_renderer.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {

class BuiltInPlayer : public FlashControl {
 public:
  // clock gives milliseconds from any fixed start; repaint is asked for whenever the picture
  // changes.
  BuiltInPlayer(MovieSource& source, std::function<int64_t()> clock, std::function<void()> repaint);

  std::string Movie() override { return movie_; }
  void SetMovie(const std::string& movie) override;
  int32_t FrameNum() override;
  int32_t TotalFrames() override;
  void Rewind() override;
  void Play() override;
  void SetBackgroundColor(int32_t rgb) override;
  void SetQuality(int32_t quality) override { quality_ = quality; }
  void SetAlignMode(int32_t mode) override;
  void SetScaleMode(int32_t mode) override;

  // Takes in an arrived movie and moves the timeline to the clock's time.
  void Tick();
  // Milliseconds until Tick has something to do: the next frame, or the next look at a load.
  int32_t NextTickDelay() const;
  void Paint(StageRenderer& renderer, int32_t width, int32_t height) const;

  int32_t quality() const { return quality_; }
  bool playing() const { return playing_; }
  // The movie's own data once read; nothing while waiting or after a failed load.
  const std::optional<SwfMovie>& movie_data() const { return data_; }

 private:
  int32_t FrameAt(int64_t now) const;

  MovieSource& source_;
  std::function<int64_t()> clock_;
  std::function<void()> repaint_;

  std::string movie_;
  std::unique_ptr<MovieLoad> load_;
  std::optional<SwfMovie> data_;
  // The timeline: frame base_frame_ was current at base_time_; it runs from there while playing.
  int32_t base_frame_ = -1;
  int64_t base_time_ = 0;
  bool playing_ = false;

  std::optional<Rgb> background_;  // the BackgroundColor property; nothing: the movie's own
  int32_t quality_ = 1;
  int32_t align_mode_ = 0;
  int32_t scale_mode_ = kScaleShowAll;
};

}  // namespace flashsaver
