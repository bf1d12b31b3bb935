// The script machine hosted by the display list: every clip gets one script object
// (MovieClip.prototype), frame scripts, init scripts and clip events run in the player's order
// after each frame's placements, and the clip properties read and write the display list.
#pragma once

#include <cstdint>
#include <array>
#include <bitset>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "player/avm1/vm.h"
#include "player/display/display_list.h"

namespace flashsaver {

class SoundPlayer;
struct SoundScripting;

// A clip's script face. Detached (clip null) once the clip left the list; scripts may still
// hold it.
class ClipObject final : public avm1::Object {
 public:
  ClipObject() : Object(avm1::ObjectKind::kClip) {}
  Clip* clip = nullptr;
};

// A text field's script face (TextField.prototype); detached when the field goes.
class TextFieldObject final : public avm1::Object {
 public:
  TextFieldObject() : Object(avm1::ObjectKind::kOther) {}
  DisplayObject* field = nullptr;
  // Settings that only scripts read back; the field draws without them.
  avm1::Value tab_index, style_sheet, filters, restrict = avm1::Value::Null();
  bool mouse_wheel = true;
  double sharpness = 0, thickness = 0;
  std::string anti_alias = "normal", grid_fit = "pixel";
  void Trace(avm1::Tracer& tracer) override {
    Object::Trace(tracer);
    tracer.Mark(tab_index);
    tracer.Mark(style_sheet);
    tracer.Mark(filters);
  }
};

// Events of onClipEvent, by their bit in the CLIPACTIONS flags (SWF 6 layout).
namespace clip_event {
inline constexpr uint32_t kLoad = 1u << 0;
inline constexpr uint32_t kEnterFrame = 1u << 1;
inline constexpr uint32_t kUnload = 1u << 2;
inline constexpr uint32_t kMouseMove = 1u << 3;
inline constexpr uint32_t kMouseDown = 1u << 4;
inline constexpr uint32_t kMouseUp = 1u << 5;
inline constexpr uint32_t kKeyDown = 1u << 6;
inline constexpr uint32_t kKeyUp = 1u << 7;
inline constexpr uint32_t kData = 1u << 8;
inline constexpr uint32_t kInitialize = 1u << 9;
inline constexpr uint32_t kConstruct = 1u << 18;
}  // namespace clip_event

struct ClipAction {
  uint32_t events = 0;
  std::span<const uint8_t> code;
};
// The records of a CLIPACTIONS block; SWF 5 writes 16-bit event flags. Stops at damage.
std::vector<ClipAction> ReadClipActions(std::span<const uint8_t> record, uint8_t swf_version);

// Scale and rotation of a matrix as the player shows them (_xscale, _yscale in percent,
// _rotation in degrees) and the matrix they give back, translation kept.
struct ScaleRotation {
  double xscale = 100, yscale = 100, rotation = 0, skew = 0;  // skew: radians, y axis minus x
};
ScaleRotation Decompose(const Matrix& m);
Matrix Recompose(const ScaleRotation& s, double tx, double ty);

// What the Key, Mouse and Stage objects read and set.
struct ScriptInput {
  std::bitset<256> keys_down, keys_toggled;
  int last_key = 0, last_ascii = 0;
  bool cursor_hidden = false;  // Mouse.hide
  std::string scale_mode = "showAll", align;
  bool show_menu = true;
  double view_width = 0, view_height = 0;  // the window, in pixels; 0 before it is known
};

class ScriptHost final : public avm1::Host, public DisplayHooks {
 public:
  ScriptHost(const MovieDefinition& movie, DisplayList& list);
  ~ScriptHost() override;

