// Mixes one second of output (44.1 kHz stereo) from N voices at once: 22 kHz mono ADPCM and
// 11 kHz PCM sounds, both resampled, looping, with envelopes on half of them; with an MP3 file
// named in FLASHSAVER_BENCH_MP3 every fourth voice plays that instead. The reported
// "core_percent" is the CPU time per second of sound over one second; the one-voice case is the
// peer the sixteen are read against.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "player/sound/mixer.h"
#include "player/sound/sound_decoder.h"

namespace {

using namespace flashsaver;

// 16-bit mono PCM of a tone: a second of it at the given rate.
std::vector<uint8_t> Tone(uint32_t rate, double hz) {
  std::vector<uint8_t> out;
  for (uint32_t i = 0; i < rate; ++i) {
    const auto s = static_cast<int16_t>(12000 * std::sin(2 * M_PI * hz * i / rate));
    out.push_back(static_cast<uint8_t>(s));
    out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return out;
}

// 4-bit mono ADPCM (the first two bits say so), about six packets of 4096 samples; the bits
// after that are any pattern: every pattern decodes.
std::vector<uint8_t> Adpcm() {
  std::vector<uint8_t> out{0x80};
  for (int i = 0; i < 12400; ++i) out.push_back(static_cast<uint8_t>((i * 37) ^ 0x5A));
  return out;
}

void BM_Mix(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  const std::vector<uint8_t> pcm = Tone(11025, 440), adpcm = Adpcm();
  std::vector<uint8_t> mp3;
  if (const char* path = std::getenv("FLASHSAVER_BENCH_MP3")) {
    std::ifstream in(path, std::ios::binary);
    mp3.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  Mixer mixer;
  auto start = [&](int i) {
    SoundFormat format;
    format.stereo = false;
    format.sixteen_bit = true;
    const std::vector<uint8_t>* data = &pcm;
    if (i % 4 == 3 && !mp3.empty()) {
      format.codec = SoundCodec::kMp3;
      data = &mp3;
    } else if (i % 2 == 0) {
      format.codec = SoundCodec::kPcmLittle;
      format.rate = 11025;
    } else {
      format.codec = SoundCodec::kAdpcm;
      format.rate = 22050;
      data = &adpcm;
    }
    VoiceSettings settings;
    settings.loops = 1000000;
    if (i % 4 < 2) settings.envelope = {{0, 0, 32768}, {44100, 32768, 0}, {88200, 16384, 16384}};
    mixer.Play(
        [format, data] {
          auto d = MakeSoundDecoder(format);
          d->Feed(*data);
          return d;
        },
        settings, static_cast<uint64_t>(i));
  };
  for (int i = 0; i < voices; ++i) start(i);
  std::vector<int16_t> out(2 * 1024);
  for (auto _ : state) {
    for (int block = 0; block < 43; ++block) mixer.Mix(out.data(), 1024);  // ~1 s
    benchmark::DoNotOptimize(out.data());
  }
  if (mixer.voice_count() != static_cast<size_t>(voices)) state.SkipWithError("a voice ended");
  // Inverted rate: seconds per (value × iterations), so value is the sound per iteration / 100.
  state.counters["core_percent"] = benchmark::Counter(
      43.0 * 1024 / kMixRate / 100.0,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Mix)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
