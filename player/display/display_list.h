// The display list: what the root timeline and every sprite have placed, by depth, and how a
// frame advances them. Sprites and buttons are containers with children of their own; every
// other character is a leaf that draws itself.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "player/display/movie_definition.h"
#include "player/render/canvas.h"
#include "player/text/edit_text.h"

namespace flashsaver {
namespace avm1 {
class Object;
}
namespace avm2 {
class Object;
}

struct DisplayObject;
struct Clip;
class ClipDrawing;
class DisplayList;

// What the script side hears from the display list: clips that come and go and frames that
// ran. Scripts never run inside these calls; the listener queues them.
class DisplayHooks {
 public:
  virtual ~DisplayHooks() = default;
  // A clip placed on the list, after its fields and before its first frame.
  virtual void ClipPlaced(Clip& clip) = 0;
  // The clip's first frame has run (placements and queued scripts).
  virtual void ClipLoaded(Clip& clip) = 0;
  // A clip about to go (its children go after it).
  virtual void ClipRemoved(Clip& clip) = 0;
  // A clip already on the list is about to run its next frame.
  virtual void ClipEnterFrame(Clip& clip) = 0;
  // The placements of a frame ran; its scripts are due.
  virtual void FrameRan(Clip& clip, int32_t frame) = 0;
  // A text field with a script object is about to go.
  virtual void TextRemoved(DisplayObject& object) = 0;
  // An object with an ActionScript 3 object is about to go: the script object forgets it.
  virtual void NodeGone(DisplayObject&) {}
};

// The root, a sprite instance (with its timeline) or a button instance (without one).
struct Clip {
  ~Clip();
  // The movie whose characters and scripts this timeline uses; a loaded movie's clips keep it
  // alive. Declared before the children, so they go first.
  std::shared_ptr<const MovieDefinition> movie;
  const Timeline* timeline = nullptr;
  DisplayObject* owner = nullptr;  // null for the root
  avm1::Object* script = nullptr;  // the clip's script object, made when first needed
  DisplayHooks* hooks = nullptr;
  int32_t current_frame = -1;  // 0-based; -1 before the first frame ran
  bool playing = true;
  uint8_t button_state = 1;  // buttons: the state shown (button_state bits)
  // ActionScript 3 clips keep the children in an order of their own (the child index), which
  // scripts change; the timeline still addresses them by depth. Before `children`: the
  // children leave it as they go.
  bool indexed = false;
  std::vector<DisplayObject*> order;
  std::map<int32_t, std::unique_ptr<DisplayObject>> children;  // by depth, drawn bottom first
  std::unique_ptr<ClipDrawing> drawing;  // the drawing API's shape, under the children
  // duplicateMovieClip hands the clip's text snapshot on to the copy: a TextSnapshot made of
  // the source afterwards has no text (textsnapshot_available_text).
  bool snapshot_moved = false;
  std::optional<int32_t> tab_index;  // set by script, undefined until then
};

struct DisplayObject {
  ~DisplayObject();

  Clip* parent = nullptr;
  int32_t depth = 0;      // the key in the parent's children
  bool scripted = false;  // made by a script: the timeline's gotos leave it alone
  bool visible = true;
  // _xscale, _yscale and _rotation as last set by script, kept because the matrix loses signs
  // and rounding; cleared when the timeline moves the object.
  bool has_script_transform = false;
  double script_xscale = 100, script_yscale = 100, script_rotation = 0;
  uint64_t serial = 0;  // unique for the movie's lifetime: tells a new object from a kept one
  uint16_t character_id = 0;
  const Character* character = nullptr;
  Matrix matrix;
  ColorTransform color;
  uint16_t ratio = 0;
  std::string name;
  uint16_t clip_depth = 0;   // nonzero: a mask over the depths above it up to this one
  int32_t placed_frame = 0;  // the parent's frame that created it, for going back in time
  uint64_t created_tick = 0;
  // From PlaceObject3 or scripts: drawn through a layer of their own.
  std::optional<uint8_t> blend_mode;
  bool cache_as_bitmap = false;
  std::vector<Filter> filters;
  std::span<const uint8_t> clip_actions;
  std::string drop_target;  // where a drag of it last ended, as a slash path
  // setMask: set when the list holds a script mask for or by this object.
  DisplayList* masks_in = nullptr;

