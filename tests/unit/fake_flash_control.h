// A player that answers the frame counter from a script and records every call, in one log
// that the tests may share with other fakes to check the order of events.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "show/flash_control.h"

namespace flashsaver::testing {

class FakeFlashControl : public FlashControl {
 public:
  explicit FakeFlashControl(std::vector<std::string>& log) : log_(log) {}

  // FrameNum answers these values in turn; the last one repeats. Empty: -1.
  void ScriptFrames(std::vector<int32_t> frames) {
    frames_ = std::move(frames);
    next_frame_ = 0;
  }
  int32_t total_frames = 0;
  bool fail_frame_reads = false;
  bool fail_total_reads = false;
  bool fail_movie_writes = false;

  std::string Movie() override { return movie_; }
  void SetMovie(const std::string& movie) override {
    log_.push_back("Movie=" + movie);
    if (fail_movie_writes) throw std::runtime_error("movie refused");
    movie_ = movie;
  }
  int32_t FrameNum() override {
    if (fail_frame_reads) throw std::runtime_error("FrameNum failed");
    if (frames_.empty()) return -1;
    const int32_t f = frames_[next_frame_];
    if (next_frame_ + 1 < frames_.size()) ++next_frame_;
    return f;
  }
  int32_t TotalFrames() override {
    if (fail_total_reads) throw std::runtime_error("TotalFrames failed");
    return total_frames;
  }
  void Rewind() override { log_.push_back("Rewind"); }
  void Play() override { log_.push_back("Play"); }
  void SetBackgroundColor(int32_t rgb) override {
    log_.push_back("BackgroundColor=" + std::to_string(rgb));
  }
  void SetQuality(int32_t q) override { log_.push_back("Quality=" + std::to_string(q)); }
  void SetAlignMode(int32_t m) override { log_.push_back("AlignMode=" + std::to_string(m)); }
  void SetScaleMode(int32_t m) override { log_.push_back("ScaleMode=" + std::to_string(m)); }

 private:
  std::vector<std::string>& log_;
  std::string movie_;
  std::vector<int32_t> frames_;
  size_t next_frame_ = 0;
};

}  // namespace flashsaver::testing
