#include "show/built_in_player.h"

#include <algorithm>
#include <cctype>

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
                             std::function<void()> repaint)
    : source_(source), clock_(std::move(clock)), repaint_(std::move(repaint)) {}

void BuiltInPlayer::SetMovie(const std::string& movie) {
  movie_ = movie;
  load_.reset();
  data_.reset();
  base_frame_ = -1;
  playing_ = false;
  if (!movie.empty()) load_ = source_.Load(movie);
  repaint_();
}

int32_t BuiltInPlayer::FrameAt(int64_t now) const {
  if (!data_ || base_frame_ < 0) return -1;
  const int32_t count = data_->header.frame_count;
  const uint32_t rate = data_->header.frame_rate.fixed_8_8;
  if (!playing_ || count <= 1 || rate == 0) return base_frame_;
  const int64_t elapsed = std::max<int64_t>(0, now - base_time_);
  // Frames passed: elapsed ms × (rate / 256) frames per 1000 ms.
  const int64_t passed = elapsed * rate / (1000 * 256);
  return static_cast<int32_t>((base_frame_ + passed) % count);
}

int32_t BuiltInPlayer::FrameNum() { return FrameAt(clock_()); }

int32_t BuiltInPlayer::TotalFrames() { return data_ ? data_->header.frame_count : 0; }

void BuiltInPlayer::Tick() {
  if (load_) {
    switch (load_->Poll()) {
      case MovieLoad::State::kWaiting:
        return;
      case MovieLoad::State::kFailed:
        load_.reset();
        return;
      case MovieLoad::State::kArrived: {
        const std::vector<uint8_t> bytes = load_->TakeBytes();
        load_.reset();
        try {
          data_ = ReadSwfMovie(bytes);
        } catch (const SwfError&) {
          // A movie that cannot be read never shows a frame; the show moves on by its limits.
          return;
        }
        base_frame_ = 0;
        base_time_ = clock_();
        playing_ = true;
        repaint_();
        return;
      }
    }
  }
  // Stage 1 draws the same picture on every frame, so frames pass without a repaint.
}

int32_t BuiltInPlayer::NextTickDelay() const {
  if (load_) return kLoadPollMs;
  return kIdleMs;
}

void BuiltInPlayer::Rewind() {
  if (!data_ || base_frame_ < 0) return;
  base_frame_ = 0;
  base_time_ = clock_();
  playing_ = false;
  repaint_();
}

void BuiltInPlayer::Play() {
  if (!data_ || base_frame_ < 0 || playing_) return;
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
  repaint_();
}

void BuiltInPlayer::SetAlignMode(int32_t mode) {
  align_mode_ = mode;
  repaint_();
}

void BuiltInPlayer::SetScaleMode(int32_t mode) {
  scale_mode_ = mode;
  repaint_();
}

void BuiltInPlayer::Paint(StageRenderer& renderer, int32_t width, int32_t height) const {
  const PixelRect window{0, 0, width, height};
  if (window.Empty()) return;
  if (!data_) {
    renderer.FillRect(window, background_.value_or(kEmpty));
    return;
  }
  const Rgb stage_colour = background_.value_or(data_->background.value_or(kDefaultStage));
  const Rgb outside = background_.value_or(stage_colour);
  const SwfRect& stage = data_->header.stage;
  const StageLayout layout = PlaceStage(stage.Width().ToPixels(), stage.Height().ToPixels(), width,
                                        height, scale_mode_, align_mode_);
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