  std::unique_ptr<Clip> clip;  // sprites and buttons
  // Edit text: the field's own text, which scripts change; its script object when made.
  std::unique_ptr<TextField> text;
  std::shared_ptr<const Character> own_character;  // made by a script (createTextField)
  avm1::Object* text_script = nullptr;
  avm2::Object* script3 = nullptr;  // the ActionScript 3 object, in ActionScript 3 movies
  std::optional<bool> focus_rect;   // SWF 6 and later: set by script, null until then
  uint16_t text_revision = 0;       // counts changes, so a changed text redraws
  size_t* live_count = nullptr;
};

// One leaf as last drawn, in stage twips: what TakeInvalidatedArea compares between frames.
struct DrawnLeaf {
  uint64_t serial = 0;
  const Character* character = nullptr;
  Matrix matrix;
  ColorTransform color;
  uint16_t ratio = 0;
  uint64_t mask_key = 0;  // which masks it draws under (or builds)
  std::optional<SwfRect> bounds;
  bool SameLook(const DrawnLeaf& other) const {
    return character == other.character && matrix == other.matrix && color == other.color &&
           ratio == other.ratio && mask_key == other.mask_key;
  }
};

// The stage area (twips) covered, before or now, by the leaves that came, went or changed
// between two lists sorted by serial; nothing when none did.
std::optional<SwfRect> ChangedArea(const std::vector<DrawnLeaf>& before,
                                   const std::vector<DrawnLeaf>& now);

// Limits against hostile movies: each caps memory or recursion and is tested.
inline constexpr int kMaxClipNesting = 64;           // sprites inside sprites, at run time
inline constexpr size_t kMaxDisplayObjects = 20000;  // live objects in the whole tree
// Objects created in one frame: a frame that replaces a large sprite over and over at one
// depth would otherwise build and drop the tree without end.
inline constexpr size_t kMaxCreationsPerFrame = 40000;

class DisplayList {
 public:
  explicit DisplayList(const MovieDefinition& movie);
  DisplayList(const DisplayList&) = delete;
  DisplayList& operator=(const DisplayList&) = delete;

  // Runs the root's next frame when it plays (frame 1 first, then looping) and one frame of
  // every sprite already on the list.
  void AdvanceFrame();
  // Sends the root to a frame (0-based): objects that are still placed there are kept, with
  // their own frames, as Flash keeps them.
  void GotoFrame(int32_t frame);

  void set_hooks(DisplayHooks* hooks) {
    hooks_ = hooks;
    root_.hooks = hooks;
  }
  // Sends any clip to a frame (0-based, clamped); scripts of the target frame only are due.
  void GotoClip(Clip& clip, int32_t frame);
  // Runs the clip's next frame now (nextFrame), or its previous one.
  void StepClip(Clip& clip, int delta);
  // A new child made by a script (attachMovie, createEmptyMovieClip, duplicateMovieClip):
  // character 0 gives an empty clip. Replaces what is at the depth; null past the limits.
  DisplayObject* AddScripted(Clip& parent, uint16_t character_id, int32_t depth,
                             const std::string& name);
  // Shows a button's records of another state (button_state::kUp, kOver or kDown).
  void SetButtonState(Clip& button, uint8_t state);
  // A text field made by a script (createTextField); replaces what is at the depth.
  DisplayObject* AddScriptedText(Clip& parent, std::shared_ptr<const EditTextCharacter> character,
                                 int32_t depth, const std::string& name);
  // A leaf made by a script (attachBitmap); replaces what is at the depth.
  DisplayObject* AddScriptedLeaf(Clip& parent, std::shared_ptr<const DrawableCharacter> character,
                                 int32_t depth);
  // Nesting level of a clip (root 0).
  static int LevelOf(const Clip& clip);

  // ActionScript 3: every clip keeps a child order (Clip::order), the timeline places by depth
  // into it, and scripts move objects by index.
  void set_indexed(bool indexed) {
    indexed_ = indexed;
    root_.indexed = indexed;
  }
  // A new object off the list for a script (new Sprite(), new Shape()): a container when
  // asked, else an empty leaf. Null past the limits.
  std::unique_ptr<DisplayObject> NewNode(bool container);
  // A library symbol made by a script (new of its linked class), off the list, with its first
  // frame placed. Null when the symbol is unknown or past the limits.
  std::unique_ptr<DisplayObject> NewSymbolNode(uint16_t character_id);
  // Puts an object off the list into `parent` at the child index (clamped); it gets a depth of
  // its own above the timeline's, so the timeline never touches it.
  DisplayObject& Insert(Clip& parent, std::unique_ptr<DisplayObject> object, size_t index);
  // Takes an object off its parent; the caller owns it.
  std::unique_ptr<DisplayObject> Detach(DisplayObject& object);
  // Moves a child to another index of its parent's order (clamped).
  static void Reorder(DisplayObject& object, size_t index);
  // The children of an ActionScript 3 stage besides the root, drawn above it.
  Clip& stage_clip();

