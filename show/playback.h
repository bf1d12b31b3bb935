// Movie sequencing of the show: which item plays next and when a movie is over. Driven by the
// show window's 100 ms timer; portable, so that the rules run against a scripted player.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "show/flash_control.h"

namespace flashsaver {

struct PlaybackSettings {
  // 0 in order, 1 shuffle, 2 intelligent random (the list is shuffled once at start-up).
  int32_t flash_sequence = 0;
  // Seconds without a new highest frame after which a local movie is left.
  int32_t flash_stop_time = 10;
  // Seconds for the first frame of any movie, and the no-progress limit of an address.
  int32_t flash_download_time = 20;
};

// What playback needs from the window and the content package.
class PlaybackHost {
 public:
  virtual ~PlaybackHost() = default;
  virtual void StopTimer() = 0;
  virtual void StartTimer() = 0;
  // Rewrites the item into a full path or address; true when it can be played.
  virtual bool ResolveItem(std::string& item) = 0;
  // Uniform in [0, count).
  virtual int32_t RandomIndex(int32_t count) = 0;
};

// What follows the last backslash or colon.
std::string FileNamePart(const std::string& path);

class Playback {
 public:
  Playback(const std::vector<std::string>& list, PlaybackSettings settings, PlaybackHost& host)
      : list_(list), settings_(settings), host_(host) {}

  // The window is shown: nothing is waited for and no movie is current.
  void Reset();
  // The player has just been created: the first movie of the list's order.
  void Begin(FlashControl& control);
  // Begin after the player's look is applied, both under one guard, as the show's first tick
  // does: a player that refuses its look is handed no movie now; the waiting limit brings the
  // first one.
  void Start(FlashControl& control, const std::function<void(FlashControl&)>& apply_look);
  // One 100 ms tick while playing.
  void Tick(FlashControl& control);
  void PlayNextMovie(FlashControl& control);

  const std::string& current_movie() const { return current_movie_; }
  int32_t highest_frame() const { return highest_frame_; }
  int32_t stall_ticks() const { return stall_ticks_; }
  bool waiting_for_frames() const { return waiting_for_frames_; }

 private:
  int32_t ChooseIndex();
  int32_t Draw(int32_t count);

  const std::vector<std::string>& list_;
  PlaybackSettings settings_;
  PlaybackHost& host_;

  std::string current_movie_;
  int32_t highest_frame_ = 0;
  int32_t stall_ticks_ = 0;
  bool waiting_for_frames_ = false;
};

}  // namespace flashsaver
