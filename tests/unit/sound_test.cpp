#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "player/display/movie_player.h"
#include "player/sound/mixer.h"
#include "player/sound/sound_decoder.h"
#include "player/sound/sound_player.h"
#include "player/swf/tag_codes.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

std::vector<int16_t> DecodeAll(const SoundFormat& format,
                               std::vector<std::vector<uint8_t>>& pieces) {
  auto decoder = MakeSoundDecoder(format);
  for (const auto& piece : pieces) decoder->Feed(piece);
  std::vector<int16_t> out, chunk(2 * 3);
  while (size_t n = decoder->Read(chunk.data(), 3))
    out.insert(out.end(), chunk.begin(), chunk.begin() + 2 * n);
  return out;
}

struct PcmCase {
  const char* label;
  bool sixteen_bit, stereo;
  std::vector<std::vector<uint8_t>> pieces;
  std::vector<int16_t> frames;  // left, right
};

TEST(SoundDecoders, PcmSizesChannelsAndShortPieces) {
  std::vector<PcmCase> cases = {
      {"8-bit mono is unsigned",
       false,
       false,
       {{0x80, 0xFF, 0x00}},
       {0, 0, 127 << 8, 127 << 8, -32768, -32768}},
      {"16-bit stereo is little-endian", true, true, {{0x01, 0x02, 0xFF, 0xFF}}, {0x0201, -1}},
      {"a partial frame ends its piece only",
       true,
       false,
       {{0x10, 0x00, 0x20}, {0x30, 0x00}},
       {16, 16, 48, 48}},
      {"empty pieces are skipped", false, true, {{}, {0x81, 0x7F}}, {256, -256}},
  };
  // Format 0 ("native") is read as Flash on x86 read it: little-endian, as format 3.
  for (const SoundCodec codec : {SoundCodec::kPcmNative, SoundCodec::kPcmLittle}) {
    for (auto& c : cases) {
      SCOPED_TRACE(c.label);
      SoundFormat format{codec, 11025, c.sixteen_bit, c.stereo};
      EXPECT_EQ(DecodeAll(format, c.pieces), c.frames);
    }
  }
}

// A 4-bit mono ADPCM piece: code size, first sample and index, then codes, bits packed MSB first.
std::vector<uint8_t> AdpcmPiece(int first, int index, const std::vector<int>& codes,
                                int drop_bits = 0) {
  std::vector<bool> bits;
  auto put = [&](uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back((v >> i) & 1);
  };
  put(2, 2);  // 4 bits a code
  put(static_cast<uint16_t>(first), 16);
  put(static_cast<uint32_t>(index), 6);
  for (int code : codes) put(static_cast<uint32_t>(code), 4);
  bits.resize(bits.size() - static_cast<size_t>(drop_bits));
  std::vector<uint8_t> bytes((bits.size() + 7) / 8);
  for (size_t i = 0; i < bits.size(); ++i)
    bytes[i / 8] |= static_cast<uint8_t>(bits[i] << (7 - i % 8));
  return bytes;
}