  avm1::Vm& vm() { return *vm_; }
  // One frame: enterFrame events, the timelines' next frames, their scripts, due timers.
  void Tick();
  // The clock of getTimer and the timers, in ms since the movie started.
  void set_clock(double ms) { clock_ms_ = ms; }
  double frame_ms() const { return frame_ms_; }
  bool quit_requested() const { return quit_; }
  std::function<void(std::string_view)> trace_output;
  // Polled while a script runs: true stops it at once (the show's exits must not wait).
  std::function<bool()> interrupt;
  std::string url;
  // The user's folder of shared objects; each movie keeps its own below it. Empty: none kept.
  std::string shared_object_folder;
  double mouse_x = 0, mouse_y = 0;  // stage pixels
  // The movie's sounds for the Sound object and stopAllSounds; null: none (set by the player).
  SoundPlayer* sound = nullptr;
  std::shared_ptr<SoundScripting> sound_scripting;  // the Sound objects' state (sound_class.cpp)
  ScriptInput input;
  // Stage.width and Stage.height.
  std::pair<double, double> StageSize() const;
  // Calls broadcastMessage(event) of a global broadcaster (Key, Mouse, Stage).
  void Notify(const char* object_name, const char* event);
  // A key went down or up (Flash key code, character code): Key's state, clip events, the
  // listeners of Key.
  void KeyEvent(bool down, int key_code, int ascii);
  // The pointer's button or position changed: clip events, clips' handlers, Mouse's listeners,
  // and the buttons under the pointer.
  void MouseEvent(uint32_t event, const char* method);
  // Empty bounds read 6710886.35 until SWF 8 code asks for bounds (or the first movie is
  // SWF 8): from then on every movie reads 6710886.4, as the player rounds its shared marker.
  bool empty_bounds_rounded = false;

  // The clip's script object, made on first use.
  ClipObject* ObjectFor(Clip& clip);
  // MovieClip, TextField and the other classes of the display list, into the current _global.
  void InstallHostClasses();
  static Clip* ClipOf(avm1::Object* obj);
  // Selection.setFocus moved the focus from old to next (either may be null or the same): the
  // clip or button that had it rolls out and the one that gets it rolls over, after the
  // running script, as keyboard focus rolls over them (selection_handlers).
  void FocusRolled(avm1::Object* old, avm1::Object* next);
  DisplayList& list() { return list_; }
  const MovieDefinition& movie() const { return movie_; }
  // Runs queued scripts until none is left.
  void RunQueue();
  // Sends a mouse or key event to every clip (clip events and the named method), then runs it.
  void Broadcast(uint32_t event, const char* method);

  // avm1::Host
  void Trace(std::string_view line) override;
  double Milliseconds() override { return clock_ms_; }
  double Random() override;
  bool ShouldAbortScripts() override { return interrupt && interrupt(); }
  void GotoFrame(avm1::Object* clip, uint32_t frame, bool play) override;
  bool GotoLabel(avm1::Object* clip, std::string_view label, bool play) override;
  void Play(avm1::Object* clip) override;
  void Stop(avm1::Object* clip) override;
  void NextFrame(avm1::Object* clip) override;
  void PrevFrame(avm1::Object* clip) override;
  bool FrameLoaded(avm1::Object* clip, uint32_t frame) override;
  avm1::Value GetClipProperty(avm1::Object* clip, avm1::ClipProperty p) override;
  void SetClipProperty(avm1::Object* clip, avm1::ClipProperty p, const avm1::Value& v) override;
  void CloneClip(avm1::Object* clip, std::string_view name, int32_t depth) override;
  void RemoveClip(avm1::Object* clip) override;
  void StartDrag(avm1::Object* clip, bool lock_center, const double* bounds) override;
  void StopDrag() override;
  avm1::Object* ClipChild(avm1::Object* clip, std::string_view name) override;
  std::vector<std::string> ClipChildNames(avm1::Object* clip) override;
  avm1::Object* Level(int32_t level) override;
  avm1::Object* Parent(avm1::Object* clip) override;
  std::string ClipPath(avm1::Object* clip, bool dot_syntax) override;
  bool IsTextField(avm1::Object* obj) override;
  std::string SharedObjectFolder() override;
  void GetUrl(std::string_view url, std::string_view target, int method) override;
  void FsCommand(std::string_view command, std::string_view args) override;
  void StopAllSounds() override;
  bool RegisterClass(std::string_view name, avm1::Object* ctor) override;
  const char* ClipTypeOf(avm1::Object* clip) override;
  bool IsRemovedClip(avm1::Object* clip) override { return !ClipOf(clip); }
  static bool IsButton(const Clip& clip);
  // The class registered for the symbol a clip was made from, or null.
  avm1::Object* RegisteredClass(const Clip& clip);
  // Runs the registered class's constructor on a new clip's object, now.
  void Construct(Clip& clip);

