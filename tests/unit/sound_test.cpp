#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "player/sound/mixer.h"
#include "player/sound/sound_decoder.h"

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
  for (auto& c : cases) {
    SCOPED_TRACE(c.label);
    SoundFormat format{SoundCodec::kPcmLittle, 11025, c.sixteen_bit, c.stereo};
    EXPECT_EQ(DecodeAll(format, c.pieces), c.frames);
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
  EXPECT_EQ(sum[1], 32767);  // three voices clamp rather than wrap
  EXPECT_TRUE(mixer.KeyPlaying(2));
  mixer.StopKey(2);
  EXPECT_FALSE(mixer.KeyPlaying(2));
  MixAll(mixer, 5000);
  const std::vector<Mixer::VoiceId> finished = mixer.TakeFinished();
  EXPECT_EQ(finished.size(), 2u);  // the stopped one did not complete
}

}  // namespace
}  // namespace flashsaver
