// Everything the tag list of a movie defines, read once: the header, the characters, the root
// timeline, and the movie-wide tags kept for later (exports, script limits, attributes).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/display/asset_imports.h"
#include "player/display/character_library.h"
#include "player/display/timeline.h"
#include "player/sound/sound_tags.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {

struct MovieDefinition {
  explicit MovieDefinition(uint8_t version) : library(version) {}

  SwfHeader header;
  std::optional<Rgb> background;  // the first SetBackgroundColor
  CharacterLibrary library;
  SoundLibrary sounds;  // DefineSound
  Timeline root;

  std::map<std::string, uint16_t> exports;  // ExportAssets: name → character id
  std::vector<AssetImport> imports;         // ImportAssets and ImportAssets2, in tag order
  // Imported ids and the library movie each one's character lives in: a sprite of it plays
  // with that movie's characters.
  std::map<uint16_t, std::shared_ptr<const MovieDefinition>> imported_from;
  // DefineScalingGrid: the centre rectangle (twips) of a sprite's or button's nine-slice grid.
  std::map<uint16_t, SwfRect> scaling_grids;
  std::vector<std::span<const uint8_t>> init_actions;  // DoInitAction bodies (sprite id first)
  std::optional<uint16_t> max_recursion_depth;         // ScriptLimits
  std::optional<uint16_t> script_timeout_seconds;      // ScriptLimits
  uint32_t file_attributes = 0;                        // FileAttributes flags
  // SymbolClass: character id (0 for the root) → fully qualified AS3 class name.
  std::vector<std::pair<uint16_t, std::string>> symbol_classes;
  std::string metadata;                                // Metadata (XML)
  bool is_protected = false;                           // Protect
  // The root's frames that end with ShowFrame. Fewer than the header's count: the player keeps
  // waiting for the rest, so the root never loops.
  uint32_t root_shown_frames = 0;
  uint32_t skipped_tags = 0;  // definition or control tags that could not be read
  // A fault that ended the tag list early: what came before it plays.
  std::optional<SwfError> tag_problem;

  // The uncompressed file: tags and commands point into it.
  std::vector<uint8_t> data;
};

// Reads the whole movie; throws SwfError only when the header cannot be read.
std::unique_ptr<MovieDefinition> LoadMovie(std::span<const uint8_t> file,
                                           const DeviceFonts* device_fonts = nullptr);

// DefineButton or DefineButton2 (with DefineButtonCxform's transform for the first kind, when
// it came before). Throws SwfError (kBadTag).
std::shared_ptr<const ButtonCharacter> ReadButton(const SwfTag& tag);

}  // namespace flashsaver