  // DisplayHooks
  void ClipPlaced(Clip& clip) override;
  void ClipLoaded(Clip& clip) override;
  void ClipRemoved(Clip& clip) override;
  void ClipEnterFrame(Clip& clip) override;
  void FrameRan(Clip& clip, int32_t frame) override;
  void TextRemoved(DisplayObject& object) override;

  // Display properties of any object (clip null for text fields and the root's stand-in).
  avm1::Value PropertyOf(DisplayObject* o, Clip* clip, avm1::ClipProperty p);
  void SetPropertyOf(DisplayObject* o, Clip* clip, avm1::ClipProperty p, const avm1::Value& v);
  avm1::Object* TextObjectFor(DisplayObject& field);
  // duplicateMovieClip of a text field: a new field of the same definition, placed alike.
  void CloneTextField(avm1::Object* field, std::string_view name, int32_t depth);
  // _url: the address of the movie the clip's timeline comes from.
  std::string UrlOf(const Clip* clip) const;
  // The slash path of the clip a dragged clip was last dropped on (_droptarget).
  std::string DropTargetOf(const DisplayObject* o) const;
  // Fields bound to variables show the variables' values.
  void UpdateBoundFields();

  // Timeline depths as scripts count them: the tag's depth minus this.
  static constexpr int32_t kDepthOffset = 16384;

  // Reads a movie that a script loads, by its URL as written (relative to the movie's
  // folder); null when it cannot be read. Unset: every load fails.
  std::function<std::shared_ptr<const MovieDefinition>(std::string_view url)> load_movie;
  // Where a load goes: a level, or a clip's object.
  struct LoadTarget {
    std::optional<int32_t> level;
    avm1::Object* clip = nullptr;
  };
  // Queues a load for the end of this frame (empty url: unload at once). A loader (the
  // MovieClipLoader object) hears the load's events.
  void RequestLoad(const LoadTarget& target, std::string url, avm1::Object* loader);
  // Where a target of loadMovie, getURL or loadClip points: "_levelN", a path, a clip.
  std::optional<LoadTarget> ResolveLoadTarget(const avm1::Value& target);
  // Runs the loads queued so far.
  void RunLoads();
  // The movie that a clip's timeline comes from.
  static const MovieDefinition& MovieOf(const Clip& clip);

 private:
  struct Pending {
    avm1::Object* clip = nullptr;
    std::shared_ptr<const std::vector<uint8_t>> owner;  // keeps a loaded movie's code
    std::span<const uint8_t> code;                      // a script, or empty for a method call
    std::string method;
    bool even_if_removed = false;         // unload events run after the clip went
    avm1::Object* constructor = nullptr;  // or a registered class's constructor to run
    int version = 0;                      // the SWF version of the code's movie; 0: the first's
  };
  void QueueEvent(Clip& clip, uint32_t event, const char* method);
  // Buttons and clips with button handlers (pointer_input.cpp).
  bool IsInteractive(Clip& clip);
  bool HitBy(Clip& clip, const Point& stage_twips);
  Clip* FindPointerTarget();
  void ButtonEvent(Clip& target, uint16_t condition, const char* handler);
  void PointerChanged(bool moved, std::optional<bool> button_down);
  void ButtonKeys(int key_code, int ascii);
  // startDrag: the clip that follows the pointer, and how.
  void UpdateDrag();
  Clip* ClipUnderPointer(const Clip* except);
  avm1::Object* dragged_ = nullptr;
  bool drag_lock_ = false;
  std::optional<std::array<double, 4>> drag_bounds_;  // left, top, right, bottom (parent px)
  double drag_dx_ = 0, drag_dy_ = 0;                  // clip minus pointer, parent px
  avm1::Object* hovered_ = nullptr;                   // the target under the pointer
  avm1::Object* pressed_ = nullptr;                   // the target the button went down on
  void MarkRoots(avm1::Tracer& tracer);
  std::shared_ptr<const std::vector<uint8_t>> CodeOwner(const Clip& clip) const;
  // The root clip of the movie the clip's timeline comes from (a loaded movie's own root).
  Clip& MovieRoot(Clip& clip);
  struct Load {
    LoadTarget target;
    std::string url;
    avm1::Object* loader = nullptr;
  };
  void RunLoad(const Load& load);
  std::vector<Load> loads_;
  std::map<const MovieDefinition*, std::string> movie_urls_;    // of loaded movies
  std::vector<std::pair<std::string, avm1::Object*>> classes_;  // Object.registerClass

