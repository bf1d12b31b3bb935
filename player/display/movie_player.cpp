#include "player/display/movie_player.h"

#include "player/display/as3_host.h"
#include "player/display/display_list.h"
#include "player/display/movie_definition.h"
#include "player/avm1/display/script_host.h"
#include "player/sound/sound_player.h"

namespace flashsaver {

struct MoviePlayer::State {
  State(std::unique_ptr<MovieDefinition> definition, const DeviceFonts* fonts)
      : device_fonts(fonts),
        movie(std::move(definition)),
        list(*movie),
        sound(movie->sounds, movie->exports, movie->root, movie->header.frame_rate.PerSecond()),
        scripts(*movie, list) {
    scripts.sound = &sound;
    if (IsAs3Movie(*movie)) {
      as3 = std::make_unique<As3Host>(*movie, list, scripts.trace_output, scripts.interrupt);
      // The ActionScript 3 side hears the list instead of the AS1 host.
      list.set_indexed(true);
      list.set_hooks(as3.get());
    }
    list.on_frame = [this](const Clip& clip, int32_t frame) {
      // The sounds of loaded movies are not in this library.
      if (clip.movie.get() != movie.get()) return;
      sound.RunFrame(&clip, *clip.timeline, frame, &clip == &list.root());
    };
  }

  const DeviceFonts* device_fonts;
  std::unique_ptr<MovieDefinition> movie;
  DisplayList list;
  SoundPlayer sound;
  ScriptHost scripts;            // after the list: it detaches from it when it goes
  std::unique_ptr<As3Host> as3;  // ActionScript 3 movies only
  uint64_t frames_run = 0;
  std::vector<DrawnLeaf> drawn;  // as of the last TakeInvalidatedArea, by serial
};

MoviePlayer::MoviePlayer(std::span<const uint8_t> file, const DeviceFonts* device_fonts)
    : state_(std::make_unique<State>(LoadMovie(file, device_fonts), device_fonts)) {}

MoviePlayer::~MoviePlayer() = default;

const SwfHeader& MoviePlayer::header() const { return state_->movie->header; }

Rgb MoviePlayer::background() const { return state_->movie->background.value_or(Rgb{0xFFFFFF}); }

void MoviePlayer::AdvanceFrame() {
  // The script clock runs with the frames, so a run repeats whatever the machine's speed.
  state_->scripts.set_clock(static_cast<double>(state_->frames_run++) * state_->scripts.frame_ms());
  state_->scripts.Tick();
  if (state_->as3) {
    state_->as3->set_clock(state_->scripts.Milliseconds());
    state_->as3->RunFrame();
  }
  state_->sound.EndTick();
  DispatchSoundCompletions(state_->scripts);
}

SoundPlayer& MoviePlayer::sound() { return state_->sound; }

void MoviePlayer::SetTraceOutput(std::function<void(std::string_view)> output) {
  state_->scripts.trace_output = std::move(output);
}

void MoviePlayer::SetScriptInterrupt(std::function<bool()> interrupt) {
  state_->scripts.interrupt = std::move(interrupt);
}

void MoviePlayer::SetUrl(std::string url) { state_->scripts.url = std::move(url); }

void MoviePlayer::SetFileReader(FileReader reader) {
  State* state = state_.get();
  LibraryReader read = [state, reader = std::move(reader)](
                           std::string_view url) -> std::unique_ptr<MovieDefinition> {
    const std::optional<std::string> path = LocalPathOf(url);
    if (!path) return nullptr;
    std::optional<std::vector<uint8_t>> bytes = reader(*path);
    if (!bytes) return nullptr;
    try {
      return LoadMovie(*bytes, state->device_fonts);
    } catch (const SwfError&) {
      return nullptr;  // not a movie: the load fails as a missing file does
    }
  };
  state->scripts.load_movie =
      [read](std::string_view url) -> std::shared_ptr<const MovieDefinition> {
    std::unique_ptr<MovieDefinition> movie = read(url);
    if (movie) ResolveImports(*movie, read);
    return movie;
  };
  // The libraries arrive before the first frame runs: the frames holding imports wait for them.
  if (state->frames_run == 0) ResolveImports(*state->movie, read);
}

void MoviePlayer::SetSharedObjectFolder(std::string folder) {
  state_->scripts.shared_object_folder = std::move(folder);
}

bool MoviePlayer::quit_requested() const { return state_->scripts.quit_requested(); }

void MoviePlayer::SetMousePosition(double x, double y) {
  state_->scripts.mouse_x = x;
  state_->scripts.mouse_y = y;
}

void MoviePlayer::MouseMove(double x, double y) {
  SetMousePosition(x, y);
  state_->scripts.MouseEvent(clip_event::kMouseMove, "onMouseMove");
}

void MoviePlayer::MouseDown() { state_->scripts.MouseEvent(clip_event::kMouseDown, "onMouseDown"); }

void MoviePlayer::MouseUp() { state_->scripts.MouseEvent(clip_event::kMouseUp, "onMouseUp"); }

void MoviePlayer::KeyDown(int key_code, int ascii) {
  state_->scripts.KeyEvent(true, key_code, ascii);
}

void MoviePlayer::KeyUp(int key_code, int ascii) {
  state_->scripts.KeyEvent(false, key_code, ascii);
}

bool MoviePlayer::cursor_hidden() const { return state_->scripts.input.cursor_hidden; }

void MoviePlayer::SetViewSize(double width, double height) {
  ScriptInput& input = state_->scripts.input;
  if (input.view_width == width && input.view_height == height) return;
  const bool first = input.view_width == 0 && input.view_height == 0;
  input.view_width = width;
  input.view_height = height;
  // Only an unscaled stage changes size with the window.
  if (!first && input.scale_mode == "noScale") {
    state_->scripts.Notify("Stage", "onResize");
    state_->scripts.RunQueue();
  }
}

int32_t MoviePlayer::current_frame() const { return state_->list.root().current_frame; }

int32_t MoviePlayer::total_frames() const { return state_->list.root_frames(); }

bool MoviePlayer::playing() const { return state_->list.root().playing; }

void MoviePlayer::Rewind() {
  state_->list.GotoFrame(0);
  state_->list.root().playing = false;
  state_->scripts.RunQueue();
}

void MoviePlayer::Play() { state_->list.root().playing = true; }

void MoviePlayer::Stop() { state_->list.root().playing = false; }

void MoviePlayer::Render(Canvas& canvas, const Matrix& stage_to_target) const {
  state_->list.Render(canvas, stage_to_target);
}

std::optional<SwfRect> MoviePlayer::TakeInvalidatedArea() {
  std::vector<DrawnLeaf> now = state_->list.Leaves();
  std::optional<SwfRect> area = ChangedArea(state_->drawn, now);
  state_->drawn = std::move(now);
  return area;
}

}  // namespace flashsaver
