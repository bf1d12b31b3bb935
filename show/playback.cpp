#include "show/playback.h"

#include <exception>

namespace flashsaver {
namespace {

constexpr int64_t kTicksPerSecond = 10;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

int32_t IndexIgnoringCase(const std::vector<std::string>& list, const std::string& text) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (EqualIgnoringCase(list[i], text)) return static_cast<int32_t>(i);
  }
  return -1;
}

// A player that fails to answer is treated as one that shows no frame yet: the waiting limit
// then moves the show on instead of the failure ending it.
int32_t ReadFrameNum(FlashControl& control) {
  try {
    return control.FrameNum();
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace

std::string FileNamePart(const std::string& path) {
  const size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void Playback::Reset() {
  waiting_for_frames_ = false;
  current_movie_.clear();
}

void Playback::Begin(FlashControl& control) {
  current_movie_.clear();
  PlayNextMovie(control);
}

void Playback::Start(FlashControl& control, const std::function<void(FlashControl&)>& apply_look) {
  try {
    apply_look(control);
    Begin(control);
  } catch (const std::exception&) {
  }
}

void Playback::Tick(FlashControl& control) {
  const bool is_address = current_movie_.find("://") != std::string::npos;
  const int64_t limit = is_address ? settings_.flash_download_time : settings_.flash_stop_time;

  const int32_t frame = ReadFrameNum(control);
  if (frame < 0) {
    waiting_for_frames_ = true;
    ++stall_ticks_;
    if (stall_ticks_ > settings_.flash_download_time * kTicksPerSecond) PlayNextMovie(control);
    return;
  }
  if (waiting_for_frames_ || frame > highest_frame_) {
    stall_ticks_ = 0;
  } else {
    ++stall_ticks_;
  }
  waiting_for_frames_ = false;
  if (frame > highest_frame_) highest_frame_ = frame;

  if (stall_ticks_ > limit * kTicksPerSecond) {
    stall_ticks_ = 0;
    PlayNextMovie(control);
    return;
  }
  int64_t total = 0;
  try {
    total = control.TotalFrames();
  } catch (const std::exception&) {
    return;  // the no-progress limit still ends the movie
  }
  if (frame > total - 1) PlayNextMovie(control);
}

int32_t Playback::Draw(int32_t count) {
  const int32_t r = host_.RandomIndex(count) % count;
  return r < 0 ? r + count : r;
}

int32_t Playback::ChooseIndex() {
  const int32_t count = static_cast<int32_t>(list_.size());
  if (settings_.flash_sequence == 1) {
    if (count < 2) return Draw(count);
    // Drawing again until the name differs is the same as drawing among the items whose name
    // differs; when no item's name differs the draw could never be accepted, so any item goes.
    const std::string current_name = FileNamePart(current_movie_);
    std::vector<int32_t> acceptable;
    for (int32_t i = 0; i < count; ++i) {
      if (FileNamePart(list_[static_cast<size_t>(i)]) != current_name) acceptable.push_back(i);
    }
    if (acceptable.empty()) return Draw(count);
    return acceptable[static_cast<size_t>(Draw(static_cast<int32_t>(acceptable.size())))];
  }
  int32_t found = IndexIgnoringCase(list_, FileNamePart(current_movie_));
  if (found < 0) found = IndexIgnoringCase(list_, current_movie_);
  if (found < 0) return 0;
  return found + 1 >= count ? 0 : found + 1;
}

void Playback::PlayNextMovie(FlashControl& control) {
  if (list_.empty()) return;
  host_.StopTimer();
  stall_ticks_ = 0;
  highest_frame_ = 0;
  const int32_t count = static_cast<int32_t>(list_.size());
  int32_t attempts = 0;
  for (;;) {
    const int32_t n = ChooseIndex();
    ++attempts;
    current_movie_ = list_[static_cast<size_t>(n)];
    if (host_.ResolveItem(current_movie_) || attempts > count) break;
  }
  try {
    if (control.Movie() != current_movie_) {
      control.SetMovie(current_movie_);
    } else {
      control.Rewind();
      control.Play();
    }
  } catch (const std::exception&) {
    // The waiting limit moves the show on from a movie the player would not take.
  }
  host_.StartTimer();
}

}  // namespace flashsaver
