// SWF ADPCM. Format notes: each piece (a DefineSound's data, or one stream block) starts with a
// 2-bit code size (bits per sample minus 2). Packets follow: per channel a 16-bit signed first
// sample and a 6-bit step index, then up to 4095 codes per channel, channels interleaved. Codes
// are sign and magnitude; the step comes from the IMA table and the index moves by a table of
// the code size. Bits are read most significant first. The last packet is usually short.
#include <algorithm>
#include <deque>

#include "player/sound/sound_decoders.h"

namespace flashsaver {
namespace {

constexpr int kSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int kIndex2[2] = {-1, 2};
constexpr int kIndex3[4] = {-1, -1, 2, 4};
constexpr int kIndex4[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kIndex5[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int* kIndexTables[4] = {kIndex2, kIndex3, kIndex4, kIndex5};

constexpr int kPacketSamples = 4096;

class AdpcmDecoder final : public SoundDecoder {
 public:
  explicit AdpcmDecoder(const SoundFormat& format)
      : channels_(format.stereo ? 2 : 1), rate_(format.rate) {}

  void Feed(std::span<const uint8_t> piece) override { pieces_.push_back(piece); }

  size_t Read(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      if (left_in_packet_ == 0 && !StartPacket()) break;
      if (first_pending_) {
        first_pending_ = false;  // the first frame of a packet is the header's own sample
      } else if (!Bits(code_bits_ * channels_, false)) {  // a packet cut short ends the piece
        EndPiece();
        continue;
      } else {
        for (int c = 0; c < channels_; ++c) Step(c, static_cast<int>(Bits(code_bits_, true)));
      }
      out[2 * done] = static_cast<int16_t>(predictor_[0]);
      out[2 * done + 1] = static_cast<int16_t>(predictor_[channels_ - 1]);
      ++done;
      --left_in_packet_;
    }
    return done;
  }

  uint32_t rate() const override { return rate_; }

 private:
  // Reads the next packet header, moving to the next piece when this one is used up.
  bool StartPacket() {
    for (;;) {
      if (pieces_.empty()) return false;
      if (!in_piece_) {
        bit_pos_ = 0;
        in_piece_ = true;
        if (!Bits(2, false)) {
          EndPiece();
          continue;
        }
        code_bits_ = static_cast<int>(Bits(2, true)) + 2;
      }
      if (!Bits(22 * channels_, false)) {
        EndPiece();
        continue;
      }
      for (int c = 0; c < channels_; ++c) {
        predictor_[c] = static_cast<int16_t>(Bits(16, true));
        index_[c] = static_cast<int>(Bits(6, true));
        index_[c] = std::min(index_[c], 88);
      }
      first_pending_ = true;
      left_in_packet_ = kPacketSamples;
      return true;
    }
  }

  void Step(int c, int code) {
    const int sign = 1 << (code_bits_ - 1);
    int step = kSteps[index_[c]];
    int diff = 0;
    for (int k = sign >> 1; k; k >>= 1) {
      if (code & k) diff += step;
      step >>= 1;
    }
    diff += step;
    predictor_[c] = std::clamp(predictor_[c] + ((code & sign) ? -diff : diff), -32768, 32767);
    index_[c] = std::clamp(index_[c] + kIndexTables[code_bits_ - 2][code & (sign - 1)], 0, 88);
  }

  // Takes count bits when `take`; otherwise only says whether that many are left.
  uint32_t Bits(int count, bool take) {
    const std::span<const uint8_t> piece = pieces_.front();
    if (bit_pos_ + static_cast<size_t>(count) > piece.size() * 8) return 0;
    if (!take) return 1;
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++bit_pos_) {
      value = (value << 1) | ((piece[bit_pos_ >> 3] >> (7 - (bit_pos_ & 7))) & 1);
    }
    return value;
  }

  void EndPiece() {
    pieces_.pop_front();
    in_piece_ = false;
    left_in_packet_ = 0;
  }

  const int channels_;
  const uint32_t rate_;
  std::deque<std::span<const uint8_t>> pieces_;
  bool in_piece_ = false;
  size_t bit_pos_ = 0;
  int code_bits_ = 4;
  int left_in_packet_ = 0;
  bool first_pending_ = false;
  int predictor_[2] = {0, 0};
  int index_[2] = {0, 0};
};

}  // namespace

std::unique_ptr<SoundDecoder> MakeAdpcmDecoder(const SoundFormat& format) {
  return std::make_unique<AdpcmDecoder>(format);
}

}  // namespace flashsaver
