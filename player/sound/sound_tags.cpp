#include "player/sound/sound_tags.h"

#include "player/swf/swf_error.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

constexpr uint32_t kRates[4] = {5512, 11025, 22050, 44100};

SoundFormat ReadFormat(ByteReader& reader) {
  SoundFormat format;
  format.codec = static_cast<SoundCodec>(reader.UnsignedBits(4));
  format.rate = kRates[reader.UnsignedBits(2)];
  format.sixteen_bit = reader.UnsignedBits(1) != 0;
  format.stereo = reader.UnsignedBits(1) != 0;
  return format;
}

void Require(const ByteReader& reader, const SwfTag& tag, const char* what) {
  if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, what, tag.code);
}

}  // namespace

SoundDefinition ReadDefineSound(const SwfTag& tag, uint16_t& id) {
  ByteReader reader(tag.body);
  SoundDefinition sound;
  id = reader.U16();
  sound.format = ReadFormat(reader);
  sound.sample_count = reader.U32();
  if (sound.format.codec == SoundCodec::kMp3) sound.mp3_seek_samples = reader.U16();
  Require(reader, tag, "DefineSound ends early");
  sound.data = tag.body.subspan(reader.offset());
  return sound;
}

SoundInfo ReadSoundInfo(ByteReader& reader) {
  SoundInfo info;
  const uint8_t flags = reader.U8();
  info.stop = (flags & 0x20) != 0;
  info.no_multiple = (flags & 0x10) != 0;
  if (flags & 0x01) info.in_point = reader.U32();
  if (flags & 0x02) info.out_point = reader.U32();
  if (flags & 0x04) info.loops = reader.U16();
  if (flags & 0x08) {
    const uint8_t count = reader.U8();
    for (uint8_t i = 0; i < count && reader.ok(); ++i) {
      EnvelopePoint point;
      point.position = reader.U32();
      point.left = reader.U16();
      point.right = reader.U16();
      if (reader.ok()) info.envelope.push_back(point);
    }
  }
  return info;
}

StartSoundCommand ReadStartSound(const SwfTag& tag) {
  ByteReader reader(tag.body);
  StartSoundCommand command;
  if (tag.code == swf_tag::kStartSound2) {
    while (reader.ok()) {
      const uint8_t c = reader.U8();
      if (c == 0) break;
      command.class_name.push_back(static_cast<char>(c));
    }
  } else {
    command.sound_id = reader.U16();
  }
  command.info = ReadSoundInfo(reader);
  Require(reader, tag, "StartSound ends early");
  return command;
}

StreamHead ReadSoundStreamHead(const SwfTag& tag) {
  ByteReader reader(tag.body);
  reader.U8();  // the playback format the author suggested; the stream's own format rules
  StreamHead head;
  head.format = ReadFormat(reader);
  head.samples_per_block = reader.U16();
  if (head.format.codec == SoundCodec::kMp3 && reader.remaining() >= 2) {
    head.latency_seek = static_cast<int16_t>(reader.U16());
  }
  Require(reader, tag, "SoundStreamHead ends early");
  return head;
}

std::span<const uint8_t> StreamBlockData(const StreamHead& head, std::span<const uint8_t> body) {
  if (head.format.codec != SoundCodec::kMp3) return body;
  return body.size() < 4 ? std::span<const uint8_t>{} : body.subspan(4);
}

}  // namespace flashsaver
