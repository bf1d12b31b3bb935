// Timelines as the loader reads them: the root's and every sprite's frames, each holding the
// control commands that run when the frame is reached. Definition tags are not kept here; they
// fill the character library as the tag list is read.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "player/display/character.h"
#include "player/display/control_records.h"
#include "player/sound/sound_tags.h"

namespace flashsaver {

using ControlCommand = std::variant<PlaceCommand, RemoveCommand>;

struct MovieDefinition;

// A library movie's DoInitAction for a symbol another movie imports (sprite id first).
struct ImportedInitAction {
  std::shared_ptr<const MovieDefinition> library;
  std::span<const uint8_t> body;
};

struct Frame {
  std::vector<ControlCommand> commands;           // in tag order
  std::vector<std::span<const uint8_t>> actions;  // DoAction bodies, kept for the script engine
  std::vector<std::span<const uint8_t>> init_actions;  // DoInitAction bodies (sprite id first)
  std::vector<StartSoundCommand> sounds;               // StartSound and StartSound2
  std::span<const uint8_t> stream_block;               // this frame's SoundStreamBlock
  // DoABC (tag code 82) and its older form (72): ActionScript 3 bytecode run when the frame is
  // first reached.
  std::vector<std::pair<uint16_t, std::span<const uint8_t>>> abc_blocks;
  std::vector<ImportedInitAction> imported_init_actions;  // of the symbols imported here
};

struct Timeline {
  std::vector<Frame> frames;              // never empty once read
  std::map<std::string, int32_t> labels;  // FrameLabel → 0-based frame
  std::optional<StreamHead> stream;       // SoundStreamHead: the blocks' format
  // A sprite goes back to its first frame only when its tags were read to the End tag right
  // after a ShowFrame; otherwise the player still waits for the rest and its last frame stays
  // (looping_child_swf5).
  bool loops = true;
  // The root's frame count as its header claims it, which _totalframes and _framesloaded report
  // even when the movie holds more frames (all of which still play); -1 for sprites.
  int32_t claimed_frames = -1;
};

class SpriteCharacter final : public Character {
 public:
  explicit SpriteCharacter(Timeline timeline) : timeline_(std::move(timeline)) {}
  CharacterType type() const override { return CharacterType::kSprite; }
  const Timeline& timeline() const { return timeline_; }

 private:
  Timeline timeline_;
};

// A button's character in its up state: the records it shows when the pointer is away.
struct ButtonRecord {
  uint8_t states = 0;  // button_state bits: the states that show it
  uint16_t character_id = 0;
  uint16_t depth = 0;
  Matrix matrix;
  ColorTransform color;
  std::vector<Filter> filters;  // DefineButton2 only
  std::optional<uint8_t> blend_mode;
};

class ButtonCharacter final : public Character {
 public:
  CharacterType type() const override { return CharacterType::kButton; }

  std::vector<ButtonRecord> up_records;  // in tag order
  std::vector<ButtonRecord> records;     // every state's, in tag order
  std::span<const uint8_t> actions;      // the raw conditions and actions, for the script engine
  bool track_as_menu = false;
  bool has_conditions = false;  // DefineButton2: each action list carries its conditions
};

namespace button_state {
inline constexpr uint8_t kUp = 1, kOver = 2, kDown = 4, kHit = 8;
}

// Limits that keep a hostile tag list from taking unbounded memory or time.
inline constexpr size_t kMaxFramesPerTimeline = 16000;  // Flash's own frame limit
inline constexpr size_t kMaxCommandsPerMovie = 200000;  // all timelines together

}  // namespace flashsaver
