// One movie as the player runs it: the character library, the root timeline with its sprites,
// and the display list that a Canvas draws. Frames advance only when asked, so the caller owns
// the clock (the show's timer, swfplay's frame count).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <optional>
#include <span>
#include <vector>

#include "player/render/canvas.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {

class DeviceFonts;
class SoundPlayer;

class MoviePlayer {
 public:
  // Reads the header and the tag list; throws SwfError when the header cannot be read. A damaged
  // tag list plays up to the damage.
  explicit MoviePlayer(std::span<const uint8_t> file, const DeviceFonts* device_fonts = nullptr);
  ~MoviePlayer();
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  const SwfHeader& header() const;
  // SetBackgroundColor's colour; white when the movie has none, as Flash shows it.
  Rgb background() const;

  // Runs one frame of the root timeline and of every sprite on the display list. The first call
  // shows frame 1. A stopped root stays on its frame; its sprites go on.
  void AdvanceFrame();
  // The root's current frame, 0-based; -1 before the first AdvanceFrame.
  int32_t current_frame() const;
  int32_t total_frames() const;
  bool playing() const;
  // Back to the first frame, stopped (the control's Rewind); Play resumes.
  void Rewind();
  void Play();
  void Stop();

  // Where trace() lines go; nowhere when unset.
  void SetTraceOutput(std::function<void(std::string_view)> output);
  // Polled while a script runs; when it answers true the script stops as a runaway one does.
  void SetScriptInterrupt(std::function<bool()> interrupt);
  // The movie's own address, as _url shows it.
  void SetUrl(std::string url);
  // Reads a file that the movie loads (loadMovie, MovieClipLoader) by its path relative to the
  // movie's folder; nothing when it cannot. Unset: such loads fail as a missing file does.
  using FileReader = std::function<std::optional<std::vector<uint8_t>>(const std::string& path)>;
  void SetFileReader(FileReader reader);
  // Where SharedObject keeps its data between runs (the user's folder); unset: nowhere.
  void SetSharedObjectFolder(std::string folder);
  // The movie asked to end (fscommand "quit").
  bool quit_requested() const;
  // The pointer in stage pixels, for _xmouse and _ymouse.
  void SetMousePosition(double x, double y);
  // Input that reaches the movie: the pointer moved (stage pixels), its button went down or
  // up, a key went down or up. Clip events and onMouse.../onKey... handlers run at once.
  void MouseMove(double x, double y);
  void MouseDown();
  void MouseUp();
  // key_code: Flash's key code (the Windows virtual-key code); ascii: the character, or 0.
  void KeyDown(int key_code, int ascii);
  void KeyUp(int key_code, int ascii);
  // The movie hid the pointer (Mouse.hide) and wants it hidden over the stage.
  bool cursor_hidden() const;
  // The size of the window showing the stage, in pixels: Stage.width and height of an unscaled
  // movie, and Stage's onResize when it changes.
  void SetViewSize(double width, double height);

  // Draws the display list (not the background) with stage twips mapped by stage_to_target.
  void Render(Canvas& canvas, const Matrix& stage_to_target) const;
  // The part of the stage (twips) whose picture may have changed since the last call: nothing
  // when no frame changed anything that is drawn.
  std::optional<SwfRect> TakeInvalidatedArea();

  // The movie's sounds; silent until enabled (sound().set_enabled(true)) and mixed by whoever
  // plays them out (sound().mixer().Mix).
  SoundPlayer& sound();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace flashsaver