TEST(SoundDecoders, AdpcmStepsAndCutPackets) {
  // Worked by hand from the step table (pieces end on whole bytes, as real data does): from
  // index 0 (step 7) code 7 adds 7+3+1+0 = 11 and moves to index 8 (step 16); code 7 adds
  // 16+8+4+2 = 30, index 16 (step 34); code 15 takes 34+17+8+4 = 63, index 24 (step 73);
  // code 0 adds 73>>3 = 9.
  struct Case {
    const char* label;
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<int16_t> left;
  };
  std::vector<Case> cases = {
      {"zero codes hold the sample", {AdpcmPiece(1000, 0, {0, 0})}, {1000, 1000, 1000}},
      {"magnitude and index", {AdpcmPiece(1000, 0, {7, 7, 15, 0})}, {1000, 1011, 1041, 978, 987}},
      {"negative first sample", {AdpcmPiece(-5, 0, {8, 8})}, {-5, -5, -5}},
      {"clamped at the top", {AdpcmPiece(32760, 88, {7, 7})}, {32760, 32767, 32767}},
      {"a cut code ends the piece", {AdpcmPiece(1000, 0, {7, 7, 7}, 4)}, {1000, 1011, 1041}},
      {"a cut header gives nothing", {AdpcmPiece(1000, 0, {}, 10)}, {}},
      {"each piece starts afresh",
       {AdpcmPiece(1, 0, {7, 0}), AdpcmPiece(2, 0, {})},
       {1, 12, 14, 2}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::vector<int16_t> out = DecodeAll({SoundCodec::kAdpcm, 22050, true, false}, c.pieces);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    EXPECT_EQ(left, c.left);
  }
}

TEST(SoundDecoders, DamagedMp3GivesNoSamplesAndEnds) {
  std::vector<std::vector<uint8_t>> pieces = {{0xFF, 0xFB, 0x90, 0x64, 0x00},
                                              std::vector<uint8_t>(5000, 0xFF)};
  EXPECT_TRUE(DecodeAll({SoundCodec::kMp3, 44100, true, true}, pieces).empty());
}

// Nellymoser: 256 mono samples a 64-byte block, whatever the bytes say and however the blocks
// are cut into pieces; a block cut short at the end is dropped.
TEST(SoundDecoders, NellymoserBlocksAcrossPieces) {
  std::vector<uint8_t> junk(64 * 3 + 10);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 37 + 11);
  std::vector<std::vector<uint8_t>> pieces = {{junk.begin(), junk.begin() + 40},
                                              {junk.begin() + 40, junk.begin() + 150},
                                              {junk.begin() + 150, junk.end()}};
  for (SoundCodec codec :
       {SoundCodec::kNellymoser16k, SoundCodec::kNellymoser8k, SoundCodec::kNellymoser}) {
    const std::vector<int16_t> out = DecodeAll({codec, 22050, true, false}, pieces);
    ASSERT_EQ(out.size(), 2u * 256 * 3) << int(codec);
    for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]);
  }
  EXPECT_EQ(MakeSoundDecoder({SoundCodec::kNellymoser16k, 5512, true, false})->rate(), 16000u);
  EXPECT_EQ(MakeSoundDecoder({SoundCodec::kNellymoser8k, 5512, true, false})->rate(), 8000u);
  EXPECT_EQ(MakeSoundDecoder({SoundCodec::kNellymoser, 11025, true, false})->rate(), 11025u);
}

// Mono 16-bit PCM of a sine with a whole number of periods: loops join without a step.
std::vector<uint8_t> SinePcm(int frames, int period, double amplitude) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < frames; ++i) {
    const auto s = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * i / period)));
    bytes.push_back(static_cast<uint8_t>(s));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return bytes;
}

std::vector<int16_t> MixAll(Mixer& mixer, size_t frames) {
  std::vector<int16_t> out(2 * frames);
  mixer.Mix(out.data(), frames);
  return out;
}

// The largest jump between neighbouring left samples: a click shows as a jump far above the
// sine's own slope.
int LargestStep(const std::vector<int16_t>& out) {
  int largest = 0;
  for (size_t i = 2; i < out.size(); i += 2)
    largest = std::max(largest, std::abs(out[i] - out[i - 2]));
  return largest;
}

TEST(Mixer, SineLoopsResamplesAndStopsWithoutClicks) {
  const std::vector<uint8_t> sine = SinePcm(2205, 49, 20000);  // 45 periods at 22.05 kHz
  const double slope = 20000 * 2 * M_PI / 98;                  // per 44.1 kHz sample
  struct Case {
    const char* label;
    VoiceSettings settings;
    bool stop_midway;
    size_t expected_frames;  // nonzero samples should end here (within the fade)
  };
  VoiceSettings three_loops;
  three_loops.loops = 3;
  VoiceSettings cut;
  cut.out_point = 1000;  // mid-wave: ends in a fade, not a jump
  std::vector<Case> cases = {
      {"three loops", three_loops, false, 3 * 4410},
      {"out point", cut, false, 1000},
      {"stopped midway", {}, true, 2000},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.label);
    Mixer mixer;
    const SoundFormat format{SoundCodec::kPcmLittle, 22050, true, false};
    const Mixer::VoiceId id = mixer.Play(
        [&] {
          auto d = MakeSoundDecoder(format);
          d->Feed(sine);
          return d;
        },
        c.settings, 7);
    ASSERT_NE(id, 0u);
    std::vector<int16_t> out = MixAll(mixer, 2000);
    if (c.stop_midway) mixer.Stop(id);
    const std::vector<int16_t> rest = MixAll(mixer, 20000);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_LE(LargestStep(out), slope * 1.05);
    // Resampling keeps every source sample at even output positions.
    EXPECT_EQ(out[2 * 2 * 10], static_cast<int16_t>(sine[20] | sine[21] << 8));
    size_t last = 0;
    for (size_t i = 0; i < out.size(); i += 2)
      if (out[i] != 0) last = i / 2;
    EXPECT_GE(last + 1, c.expected_frames - 2);
    EXPECT_LE(last + 1, c.expected_frames + 130);
    EXPECT_EQ(mixer.voice_count(), 0u);
  }
}

