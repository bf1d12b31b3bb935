// Runs an ActionScript 3 movie's scripts alongside the display list: each DoABC as its frame is
// first reached, a script object for every clip the timeline places (its linked class or
// MovieClip), the document class on the first frame, and each frame's phases as Flash Player
// runs them: enterFrame, construction of new objects, frameConstructed, frame scripts,
// exitFrame (and render after stage.invalidate()).
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "player/avm2/display/display_host.h"
#include "player/avm2/vm.h"
#include "player/display/display_list.h"

namespace flashsaver {

struct MovieDefinition;
class DisplayList;

// True when the movie's scripts are ActionScript 3 (SWF 9+ with the AS3 FileAttributes flag).
bool IsAs3Movie(const MovieDefinition& movie);

class As3Host final : public avm2::DisplayHost, public DisplayHooks {
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
  std::string SymbolClassOf(const Clip& placer, uint16_t character_id) override;
  void GotoClip(Clip& clip, int32_t frame) override;
  int32_t SymbolOfClass(const std::string& qualified) override;
  // Makes and constructs the script objects of the clips placed since the last call.
  void ConstructPlaced() override;

  void ClipPlaced(Clip&) override {}
  void ClipLoaded(Clip& clip) override;
  void ClipRemoved(Clip& clip) override;
  void ClipEnterFrame(Clip&) override {}
  void FrameRan(Clip& clip, int32_t frame) override;
  void TextRemoved(DisplayObject&) override {}
  void NodeGone(DisplayObject& node) override;

 private:
  void LoadFrameCode(int32_t frame);
  // The root's object is made before the first frame's objects, and constructed after them.
  void AllocateRoot();
  void ConstructRoot();
  // Sets the named timeline children of a clip into its object's properties.
  void SetNamedChildren(Clip& clip, avm2::Object* object);
  void SetNamed(avm2::Object* parent, const DisplayObject& child);
  void RunFrameScripts();
  void RunFrameScript(Clip& clip);
  void Broadcast(const char* type);

  bool closing_ = false;
  std::vector<Clip*> placed_;   // clips placed, children before parents, not yet constructed
  std::vector<Clip*> due_;      // clips whose frame changed: their frame scripts are due
  std::vector<Clip*> running_;  // the clips whose frame scripts this pass runs

  const MovieDefinition& movie_;
  DisplayList& list_;
  std::unique_ptr<avm2::Vm> vm_;
  bool started_ = false;
  double clock_ms_ = 0;
  int32_t loaded_up_to_ = -1;
};

}  // namespace flashsaver
