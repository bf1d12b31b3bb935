#include "show/built_in_player.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "player/display/folder_file_reader.h"
#include "player/render/agg_canvas.h"

namespace flashsaver {
namespace {

// Flash shows a movie without a SetBackgroundColor tag on white.
constexpr Rgb kDefaultStage{0xFFFFFF};
// Nothing loaded and no BackgroundColor: the show's own black.
constexpr Rgb kEmpty{0x000000};
constexpr int32_t kLoadPollMs = 50;
constexpr int32_t kIdleMs = 1000;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i]; ++i) {
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) !=
                                static_cast<unsigned char>(prefix[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsWebAddress(const std::string& movie) {
  return StartsWithNoCase(movie, "http://") || StartsWithNoCase(movie, "https://");
}

BuiltInPlayer::BuiltInPlayer(MovieSource& source, std::function<int64_t()> clock,
                             std::function<void()> repaint, StageMovieOpener open,
                             BackgroundRunner background)
    : source_(source),
      clock_(std::move(clock)),
      repaint_(std::move(repaint)),
      open_(std::move(open)),
      background_runner_(std::move(background)) {}

void BuiltInPlayer::Changed() {
  all_dirty_ = true;
  repaint_();
}

void BuiltInPlayer::SetMovie(const std::string& movie) {
  movie_ = movie;
  load_.reset();
  opening_.reset();
  if (audio_) audio_->SetSource({});
  stage_.reset();
  base_frame_ = -1;
  playing_ = false;
  if (!movie.empty()) load_ = source_.Load(movie);
  Changed();
}

int64_t BuiltInPlayer::FramesAt(int64_t now) const {
  if (!stage_ || base_frame_ < 0) return -1;
  const int32_t count = stage_->header().frame_count;
  const uint32_t rate = stage_->header().frame_rate.fixed_8_8;
  if (!playing_ || count <= 1 || rate == 0) return base_frame_;
  const int64_t elapsed = std::max<int64_t>(0, now - base_time_);
  // Frames passed: elapsed ms × (rate / 256) frames per 1000 ms.
  return base_frame_ + elapsed * rate / (1000 * 256);
}

int32_t BuiltInPlayer::FrameAt(int64_t now) const {
  const int64_t frames = FramesAt(now);
  if (frames < 0) return -1;
  const int32_t count = std::max<int32_t>(1, stage_->header().frame_count);
  return static_cast<int32_t>(frames % count);
}

int32_t BuiltInPlayer::FrameNum() { return FrameAt(clock_()); }

int32_t BuiltInPlayer::TotalFrames() { return stage_ ? stage_->header().frame_count : 0; }

void BuiltInPlayer::StartOpening(std::vector<uint8_t> bytes) {
  auto opening = std::make_shared<Opening>();
  opening_ = opening;
  auto job = [opening, open = open_, bytes = std::move(bytes),
              folder = MovieFolderOf(movie_)]() mutable {
    std::unique_ptr<StageMovie> movie;
    try {
      movie = open(std::move(bytes));
      // What the movie loads comes from its own folder (loadMovie of local files).
      if (movie) movie->SetMovieFolder(folder);
    } catch (const std::exception&) {
      // A movie that cannot be read (or not held in memory) never shows a frame; the show
      // moves on by its limits.
    }
    const std::lock_guard<std::mutex> hold(opening->lock);
    opening->movie = std::move(movie);
    opening->done = true;
  };
  if (background_runner_) {
    background_runner_(std::move(job));
  } else {
    job();
  }
}

void BuiltInPlayer::SetInputWaiting(std::function<bool()> input_waiting) {
  input_waiting_ = std::move(input_waiting);
}

void BuiltInPlayer::Tick() {
  tick_start_ = clock_();
  if (load_) {
    switch (load_->Poll()) {
      case MovieLoad::State::kWaiting:
        return;
      case MovieLoad::State::kFailed:
        load_.reset();
        return;
      case MovieLoad::State::kArrived: {
        std::vector<uint8_t> bytes = load_->TakeBytes();
        load_.reset();
        StartOpening(std::move(bytes));
        break;
      }
    }
  }
  if (opening_) {
    std::unique_ptr<StageMovie> movie;
    {
      const std::lock_guard<std::mutex> hold(opening_->lock);
      if (!opening_->done) return;
      movie = std::move(opening_->movie);
    }
    opening_.reset();
    if (!movie) return;
    stage_ = std::move(movie);
    stage_->SetScriptInterrupt([this] {
      return input_waiting_ && clock_() - tick_start_ >= kScriptPatienceMs && input_waiting_();
    });
    rewind_pending_ = play_pending_ = false;
    if (audio_) {
      stage_->EnableSound();
      audio_->SetSource(
          [movie = stage_](int16_t* out, size_t frames) { movie->MixSound(out, frames); });
    }
    stage_->AdvanceFrame();
    base_frame_ = 0;
    shown_ = 0;
    base_time_ = clock_();
    playing_ = true;
    Changed();
    return;
  }
  if (!stage_ || base_frame_ < 0) return;
  DeliverInputs();
  if (rewind_pending_) {
    stage_->Rewind();
    stage_->AdvanceFrame();
    rewind_pending_ = false;
    all_dirty_ = true;
  }
  if (play_pending_) {
    stage_->Play();
    play_pending_ = false;
  }
  const int64_t now = clock_();
  int64_t due = FramesAt(now);
  if (const std::optional<int32_t> lead =
          playing_ && audio_ ? stage_->SoundLead(audio_->QueuedFrames()) : std::nullopt) {
    const int64_t by_sound = shown_ + *lead;
    if (by_sound > due) {
      // Ahead: the clock follows the sound, and the frames between are run but not drawn.
      due = by_sound;
      base_frame_ = by_sound;
      base_time_ = now;
    } else if (due - by_sound <= kMaxSoundWaitFrames) {
      due = by_sound;
    }
  }
  int steps = 0;
  for (; shown_ < due && steps < kMaxCatchUpFrames; ++steps, ++shown_) stage_->AdvanceFrame();
  if (shown_ < due) {
    // Too far behind: the clock starts again from the frame the movie shows.
    base_frame_ = shown_;
    base_time_ = now;
  }
  if (steps > 0) repaint_();
}

void BuiltInPlayer::SetAudioOutput(std::unique_ptr<AudioOutput> output) {
  if (audio_) audio_->SetSource({});
  audio_ = std::move(output);
  if (audio_ && stage_) {
    stage_->EnableSound();
    audio_->SetSource(
        [movie = stage_](int16_t* out, size_t frames) { movie->MixSound(out, frames); });
  }
}

int32_t BuiltInPlayer::NextTickDelay() const {
  if (load_ || opening_) return kLoadPollMs;
  if (!stage_ || !playing_ || stage_->header().frame_rate.fixed_8_8 == 0) return kIdleMs;
  const double period = frame_period_ms();
  const int64_t now = clock_();
  // Until the next frame is due by the clock, at least 1 ms.
  const int64_t next =
      base_time_ + static_cast<int64_t>(
                       std::ceil(static_cast<double>(FramesAt(now) + 1 - base_frame_) * period));
  return static_cast<int32_t>(std::clamp<int64_t>(next - now, 1, kIdleMs));
}

double BuiltInPlayer::frame_period_ms() const {
  if (!stage_ || stage_->header().frame_rate.fixed_8_8 == 0) return 0;
  return 256000.0 / stage_->header().frame_rate.fixed_8_8;
}

void BuiltInPlayer::Rewind() {
  if (!stage_ || base_frame_ < 0) return;
  rewind_pending_ = true;
  play_pending_ = false;
  base_frame_ = 0;
  shown_ = 0;
  base_time_ = clock_();
  playing_ = false;
  repaint_();
}

void BuiltInPlayer::Play() {
  if (!stage_ || base_frame_ < 0 || playing_) return;
  play_pending_ = true;
  base_frame_ = shown_;
  base_time_ = clock_();
  playing_ = true;
}

void BuiltInPlayer::SetBackgroundColor(int32_t rgb) {
  // -1, as Flash has it, gives the movie its own colour back.
  if (rgb < 0) {
    background_.reset();
  } else {
    background_ = Rgb{static_cast<uint32_t>(rgb) & 0xFFFFFFu};
  }
  Changed();
}

void BuiltInPlayer::SetQuality(int32_t quality) {
  quality_ = quality;
  governor_ = QualityGovernor(quality);
  Changed();
}

void BuiltInPlayer::SetAlignMode(int32_t mode) {
  align_mode_ = mode;
  Changed();
}

void BuiltInPlayer::SetScaleMode(int32_t mode) {
  scale_mode_ = mode;
  Changed();
}

void BuiltInPlayer::FrameRendered(double render_ms) {
  const bool before = governor_.high();
  governor_.FrameRendered(render_ms, frame_period_ms());
  if (governor_.high() != before) Changed();
}

StageLayout BuiltInPlayer::Layout(int32_t width, int32_t height) const {
  const SwfRect& stage = stage_->header().stage;
  return PlaceStage(stage.Width().ToPixels(), stage.Height().ToPixels(), width, height, scale_mode_,
                    align_mode_);
}

void BuiltInPlayer::QueueInput(const Input& input, int32_t width, int32_t height) {
  if (inputs_.size() >= kMaxQueuedInputs) {
    // Moves are dropped first: only the latest position matters.
    if (input.kind == Input::Kind::kMove) return;
    inputs_.erase(inputs_.begin());
  }
  inputs_.push_back(input);
  input_width_ = width;
  input_height_ = height;
}

bool BuiltInPlayer::cursor_hidden() const { return stage_ && stage_->cursor_hidden(); }

void BuiltInPlayer::DeliverInputs() {
  if (inputs_.empty()) return;
  std::vector<Input> inputs;
  inputs.swap(inputs_);
  stage_->SetViewSize(input_width_, input_height_);
  // Window pixels to stage pixels: the inverse of the stage's placement.
  const Matrix m = StageMatrix(input_width_, input_height_);
  const double det = m.a * m.d - m.b * m.c;
  for (const Input& in : inputs) {
    switch (in.kind) {
      case Input::Kind::kMove:
        if (det != 0) {
          const double x = in.x - m.tx, y = in.y - m.ty;
          stage_->PointerMoved((m.d * x - m.c * y) / det / Twips::kPerPixel,
                               (m.a * y - m.b * x) / det / Twips::kPerPixel);
        }
        break;
      case Input::Kind::kButtonDown:
      case Input::Kind::kButtonUp:
        stage_->PointerButton(in.kind == Input::Kind::kButtonDown);
        break;
      case Input::Kind::kKeyDown:
      case Input::Kind::kKeyUp:
        stage_->Key(in.kind == Input::Kind::kKeyDown, in.key_code, in.ascii);
        break;
    }
  }
}

Matrix BuiltInPlayer::StageMatrix(int32_t width, int32_t height) const {
  if (!stage_) return Matrix{};
  const StageLayout layout = Layout(width, height);
  const SwfRect& stage = stage_->header().stage;
  const double sx = layout.scale_x / Twips::kPerPixel;
  const double sy = layout.scale_y / Twips::kPerPixel;
  return Matrix{sx,
                0,
                0,
                sy,
                layout.offset_x - stage.x_min.value * sx,
                layout.offset_y - stage.y_min.value * sy};
}

std::optional<PixelBox> BuiltInPlayer::TakeDirtyBox(int32_t width, int32_t height) {
  const PixelBox window{0, 0, width, height};
  if (window.Empty()) return std::nullopt;
  const std::optional<SwfRect> area = stage_ ? stage_->TakeInvalidatedArea() : std::nullopt;
  if (all_dirty_ || width != dirty_width_ || height != dirty_height_) {
    all_dirty_ = false;
    dirty_width_ = width;
    dirty_height_ = height;
    return window;
  }
  if (!area) return std::nullopt;
  const Matrix m = StageMatrix(width, height);
  const Point a =
      m.Apply({static_cast<double>(area->x_min.value), static_cast<double>(area->y_min.value)});
  const Point b =
      m.Apply({static_cast<double>(area->x_max.value), static_cast<double>(area->y_max.value)});
  // One pixel more on each side for the anti-aliased edge; clamped before the conversion so
  // that huge coordinates stay defined.
  auto px = [](double v, int32_t limit) {
    return static_cast<int32_t>(std::clamp(v, 0.0, static_cast<double>(limit)));
  };
  const PixelBox box{
      px(std::floor(std::min(a.x, b.x)) - 1, width), px(std::floor(std::min(a.y, b.y)) - 1, height),
      px(std::ceil(std::max(a.x, b.x)) + 1, width), px(std::ceil(std::max(a.y, b.y)) + 1, height)};
  if (box.Empty()) return std::nullopt;
  return box;
}

namespace {

class RecordingFills final : public StageRenderer {
 public:
  explicit RecordingFills(std::vector<std::pair<PixelRect, Rgb>>& fills) : fills_(fills) {}
  void FillRect(const PixelRect& rect, Rgb colour) override { fills_.emplace_back(rect, colour); }

 private:
  std::vector<std::pair<PixelRect, Rgb>>& fills_;
};

}  // namespace

StageFrame BuiltInPlayer::PrepareFrame(int32_t width, int32_t height, const PixelBox& clip) const {
  StageFrame frame;
  RecordingFills fills(frame.fills);
  Paint(fills, width, height);
  frame.options.anti_alias = governor_.high();
  frame.options.smooth_bitmaps = governor_.high();
  frame.options.clip = clip.Empty() ? PixelBox{0, 0, width, height} : clip;
  if (stage_ && base_frame_ >= 0) {
    frame.movie = stage_;
    frame.matrix = StageMatrix(width, height);
  }
  return frame;
}

namespace {

// Passes draws on until the show asks the picture to stop; masks and layers always, so that
// they stay paired.
class CancellableCanvas final : public Canvas {
 public:
  CancellableCanvas(Canvas& inner, const std::atomic<bool>& cancel)
      : inner_(inner), cancel_(cancel) {}
  void DrawShape(const ShapeDrawing& shape, const RenderState& state,
                 const BitmapSource& bitmaps) override {
    if (!cancel_.load(std::memory_order_relaxed)) inner_.DrawShape(shape, state, bitmaps);
  }
  void FillPath(const Path& path, FillRule rule, Rgba colour, const RenderState& state) override {
    if (!cancel_.load(std::memory_order_relaxed)) inner_.FillPath(path, rule, colour, state);
  }
  void BeginMask() override { inner_.BeginMask(); }
  void EndMask() override { inner_.EndMask(); }
  void PopMask() override { inner_.PopMask(); }
  void BeginLayer(const LayerEffects& effects) override { inner_.BeginLayer(effects); }
  void EndLayer() override { inner_.EndLayer(); }
  // A picture kept while cancelled may lack parts: the caller drops what this frame kept.
  bool BeginCachedLayer(const LayerEffects& effects, const CachedLayer& layer) override {
    return inner_.BeginCachedLayer(effects, layer);
  }
  bool KeepsLayers() const override { return inner_.KeepsLayers(); }

 private:
  Canvas& inner_;
  const std::atomic<bool>& cancel_;
};

}  // namespace

void StageFrame::Draw(Picture& target, const std::atomic<bool>* cancel) const {
  const PixelBox& box = options.clip;
  for (const auto& [rect, colour] : fills) {
    target.Fill(PixelBox{std::max(rect.left, box.left), std::max(rect.top, box.top),
                         std::min(rect.right, box.right), std::min(rect.bottom, box.bottom)},
                colour);
  }
  if (!movie) return;
  AggCanvas canvas(target, options);
  if (!cancel) {
    movie->Render(canvas, matrix);
    return;
  }
  CancellableCanvas cancellable(canvas, *cancel);
  movie->Render(cancellable, matrix);
}

void BuiltInPlayer::Paint(StageRenderer& renderer, int32_t width, int32_t height) const {
  const PixelRect window{0, 0, width, height};
  if (window.Empty()) return;
  if (!stage_) {
    renderer.FillRect(window, background_.value_or(kEmpty));
    return;
  }
  const Rgb stage_colour = background_.value_or(stage_->background().value_or(kDefaultStage));
  const Rgb outside = background_.value_or(stage_colour);
  const StageLayout layout = Layout(width, height);
  const PixelRect s{
      std::clamp(layout.stage.left, 0, width), std::clamp(layout.stage.top, 0, height),
      std::clamp(layout.stage.right, 0, width), std::clamp(layout.stage.bottom, 0, height)};
  if (s.Empty()) {
    renderer.FillRect(window, outside);
    return;
  }
  // Bands around the stage, then the stage: no pixel is painted twice, so nothing flickers.
  if (s.top > 0) renderer.FillRect({0, 0, width, s.top}, outside);
  if (s.bottom < height) renderer.FillRect({0, s.bottom, width, height}, outside);
  if (s.left > 0) renderer.FillRect({0, s.top, s.left, s.bottom}, outside);
  if (s.right < width) renderer.FillRect({s.right, s.top, width, s.bottom}, outside);
  renderer.FillRect(s, stage_colour);
}

}  // namespace flashsaver