TEST(Mixer, EnvelopeTransformAndClamp) {
  const std::vector<uint8_t> loud(2 * 4410, 0x70);  // 0x7070 = 28784, 44.1 kHz mono
  const SoundFormat format{SoundCodec::kPcmLittle, 44100, true, false};
  auto make = [&] {
    auto d = MakeSoundDecoder(format);
    d->Feed(loud);
    return d;
  };
  Mixer mixer;
  VoiceSettings faded;
  faded.envelope = {{0, 0, 32768}, {1000, 32768, 32768}};
  const Mixer::VoiceId a = mixer.Play(make, faded, 1);
  mixer.SetTransform(a, {50, 100, 0, 0, 100});  // half volume
  const std::vector<int16_t> one = MixAll(mixer, 2000);
  EXPECT_EQ(one[0], 0);                      // left starts silent
  EXPECT_NEAR(one[2 * 500], 28784 / 4, 20);  // halfway up, half volume
  EXPECT_NEAR(one[1], 28784 / 2, 1);         // right at half volume throughout
  mixer.Play(make, {}, 2);
  mixer.Play(make, {}, 3);
  const std::vector<int16_t> sum = MixAll(mixer, 10);
  EXPECT_EQ(sum[1], 32767);                             // three voices clamp rather than wrap
  mixer.SetMasterTransform({1e30, 1e30, 0, 0, -1e30});  // a script's volume without bound
  const std::vector<int16_t> loudest = MixAll(mixer, 10);
  EXPECT_EQ(loudest[0], 32767);
  EXPECT_EQ(loudest[1], -32768);
  mixer.SetMasterTransform({});
  EXPECT_TRUE(mixer.KeyPlaying(2));
  mixer.StopKey(2);
  EXPECT_FALSE(mixer.KeyPlaying(2));
  MixAll(mixer, 5000);
  const std::vector<Mixer::VoiceId> finished = mixer.TakeFinished();
  EXPECT_EQ(finished.size(), 2u);  // the stopped one did not complete
}

// Actions written out as bytes, enough for the Sound object's scripts.
struct Script {
  std::vector<uint8_t> bytes;
  Script& Record(uint8_t code, const std::vector<uint8_t>& data) {
    bytes.push_back(code);
    PutU16(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }
  Script& Op(uint8_t code) {
    bytes.push_back(code);
    return *this;
  }
  Script& Push(const std::string& text) {
    std::vector<uint8_t> data{0};
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0);
    return Record(0x96, data);
  }
  Script& Push(double n) {
    uint64_t bits;
    std::memcpy(&bits, &n, 8);
    std::vector<uint8_t> data{6};
    for (int i = 4; i < 8; ++i) data.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    return Record(0x96, data);
  }
  // s.method(args...), its result traced or dropped.
  Script& Call(const std::string& method, std::vector<double> args, bool trace) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) Push(*it);
    Push(static_cast<double>(args.size())).Push("s").Op(0x1C).Push(method).Op(0x52);
    return Op(trace ? 0x26 : 0x17);
  }
};

// DefineSound 5: 0.1 s at a constant 10000.
std::vector<uint8_t> ConstantSound() {
  std::vector<uint8_t> sound;
  PutU16(sound, 5);
  PutU8(sound, 0x3E);  // little-endian PCM, 44.1 kHz, 16-bit, mono
  PutU32(sound, 4410);
  for (int i = 0; i < 4410; ++i) PutU16(sound, 10000);
  return sound;
}

