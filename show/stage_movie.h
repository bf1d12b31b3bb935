// What the show's player needs of a running movie: the player library's MoviePlayer behind a
// small interface, so that the adapter's timing and placement are tested with a movie that
// draws nothing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "player/render/canvas.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {

class StageMovie {
 public:
  virtual ~StageMovie() = default;
  virtual const SwfHeader& header() const = 0;
  // SetBackgroundColor's colour, or nothing when the movie has no such tag.
  virtual std::optional<Rgb> background() const = 0;
  // The first call shows frame 1.
  virtual void AdvanceFrame() = 0;
  virtual void Rewind() = 0;
  virtual void Play() = 0;
  virtual void Render(Canvas& canvas, const Matrix& stage_to_target) const = 0;
  // Stage twips whose picture may have changed since the last call.
  virtual std::optional<SwfRect> TakeInvalidatedArea() = 0;

  // Sound: nothing is started until enabled. Mix is called from the output's thread.
  virtual void EnableSound() {}
  virtual void MixSound(int16_t* out, size_t frames) { std::fill(out, out + 2 * frames, 0); }
  // How many frames the root's stream sound, as heard (queued frames not yet), is ahead of the
  // timeline (negative: behind); nothing while no stream plays.
  virtual std::optional<int32_t> SoundLead(uint32_t queued_frames) {
    (void)queued_frames;
    return std::nullopt;
  }

  // Polled while the movie's scripts run; true stops the running script.
  virtual void SetScriptInterrupt(std::function<bool()> interrupt) { (void)interrupt; }
  // Input that reaches the movie: the pointer in stage pixels, its button, keys (Flash key
  // code and character). A movie without scripts ignores them.
  virtual void PointerMoved(double x, double y) {
    (void)x;
    (void)y;
  }
  virtual void PointerButton(bool down) { (void)down; }
  virtual void Key(bool down, int key_code, int ascii) {
    (void)down;
    (void)key_code;
    (void)ascii;
  }
  // The movie hid the pointer (Mouse.hide).
  virtual bool cursor_hidden() const { return false; }
  // The movie's folder, from which the files it loads are read; empty: it has none.
  virtual void SetMovieFolder(const std::string& folder) { (void)folder; }
  // The window's size in pixels (Stage.width and height of an unscaled movie).
  virtual void SetViewSize(int32_t width, int32_t height) {
    (void)width;
    (void)height;
  }
};

// Reads a movie; throws SwfError when its header cannot be read.
using StageMovieOpener = std::function<std::unique_ptr<StageMovie>(std::vector<uint8_t> file)>;

// The player library's movie.
std::unique_ptr<StageMovie> OpenPlayerMovie(std::vector<uint8_t> file);

}  // namespace flashsaver
