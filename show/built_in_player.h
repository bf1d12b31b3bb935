// The engine's own Flash player behind the control's properties and calls. It runs the movie's
// timeline at the movie's frame rate from the clock, looping at the end as Flash does by
// default, and draws the stage, placed by ScaleMode and AlignMode, into a picture of the
// window's size: vectors at the window's resolution, never a small picture stretched. The
// window around it (platform side) calls Tick on a timer and renders what TakeDirtyBox names.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "player/render/picture.h"
#include "player/swf/swf_movie.h"
#include "show/audio_output.h"
#include "show/flash_control.h"
#include "show/movie_source.h"
#include "show/quality_governor.h"
#include "show/stage_movie.h"
#include "show/stage_renderer.h"

namespace flashsaver {

// Everything one picture needs, taken from the player on its thread, so that the picture can
// be drawn on another while the player goes on answering the show. The movie must not run a
// frame until Draw has returned.
struct StageFrame {
  std::shared_ptr<const StageMovie> movie;  // null: backgrounds only
  std::vector<std::pair<PixelRect, Rgb>> fills;
  Matrix matrix;
  CanvasOptions options;
  // Draws into target, which holds the previous picture outside options.clip. Once cancel is
  // set, the remaining shapes and glyphs are skipped, so that a show that ends waits for no
  // costly picture.
  void Draw(Picture& target, const std::atomic<bool>* cancel = nullptr) const;
};

// Runs a job somewhere else (a thread of its own); empty: at once, on the caller's thread.
using BackgroundRunner = std::function<void(std::function<void()> job)>;

class BuiltInPlayer : public FlashControl {
 public:
  // clock gives milliseconds from any fixed start; repaint is asked for whenever the picture
  // changes.
  // open reads an arrived movie, through background when given: a big movie then never holds
  // up the caller, which keeps polling with Tick.
  BuiltInPlayer(MovieSource& source, std::function<int64_t()> clock, std::function<void()> repaint,
                StageMovieOpener open, BackgroundRunner background = {});

  std::string Movie() override { return movie_; }
  void SetMovie(const std::string& movie) override;
  int32_t FrameNum() override;
  int32_t TotalFrames() override;
  void Rewind() override;
  void Play() override;
  void SetBackgroundColor(int32_t rgb) override;
  void SetQuality(int32_t quality) override;
  void SetAlignMode(int32_t mode) override;
  void SetScaleMode(int32_t mode) override;
  // The movies' sound goes here from now on; without one they are silent.
  void SetAudioOutput(std::unique_ptr<AudioOutput> output);
  // input_waiting: true when user input waits in the window's queue. A script that has held
  // the window's thread for kScriptPatienceMs is stopped when input waits, so that the exit
  // conditions take effect while a movie loops without end.
  void SetInputWaiting(std::function<bool()> input_waiting);
  static constexpr int64_t kScriptPatienceMs = 100;

  // Takes in an arrived movie, applies Rewind and Play to it, and runs the timeline up to the
  // clock's time. Frames that a slow picture left behind are run up to kMaxCatchUpFrames at a time;
  // beyond that the timeline waits for the picture, as Flash's does.
  void Tick();
  static constexpr int kMaxCatchUpFrames = 4;
  // While the root plays a stream sound, its sound paces the timeline: frames run sooner when
  // the sound is ahead, and wait for it while it is behind by no more than this many (a sound
  // that stalls does not stop the movie).
  static constexpr int kMaxSoundWaitFrames = 3;

  // Input for the movie, in the pixels of a window of the given size. It reaches the movie
  // with the next Tick, never while a picture is drawn.
  struct Input {
    enum class Kind : uint8_t { kMove, kButtonDown, kButtonUp, kKeyDown, kKeyUp } kind;
    int32_t x = 0, y = 0;         // kMove
    int key_code = 0, ascii = 0;  // keys
  };
  void QueueInput(const Input& input, int32_t width, int32_t height);
  // The movie asked for the pointer to be hidden.
  bool cursor_hidden() const;
  // Milliseconds until Tick has something to do: the next frame, or the next look at a load.
  int32_t NextTickDelay() const;
  // The background colours alone, placed as the stage is.
  void Paint(StageRenderer& renderer, int32_t width, int32_t height) const;

  // The part of a window of this size whose picture changed since the last call: all of it
  // after a change of movie, size, colour, placement or quality.
  std::optional<PixelBox> TakeDirtyBox(int32_t width, int32_t height);
  // The picture of a window of this size inside clip (empty: all of it): backgrounds, then
  // the movie.
  StageFrame PrepareFrame(int32_t width, int32_t height, const PixelBox& clip) const;
  // The stage's twips to window pixels, for a window of this size.
  Matrix StageMatrix(int32_t width, int32_t height) const;
  // Feeds the auto quality modes; frame_period_ms() is the movie's.
  void FrameRendered(double render_ms);
  double frame_period_ms() const;

  int32_t quality() const { return quality_; }
  bool high_quality() const { return governor_.high(); }
  bool playing() const { return playing_; }

 private:
  int64_t FramesAt(int64_t now) const;
  int32_t FrameAt(int64_t now) const;
  StageLayout Layout(int32_t width, int32_t height) const;
  void Changed();
  void StartOpening(std::vector<uint8_t> bytes);

  MovieSource& source_;
  std::function<int64_t()> clock_;
  std::function<void()> repaint_;
  std::function<bool()> input_waiting_;
  int64_t tick_start_ = 0;  // when the running Tick began, for the scripts' patience

  std::string movie_;
  StageMovieOpener open_;
  std::unique_ptr<MovieLoad> load_;
  // A movie being opened; shared with the job, which may outlive the player or a change of
  // movie and then opens for nobody.
  struct Opening {
    std::mutex lock;
    bool done = false;
    std::unique_ptr<StageMovie> movie;  // null when done: unreadable
  };
  std::shared_ptr<Opening> opening_;
  BackgroundRunner background_runner_;
  std::shared_ptr<StageMovie> stage_;
  // The timeline: frame base_frame_ (counted from the first, not wrapped) was current at
  // base_time_; it runs from there while playing. shown_ frames have been run on the movie.
  int64_t base_frame_ = -1;
  int64_t base_time_ = 0;
  int64_t shown_ = 0;
  bool playing_ = false;
  bool all_dirty_ = true;
  // Rewind and Play reach the movie in Tick, so that they never run while a frame is drawn.
  bool rewind_pending_ = false;
  bool play_pending_ = false;
  int32_t dirty_width_ = 0, dirty_height_ = 0;
  std::vector<Input> inputs_;  // waiting for Tick
  int32_t input_width_ = 0, input_height_ = 0;
  // Bounded, so a flood of events while the movie is being opened costs nothing lasting.
  static constexpr size_t kMaxQueuedInputs = 256;
  void DeliverInputs();

  std::optional<Rgb> background_;  // the BackgroundColor property; nothing: the movie's own
  int32_t quality_ = 1;
  QualityGovernor governor_;
  int32_t align_mode_ = 0;
  int32_t scale_mode_ = kScaleShowAll;
  std::unique_ptr<AudioOutput> audio_;  // last: its thread stops before the rest goes
};

}  // namespace flashsaver
