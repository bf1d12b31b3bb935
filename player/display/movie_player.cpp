#include "player/display/movie_player.h"

#include <algorithm>

#include "player/display/display_list.h"
#include "player/display/movie_definition.h"

namespace flashsaver {

struct MoviePlayer::State {
  explicit State(std::unique_ptr<MovieDefinition> definition)
      : movie(std::move(definition)), list(*movie) {}

  std::unique_ptr<MovieDefinition> movie;
  DisplayList list;
  std::vector<DrawnLeaf> drawn;  // as of the last TakeInvalidatedArea, by serial
};

MoviePlayer::MoviePlayer(std::span<const uint8_t> file, const DeviceFonts* device_fonts)
    : state_(std::make_unique<State>(LoadMovie(file, device_fonts))) {}

MoviePlayer::~MoviePlayer() = default;

const SwfHeader& MoviePlayer::header() const { return state_->movie->header; }

Rgb MoviePlayer::background() const { return state_->movie->background.value_or(Rgb{0xFFFFFF}); }

void MoviePlayer::AdvanceFrame() { state_->list.AdvanceFrame(); }

int32_t MoviePlayer::current_frame() const { return state_->list.root().current_frame; }

int32_t MoviePlayer::total_frames() const { return state_->list.root_frames(); }

bool MoviePlayer::playing() const { return state_->list.root().playing; }

void MoviePlayer::Rewind() {
  state_->list.GotoFrame(0);
  state_->list.root().playing = false;
}

void MoviePlayer::Play() { state_->list.root().playing = true; }

void MoviePlayer::Stop() { state_->list.root().playing = false; }

void MoviePlayer::Render(Canvas& canvas, const Matrix& stage_to_target) const {
  state_->list.Render(canvas, stage_to_target);
}

namespace {

void Unite(std::optional<SwfRect>& area, const std::optional<SwfRect>& add) {
  if (!add) return;
  if (!area) {
    area = add;
    return;
  }
  area->x_min.value = std::min(area->x_min.value, add->x_min.value);
  area->y_min.value = std::min(area->y_min.value, add->y_min.value);
  area->x_max.value = std::max(area->x_max.value, add->x_max.value);
  area->y_max.value = std::max(area->y_max.value, add->y_max.value);
}

}  // namespace

std::optional<SwfRect> MoviePlayer::TakeInvalidatedArea() {
  std::vector<DrawnLeaf> now = state_->list.Leaves();
  const std::vector<DrawnLeaf>& before = state_->drawn;
  std::optional<SwfRect> area;
  // Both lists are sorted by serial: a merge finds the leaves that came, went or changed.
  size_t i = 0, j = 0;
  while (i < before.size() || j < now.size()) {
    if (j == now.size() || (i < before.size() && before[i].serial < now[j].serial)) {
      Unite(area, before[i++].bounds);
    } else if (i == before.size() || now[j].serial < before[i].serial) {
      Unite(area, now[j++].bounds);
    } else {
      if (!before[i].SameLook(now[j])) {
        Unite(area, before[i].bounds);
        Unite(area, now[j].bounds);
      }
      ++i, ++j;
    }
  }
  state_->drawn = std::move(now);
  return area;
}

}  // namespace flashsaver
