#include <string>

#include "player/display/definition_tags.h"
#include "player/display/movie_definition.h"
#include "player/avm2/abc_tags.h"
#include "player/display/video_character.h"
#include "player/sound/sound_tags.h"
#include "player/swf/byte_reader.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

// Reads tags into a timeline until End or the end of the data. Definition tags go to their
// group's reader; a tag that cannot be read is skipped and the movie goes on. A fault in the
// tag list itself (a tag running past the data) ends this timeline, and with it the movie.
class TimelineReader {
 public:
  TimelineReader(MovieDefinition& movie, size_t& commands, int nesting = 0)
      : movie_(movie), commands_(commands), nesting_(nesting) {}

  Timeline Read(ByteReader& reader, bool is_root) {
    Timeline timeline;
    Frame frame;
    bool frame_has_content = false;
    bool ended = false;
    try {
      while (reader.remaining() > 0) {
        const SwfTag tag = ReadSwfTag(reader);
        if (tag.code == swf_tag::kEnd) {
          ended = true;
          break;
        }
        if (tag.code == swf_tag::kShowFrame) {
          if (timeline.frames.size() >= kMaxFramesPerTimeline) break;
          timeline.frames.push_back(std::move(frame));
          if (is_root) ++movie_.root_shown_frames;
          frame = Frame{};
          frame_has_content = false;
          continue;
        }
        try {
          frame_has_content |= ReadTag(tag, timeline, frame);
        } catch (const SwfError&) {
          ++movie_.skipped_tags;
        }
      }
    } catch (const SwfError& e) {
      if (is_root)
        movie_.tag_problem = e;
      else
        ++movie_.skipped_tags;
    }
    // Commands after the last ShowFrame still show: a movie without any ShowFrame has a frame.
    timeline.loops = is_root || (ended && !frame_has_content);
    if (is_root) timeline.claimed_frames = movie_.header.frame_count;
    if (frame_has_content || timeline.frames.empty()) timeline.frames.push_back(std::move(frame));
    return timeline;
  }

