// Runs an ActionScript 3 movie's scripts alongside the root timeline: each DoABC as its frame is
// first reached, the document class (SymbolClass 0) built on the first frame, frame scripts
// (addFrameScript) and enterFrame listeners.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string_view>

#include "player/avm2/display/display_host.h"
#include "player/avm2/vm.h"

namespace flashsaver {

struct MovieDefinition;
class DisplayList;

// True when the movie's scripts are ActionScript 3 (SWF 9+ with the AS3 FileAttributes flag).
bool IsAs3Movie(const MovieDefinition& movie);

class As3Host final : public avm2::DisplayHost {
 public:
  As3Host(const MovieDefinition& movie, DisplayList& list,
          const std::function<void(std::string_view)>& trace,
          const std::function<bool()>& interrupt);
  ~As3Host() override;

  // After the display list ran a frame.
  void RunFrame();
  // The time of the frame RunFrame runs, in ms since the movie started; after the frame, the
  // timers due before the next one fire.
  void set_clock(double ms) { clock_ms_ = ms; }

  int32_t CurrentFrame() override;
  int32_t TotalFrames() override;
  bool Playing() override;
  void SetPlaying(bool playing) override;
  void GotoFrame(int32_t frame) override;
  int32_t FrameOfLabel(const std::string& label) override;
  double StageWidth() override;
  double StageHeight() override;
  double FrameRate() override;
  bool SymbolBitmap(avm2::ClassObject* cls, Picture& out) override;

 private:
  void LoadFrameCode(int32_t frame);
  void ConstructRoot();
  void RunFrameScripts();

  const MovieDefinition& movie_;
  DisplayList& list_;
  std::unique_ptr<avm2::Vm> vm_;
  std::set<int32_t> loaded_frames_;
  bool started_ = false;
  int32_t scripted_frame_ = -1;
  double clock_ms_ = 0;
};

}  // namespace flashsaver
