// The first byte picks the format (codec, rate, size, channels as in a DefineSound); the rest is
// split into two pieces, as stream blocks arrive, and decoded through the mixer with a loop,
// an in point and an envelope.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/sound/mixer.h"
#include "player/sound/sound_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace flashsaver;
  if (size < 2) return 0;
  constexpr uint32_t kRates[4] = {5512, 11025, 22050, 44100};
  SoundFormat format;
  const uint8_t codecs[3] = {0, 1, 2};
  format.codec = static_cast<SoundCodec>(codecs[(data[0] >> 4) % 3]);
  format.rate = kRates[(data[0] >> 2) & 3];
  format.sixteen_bit = (data[0] & 2) != 0;
  format.stereo = (data[0] & 1) != 0;
  const std::span<const uint8_t> body(data + 2, size - 2);
  const size_t cut = body.empty() ? 0 : data[1] % body.size();

  auto decoder = MakeSoundDecoder(format);
  decoder->Feed(body.first(cut));
  decoder->Feed(body.subspan(cut));
  std::vector<int16_t> out(2 * 4096);
  size_t total = 0;
  while (size_t n = decoder->Read(out.data(), 4096)) {
    total += n;
    if (total > (size_t{1} << 22)) __builtin_trap();  // more output than any input can hold
  }

  Mixer mixer;
  VoiceSettings settings;
  settings.loops = 2;
  settings.in_point = data[1];
  settings.envelope = {{0, 0, 0}, {100, 32768, 16000}};
  mixer.Play(
      [&] {
        auto d = MakeSoundDecoder(format);
        d->Feed(body);
        return d;
      },
      settings, 1);
  for (int i = 0; i < 64 && mixer.voice_count() > 0; ++i) mixer.Mix(out.data(), 1024);
  return 0;
}