 private:
  // True when the tag added something to the frame.
  bool ReadTag(const SwfTag& tag, Timeline& timeline, Frame& frame) {
    using namespace swf_tag;
    const uint8_t version = movie_.header.version;
    switch (tag.code) {
      case kPlaceObject:
      case kPlaceObject2:
      case kPlaceObject3:
        return AddCommand(frame, ReadPlaceObject(tag, version));
      case kRemoveObject:
      case kRemoveObject2:
        return AddCommand(frame, ReadRemoveObject(tag));
      case kDoAction:
        frame.actions.push_back(tag.body);
        return true;
      case kDoAbc:
      case kDoAbcOld:
        frame.abc_blocks.emplace_back(tag.code, tag.body);
        return true;
      case kSymbolClass:
        for (auto& e : avm2::ReadSymbolClassTag(tag.body))
          movie_.symbol_classes.emplace_back(e.character_id, std::move(e.class_name));
        return false;
      case kDoInitAction:
        movie_.init_actions.push_back(tag.body);
        if (tag.body.size() >= 2) frame.init_actions.push_back(tag.body);
        return true;
      case kStartSound:
      case kStartSound2:
        frame.sounds.push_back(ReadStartSound(tag));
        return true;
      case kSoundStreamHead:
      case kSoundStreamHead2:
        timeline.stream = ReadSoundStreamHead(tag);
        return false;
      case kSoundStreamBlock:
        frame.stream_block = tag.body;
        return true;
      case kDefineSound: {
        uint16_t id = 0;
        SoundDefinition sound = ReadDefineSound(tag, id);
        movie_.sounds.sounds.insert_or_assign(id, sound);
        return false;
      }
      case kFrameLabel: {
        ByteReader reader(tag.body);
        const std::string label = ReadCString(reader);
        timeline.labels.try_emplace(label, static_cast<int32_t>(timeline.frames.size()));
        return false;
      }
      default:
        break;
    }
    // Definitions are read wherever they stand: some tools write them inside sprites.
    switch (tag.code) {
      case kDefineShape:
      case kDefineShape2:
      case kDefineShape3:
      case kDefineShape4:
      case kDefineMorphShape:
      case kDefineMorphShape2:
        ReadShapeTag(tag, movie_.library);
        break;
      case kJpegTables:
      case kDefineBits:
      case kDefineBitsJpeg2:
      case kDefineBitsJpeg3:
      case kDefineBitsLossless:
      case kDefineBitsLossless2:
        ReadBitmapTag(tag, movie_.library);
        break;
      case kDefineFont:
      case kDefineFont2:
      case kDefineFont3:
      case kDefineFontInfo:
      case kDefineFontInfo2:
      case kDefineFontAlignZones:
      case kDefineText:
      case kDefineText2:
      case kDefineEditText:
      case kCsmTextSettings:
        ReadTextTag(tag, movie_.library);
        break;
      case kDefineSprite:
        ReadSprite(tag);
        break;
      case kDefineButton:
      case kDefineButton2:
        DefineButton(tag);
        break;
      case kDefineButtonCxform:
        ApplyButtonCxform(tag);
        break;
      case kSetBackgroundColor:
        if (!movie_.background) movie_.background = ReadSetBackgroundColor(tag);
        break;
      case kExportAssets:
        ReadExports(tag);
        break;
      case kImportAssets:
      case kImportAssets2:
        if (nesting_ == 0) {
          movie_.imports.push_back(
              ReadAssetImport(tag, static_cast<uint32_t>(timeline.frames.size())));
        }
        break;
      case kScriptLimits: {
        ByteReader reader(tag.body);
        const uint16_t recursion = reader.U16();
        const uint16_t timeout = reader.U16();
        if (reader.ok()) {
          movie_.max_recursion_depth = recursion;
          movie_.script_timeout_seconds = timeout;
        }
        break;
      }
      case kFileAttributes: {
        ByteReader reader(tag.body);
        movie_.file_attributes = reader.U32();
        break;
      }
      case kMetadata: {
        ByteReader reader(tag.body);
        movie_.metadata = ReadCString(reader);
        break;
      }
      case kProtect:
        movie_.is_protected = true;
        break;
      case kDefineVideoStream: {
        uint16_t id = 0;
        std::shared_ptr<VideoCharacter> video = VideoCharacter::Read(tag, id);
        movie_.library.Define(id, std::move(video));
        break;
      }
      case kVideoFrame: {
        ByteReader reader(tag.body);
        const uint16_t stream = reader.U16();
        const uint16_t number = reader.U16();
        if (!reader.ok()) break;
        // The character is const in the library; its frames are added while the movie loads.
        if (auto* video = const_cast<VideoCharacter*>(
                movie_.library.FindAs<VideoCharacter>(stream, CharacterType::kVideo))) {
          video->AddFrame(number, tag.body.subspan(reader.offset()));
        }
        break;
      }
      case kDefineScalingGrid: {
        // The centre of a sprite's nine-slice grid.
        ByteReader reader(tag.body);
        const uint16_t id = reader.U16();
        const int bits = static_cast<int>(reader.UnsignedBits(5));
        SwfRect grid;
        grid.x_min = Twips{reader.SignedBits(bits)};
        grid.x_max = Twips{reader.SignedBits(bits)};
        grid.y_min = Twips{reader.SignedBits(bits)};
        grid.y_max = Twips{reader.SignedBits(bits)};
        if (reader.ok()) movie_.scaling_grids.try_emplace(id, grid);
        break;
      }
      default:  // debugger and unknown tags
        break;
    }
    return false;
  }

  template <typename Command>
  bool AddCommand(Frame& frame, Command&& command) {
    if (commands_ >= kMaxCommandsPerMovie) return false;
    ++commands_;
    frame.commands.emplace_back(std::forward<Command>(command));
    return true;
  }

