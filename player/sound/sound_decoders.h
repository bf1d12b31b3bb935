// The decoders behind MakeSoundDecoder, one file each.
#pragma once

#include "player/sound/sound_decoder.h"

namespace flashsaver {

std::unique_ptr<SoundDecoder> MakePcmDecoder(const SoundFormat& format);
std::unique_ptr<SoundDecoder> MakeAdpcmDecoder(const SoundFormat& format);
std::unique_ptr<SoundDecoder> MakeMp3Decoder(const SoundFormat& format);
std::unique_ptr<SoundDecoder> MakeNellymoserDecoder(const SoundFormat& format);

}  // namespace flashsaver
