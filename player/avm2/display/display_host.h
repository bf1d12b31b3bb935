// What the AS3 display classes ask of the player that runs the movie: the root timeline's
// frame, play state and jumps. The player implements it; the Vm holds a pointer to it.
#pragma once

#include <cstdint>
#include <string>

#include "player/avm2/object.h"
#include "player/avm2/events/events.h"
#include "player/avm2/natives.h"

namespace flashsaver {
class Canvas;
struct ColorTransform;
struct Matrix;
struct Picture;
class DisplayList;
struct DisplayObject;
struct Clip;
}  // namespace flashsaver

namespace flashsaver::avm2 {

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  // The list the display classes bind to; null when no movie runs.
  DisplayList* list = nullptr;
  // Set while the player makes the script object of an object the timeline placed (or of the
  // root, which has a clip but no object): the new object binds to it instead of a new one.
  flashsaver::DisplayObject* binding = nullptr;
  Clip* binding_clip = nullptr;
  // stage.invalidate() asked for a render event before the next frame is drawn.
  bool render_requested = false;
  // The class the movie links to a library symbol (SymbolClass), empty when none.
  virtual std::string SymbolClassOf(const Clip& placer, uint16_t character_id) = 0;
  // The library symbol linked to a class ("pkg::Name"), or -1.
  virtual int32_t SymbolOfClass(const std::string& qualified) = 0;
  // Makes the objects of what the timeline placed (a symbol's first frame, made by `new`).
  virtual void ConstructPlaced() = 0;
  // Sends a clip (not only the root) to a frame (0-based, clamped).
  virtual void GotoClip(Clip& clip, int32_t frame) = 0;
  virtual int32_t CurrentFrame() = 0;  // 0-based
  virtual int32_t TotalFrames() = 0;
  virtual bool Playing() = 0;
  virtual void SetPlaying(bool playing) = 0;
  virtual void GotoFrame(int32_t frame) = 0;                   // 0-based, clamped by the player
  virtual int32_t FrameOfLabel(const std::string& label) = 0;  // -1 when unknown
  virtual double StageWidth() = 0;
  virtual double StageHeight() = 0;
  virtual double FrameRate() = 0;
  // BitmapData.draw of a display object: draws it onto the canvas through the matrix (the
  // object's pixels to the canvas's) and transform; false for objects it does not show.
  virtual bool RenderObject(Object*, Canvas&, const Matrix&, const ColorTransform&) {
    return false;
  }
  // The pixels of the library bitmap a BitmapData subclass is linked to; false when none is.
  virtual bool SymbolBitmap(ClassObject*, Picture&) { return false; }
};

void InstallDisplayFunctions(Vm& vm);

}  // namespace flashsaver::avm2