  void ReadSprite(const SwfTag& tag) {
    ByteReader reader(tag.body);
    const uint16_t id = reader.U16();
    reader.U16();  // frame count: the frames are counted from the ShowFrame tags
    if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "DefineSprite ends early", tag.code);
    ByteReader tags(tag.body.subspan(reader.offset()));
    if (nesting_ >= kMaxSpriteNesting) {
      throw SwfError(SwfErrorKind::kBadTag, "sprites nested too deeply", tag.code);
    }
    TimelineReader inner(movie_, commands_, nesting_ + 1);
    movie_.library.Define(id, std::make_shared<SpriteCharacter>(inner.Read(tags, false)));
  }

  void DefineButton(const SwfTag& tag) {
    ByteReader reader(tag.body);
    const uint16_t id = reader.U16();
    movie_.library.Define(id, ReadButton(tag));
  }

  // Button 1 has no colour transform of its own; this tag gives the whole button one.
  void ApplyButtonCxform(const SwfTag& tag) {
    ByteReader reader(tag.body);
    const uint16_t id = reader.U16();
    const ColorTransform color = ReadColorTransformRecord(reader, false);
    if (!reader.ok())
      throw SwfError(SwfErrorKind::kBadTag, "DefineButtonCxform ends early", tag.code);
    const auto* button = movie_.library.FindAs<ButtonCharacter>(id, CharacterType::kButton);
    if (!button) return;
    auto changed = std::make_shared<ButtonCharacter>(*button);
    for (ButtonRecord& record : changed->up_records) record.color = color;
    for (ButtonRecord& record : changed->records) record.color = color;
    movie_.library.Replace(id, std::move(changed));
  }

  void ReadExports(const SwfTag& tag) {
    ByteReader reader(tag.body);
    const uint16_t count = reader.U16();
    for (uint16_t i = 0; i < count && reader.ok(); ++i) {
      const uint16_t id = reader.U16();
      std::string name = ReadCString(reader);
      if (reader.ok()) movie_.exports.insert_or_assign(std::move(name), id);
    }
  }

  // A DefineSprite inside a DefineSprite's tags: allowed a few levels, each one recursion.
  static constexpr int kMaxSpriteNesting = 8;

  MovieDefinition& movie_;
  size_t& commands_;
  int nesting_;
};

}  // namespace

std::shared_ptr<const ButtonCharacter> ReadButton(const SwfTag& tag) {
  const bool second = tag.code == swf_tag::kDefineButton2;
  ByteReader reader(tag.body);
  auto button = std::make_shared<ButtonCharacter>();
  reader.U16();  // id
  size_t actions_at = 0;
  if (second) {
    button->track_as_menu = (reader.U8() & 0x01) != 0;
    button->has_conditions = true;
    const uint16_t offset = reader.U16();
    if (offset != 0) actions_at = reader.offset() - 2 + offset;
  }
  while (reader.ok()) {
    const uint8_t flags = reader.U8();
    if (flags == 0) break;
    ButtonRecord record;
    record.states = flags & 0x0F;
    record.character_id = reader.U16();
    record.depth = reader.U16();
    record.matrix = ReadMatrixRecord(reader);
    if (second) {
      record.color = ReadColorTransformRecord(reader, true);
      if (flags & 0x10) ReadFilterList(reader, record.filters);
      if (flags & 0x20) record.blend_mode = reader.U8();
    }
    if (reader.ok() && (flags & 0x01)) button->up_records.push_back(record);
    if (reader.ok() && (flags & 0x0F)) button->records.push_back(record);
  }
  if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "button records end early", tag.code);
  if (!second) {
    button->actions = tag.body.subspan(reader.offset());
  } else if (actions_at != 0 && actions_at <= tag.body.size()) {
    button->actions = tag.body.subspan(actions_at);
  }
  return button;
}

std::unique_ptr<MovieDefinition> LoadMovie(std::span<const uint8_t> file,
                                           const DeviceFonts* device_fonts) {
  std::vector<uint8_t> data = UncompressSwf(file);
  ByteReader reader(data);
  reader.Skip(3);
  const uint8_t version = reader.U8();
  const uint32_t file_length = reader.U32();
  auto movie = std::make_unique<MovieDefinition>(version);
  movie->header = ReadSwfHeader(reader);
  movie->header.version = version;
  movie->header.file_length = file_length;
  movie->header.compression = file[0] == 'C'   ? SwfCompression::kZlib
                              : file[0] == 'Z' ? SwfCompression::kLzma
                                               : SwfCompression::kNone;
  movie->library.device_fonts = device_fonts;
  // The tags are read from the movie's own copy, which lives as long as what points into it.
  movie->data = std::move(data);
  ByteReader tags(movie->data);
  tags.Skip(reader.offset());
  size_t commands = 0;
  TimelineReader timeline_reader(*movie, commands);
  movie->root = timeline_reader.Read(tags, true);
  return movie;
}

}  // namespace flashsaver