  const MovieDefinition& movie_;
  DisplayList& list_;
  std::unique_ptr<avm1::Vm> vm_;
  std::shared_ptr<const std::vector<uint8_t>> code_owner_;
  std::deque<Pending> init_queue_, queue_;
  std::set<std::pair<const MovieDefinition*, uint16_t>> done_init_;  // init scripts that ran
  // Properties of the root, which has no display object of its own.
  DisplayObject root_object_;
  std::mt19937 random_{std::random_device{}()};
  double clock_ms_ = 0;
  double frame_ms_ = 1000.0 / 12;
  uint64_t ticks_ = 0;
  uint64_t instances_ = 0;
  bool quit_ = false;
  // Movie-wide settings that scripts read and write through the root (swf6, swf7).
  int quality_ = 2;  // 0 LOW, 1 MEDIUM, 2 HIGH, 3 BEST
  bool focus_rect_ = true;
  int32_t sound_buf_time_ = 5;
};

// MovieClip and its prototype's methods (movie_clip_class.cpp).
void InstallMovieClipClass(ScriptHost& host);
// TextField's prototype with its properties (text_field_class.cpp).
void InstallTextFieldClass(ScriptHost& host);
// TextField.StyleSheet (style_sheet_class.cpp).
void InstallStyleSheetClass(avm1::Vm& vm, avm1::Object* text_field_class);
// The styles a field's styleSheet holds now, as its text reads them (runs no script); null for
// anything but a TextField.StyleSheet.
std::shared_ptr<const StyleTable> StylesOf(avm1::Vm& vm, const avm1::Value& sheet);
// Sound (sound_class.cpp): the class, the objects its playing voices keep alive, and the
// onSoundComplete calls, run once per frame.
void InstallSoundClass(ScriptHost& host);
void MarkSoundRoots(ScriptHost& host, avm1::Tracer& tracer);
void DispatchSoundCompletions(ScriptHost& host);
// The drawing API of MovieClip (drawing_methods.cpp).
void InstallDrawingMethods(ScriptHost& host);
// Button's prototype, Key, Mouse and Stage (input_classes.cpp).
void InstallInputClasses(ScriptHost& host);
// tabIndex of clips and buttons, kept by the clip as a signed 32-bit number (input_classes.cpp).
void DefineTabIndex(avm1::Vm& vm, avm1::Object* proto, uint16_t flags);
// MovieClipLoader and the MovieClip methods that load movies (clip_loading.cpp).
void InstallClipLoading(ScriptHost& host);

// The local path that a loaded movie's URL names, relative to the movie's folder: the query
// and fragment dropped, escapes decoded; nothing for URLs of other schemes or absolute paths.
std::optional<std::string> LocalPathOf(std::string_view url);
// Color, which tints clips (color_class.cpp).
void InstallColorClass(ScriptHost& host);
// TextSnapshot and MovieClip.getTextSnapshot (text_snapshot_class.cpp).
void InstallTextSnapshotClass(ScriptHost& host);
// Selection and the focus (selection_class.cpp).
void InstallSelectionClass(ScriptHost& host);
// flash.geom.Transform and MovieClip.transform (transform_class.cpp).
void InstallTransformClass(ScriptHost& host);

}  // namespace flashsaver