TEST(SoundObject, StartsAttachedSoundsAtItsVolumeCompletesAndStops) {
  // Exported as "beep".
  const std::vector<uint8_t> sound = ConstantSound();
  std::vector<uint8_t> exports;
  PutU16(exports, 1);
  PutU16(exports, 5);
  for (char ch : std::string("beep")) exports.push_back(static_cast<uint8_t>(ch));
  exports.push_back(0);

  Script first;
  first.Push("s").Push(0.0).Push("Sound").Op(0x40).Op(0x1D);
  first.Push("beep").Push(1.0).Push("s").Op(0x1C).Push("attachSound").Op(0x52).Op(0x17);
  first.Call("setVolume", {50}, false).Call("start", {0, 2}, false);
  Script on_complete;
  on_complete.Push("done").Op(0x26);
  first.Push("s").Op(0x1C).Push("onSoundComplete");
  first.Record(0x9B, {0, 0, 0, static_cast<uint8_t>(on_complete.bytes.size()), 0});
  first.bytes.insert(first.bytes.end(), on_complete.bytes.begin(), on_complete.bytes.end());
  first.Op(0x4F);
  first.Push("s").Op(0x1C).Push("duration").Op(0x4E).Op(0x26);
  first.Call("getVolume", {}, true).Call("setPan", {-40}, false).Call("getPan", {}, true);
  first.Op(0);
  Script fourth;  // start again, then stopAllSounds
  fourth.Call("setPan", {0}, false).Call("start", {}, false).Op(0x09).Op(0);

  std::vector<uint8_t> timeline;
  PutTag(timeline, swf_tag::kDefineSound, sound);
  PutTag(timeline, swf_tag::kExportAssets, exports);
  PutTag(timeline, swf_tag::kDoAction, first.bytes);
  for (int frame = 2; frame <= 6; ++frame) {
    PutTag(timeline, swf_tag::kShowFrame, {});
    if (frame == 4) PutTag(timeline, swf_tag::kDoAction, fourth.bytes);
  }
  PutTag(timeline, swf_tag::kShowFrame, {});
  SwfMovieSpec spec;
  spec.version = 8;
  spec.frame_rate_8_8 = 10 * 256;
  spec.frame_count = 6;
  const std::vector<uint8_t> file = WriteSwfMovie(spec, timeline);

  MoviePlayer player(file);
  std::vector<std::string> lines;
  player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
  player.sound().set_enabled(true);
  player.AdvanceFrame();
  EXPECT_EQ(lines, (std::vector<std::string>{"100", "50", "-40"}));
  std::vector<int16_t> out = MixAll(player.sound().mixer(), 4410);
  EXPECT_EQ(out[2 * 100], 5000);      // half volume
  EXPECT_EQ(out[2 * 100 + 1], 3000);  // panned left: the right side at 60 %
  player.AdvanceFrame();
  MixAll(player.sound().mixer(), 4410 + 500);  // the second loop, and the end
  EXPECT_EQ(lines.size(), 3u);
  player.AdvanceFrame();
  EXPECT_EQ(lines.back(), "done");

  player.AdvanceFrame();  // frame 4: started and stopped at once
  out = MixAll(player.sound().mixer(), 1000);
  EXPECT_EQ(out[2 * 999], 0);
  EXPECT_EQ(player.sound().mixer().voice_count(), 0u);
  player.AdvanceFrame();
  EXPECT_EQ(lines.size(), 4u);  // a stopped sound does not complete
}

// new Sound(this) in the root's script turns down what the root's timeline starts afterwards.
TEST(SoundObject, TargetVolumeReachesTheTargetsTimelineSounds) {
  Script script;
  script.Push("t").Push("this").Op(0x1C).Push(1.0).Push("Sound").Op(0x40).Op(0x1D);
  script.Push(25.0).Push(1.0).Push("t").Op(0x1C).Push("setVolume").Op(0x52).Op(0x17).Op(0);
  std::vector<uint8_t> start, timeline;
  PutU16(start, 5);
  PutU8(start, 0);
  PutTag(timeline, swf_tag::kDefineSound, ConstantSound());
  PutTag(timeline, swf_tag::kDoAction, script.bytes);
  PutTag(timeline, swf_tag::kShowFrame, {});
  PutTag(timeline, swf_tag::kStartSound, start);
  PutTag(timeline, swf_tag::kShowFrame, {});
  SwfMovieSpec spec;
  spec.version = 8;
  spec.frame_count = 2;
  const std::vector<uint8_t> file = WriteSwfMovie(spec, timeline);
  MoviePlayer player(file);
  player.sound().set_enabled(true);
  player.AdvanceFrame();
  player.AdvanceFrame();
  const std::vector<int16_t> out = MixAll(player.sound().mixer(), 200);
  EXPECT_EQ(out[2 * 100], 2500);
  EXPECT_EQ(out[2 * 100 + 1], 2500);
}

}  // namespace
}  // namespace flashsaver