  // setMask: `mask` (a clip) masks `masked` instead of being drawn; null removes the mask.
  // The pair is forgotten when either goes.
  void SetScriptMask(DisplayObject& masked, DisplayObject* mask);
  void ForgetMasks(const DisplayObject& object);
  // ActionScript 3: an object masks one other at most; this one stops masking the one it did.
  void StopMasking(const DisplayObject& mask);
  const DisplayObject* ScriptMaskOf(const DisplayObject& masked) const;
  bool IsScriptMask(const DisplayObject& object) const;

  // The root clip of _levelN (level 0 is root()), or null.
  Clip* LevelClip(int32_t level);
  // _levelN for N >= 1 as a new, empty clip (replacing what was there), playing `movie`.
  // Its root has an owner without a parent, whose depth is the level number.
  Clip* NewLevel(int32_t level, std::shared_ptr<const MovieDefinition> movie);
  void RemoveLevel(int32_t level);
  // The root and the levels above it, in drawing order.
  std::vector<Clip*> Roots();
  // Empties a clip and makes it play `movie` (loadMovie), or leaves it empty and stopped when
  // movie is null (unloadMovie). Its first frame runs with the next GotoClip or frame.
  void ReplaceContent(Clip& clip, std::shared_ptr<const MovieDefinition> movie);

  // The root's own position, scale, colour and visibility, which ActionScript 3 sets; drawn
  // around the root's clip.
  DisplayObject root_transform;
  Clip& root() { return root_; }
  const Clip& root() const { return root_; }
  int32_t root_frames() const { return static_cast<int32_t>(movie_.root.frames.size()); }
  size_t live_objects() const { return live_objects_; }

  void Render(Canvas& canvas, const Matrix& stage_to_target) const;
  // Draws what a clip holds (not the clip's own matrix, colour or effects), as BitmapData.draw
  // does; clip_to_target maps the clip's twips to target pixels.
  void RenderClip(const Clip& clip, Canvas& canvas, const Matrix& clip_to_target,
                  const ColorTransform& color) const;

  // Told after each frame that runs, of the root or of any sprite (the sound player listens).
  std::function<void(const Clip& clip, int32_t frame)> on_frame;
  // The leaves as Render would draw them, sorted by serial.
  std::vector<DrawnLeaf> Leaves() const;

 private:
  void AdvanceClip(Clip& clip, int level);
  // A root whose movie lacks frames its header promised: it stops at its last frame.
  static bool Waiting(const Clip& clip);
  void RunFrame(Clip& clip, int32_t frame, int level, bool scripts = true);
  void GotoClipFrame(Clip& clip, int32_t frame, int level);
  void Place(Clip& clip, const PlaceCommand& place, int32_t frame, int level);
  std::unique_ptr<DisplayObject> Create(uint16_t id, int32_t frame, int level, Clip& parent,
                                        int32_t depth, const std::string* name = nullptr);
  void Start(DisplayObject& object, int level);
  void ShowButtonRecords(DisplayObject& object, uint8_t state, int level);
  // Puts a new object at a depth, replacing what is there in the child order too.
  DisplayObject* Put(Clip& clip, int32_t depth, std::unique_ptr<DisplayObject> object);
  DisplayHooks* hooks_ = nullptr;
  bool indexed_ = false;
  int32_t next_script_depth_ = kFirstScriptDepth;
  static constexpr int32_t kFirstScriptDepth = 0x40000000;

  const MovieDefinition& movie_;
  std::shared_ptr<const MovieDefinition> main_;  // movie_, not owned
  // masked → mask; before root_, so it outlives the objects that leave it as they go.
  std::map<const DisplayObject*, DisplayObject*> script_masks_;
  size_t live_objects_ = 0;  // before root_: its objects count down as they go
  uint64_t next_serial_ = 1;
  uint64_t instances_ = 0;
  uint64_t tick_ = 0;
  mutable uint8_t leaf_passes_ = 0;  // counts calls of Leaves()
  size_t created_this_tick_ = 0;
  Clip root_;
  std::map<int32_t, std::unique_ptr<DisplayObject>> levels_;  // _level1 and up
  std::unique_ptr<Clip> stage_clip_;
};

}  // namespace flashsaver
