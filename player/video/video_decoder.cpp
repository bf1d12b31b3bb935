// The decoders are libavcodec's, built with only these codecs by scripts/setup.
#include "player/video/video_decoder.h"

#include "player/video/h263_deblock.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <mutex>

namespace flashsaver {
namespace {

constexpr int kMaxSide = 4096;  // larger frames are refused, as the player refuses such bitmaps

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// One libavcodec decoder, fed whole packets.
class AvStream {
 public:
  explicit AvStream(AVCodecID id) {
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec) return;
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_) return;
    context_->thread_count = 1;
    // Sorenson H.263 takes the floating-point inverse DCT below; libavcodec's default integer
    // one strays from it by a level here and there.
    if (id == AV_CODEC_ID_FLV1) context_->idct_algo = FF_IDCT_FAAN;
    if (avcodec_open2(context_.get(), codec, nullptr) < 0) context_.reset();
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
  }
  bool ok() const { return context_ && frame_ && packet_; }

  // The decoded frame of the packet, or null.
  const AVFrame* Decode(std::span<const uint8_t> data) {
    if (!ok() || data.empty() || data.size() > (64u << 20)) return nullptr;
    // libavcodec reads up to its padding past the end of a packet.
    buffer_.assign(data.begin(), data.end());
    const size_t size = buffer_.size();
    buffer_.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    packet_->data = buffer_.data();
    packet_->size = static_cast<int>(size);
    if (avcodec_send_packet(context_.get(), packet_.get()) < 0) return nullptr;
    if (avcodec_receive_frame(context_.get(), frame_.get()) < 0) return nullptr;
    if (frame_->width <= 0 || frame_->height <= 0 || frame_->width > kMaxSide ||
        frame_->height > kMaxSide) {
      return nullptr;
    }
    return frame_.get();
  }

 private:
  std::unique_ptr<AVCodecContext, CodecContextFree> context_;
  std::unique_ptr<AVFrame, FrameFree> frame_;
  std::unique_ptr<AVPacket, PacketFree> packet_;
  std::vector<uint8_t> buffer_;
};

void Resize(Picture& picture, int w, int h) {
  if (picture.width != w || picture.height != h) picture = Picture(w, h);
}

// A planar 4:2:0 frame (and the luma of an alpha frame, when given) into the picture.
bool FromYuv(const AVFrame& f, const AVFrame* alpha, Picture& picture) {
  if (f.format != AV_PIX_FMT_YUV420P && f.format != AV_PIX_FMT_YUVA420P) return false;
  Resize(picture, f.width, f.height);
  const bool own_alpha = f.format == AV_PIX_FMT_YUVA420P;
  for (int y = 0; y < f.height; ++y) {
    const uint8_t* yr = f.data[0] + static_cast<ptrdiff_t>(y) * f.linesize[0];
    const uint8_t* ur = f.data[1] + static_cast<ptrdiff_t>(y / 2) * f.linesize[1];
    const uint8_t* vr = f.data[2] + static_cast<ptrdiff_t>(y / 2) * f.linesize[2];
    const uint8_t* ar = nullptr;
    if (own_alpha) {
      ar = f.data[3] + static_cast<ptrdiff_t>(y) * f.linesize[3];
    } else if (alpha && y < alpha->height) {
      ar = alpha->data[0] + static_cast<ptrdiff_t>(y) * alpha->linesize[0];
    }
    const int alpha_width = own_alpha ? f.width : (alpha ? alpha->width : 0);
    uint32_t* out = picture.Row(y);
    for (int x = 0; x < f.width; ++x) {
      const uint32_t colour = YuvToPixel(yr[x], ur[x / 2], vr[x / 2], 255);
      if (!ar) {
        out[x] = colour;
        continue;
      }
      // VP6 with alpha codes its colour already multiplied by the alpha: the colour stays as
      // decoded, only held within the alpha as premultiplied pixels must be.
      const uint32_t a = x < alpha_width ? ar[x] : 255;
      auto held = [a](uint32_t c) { return std::min(c & 0xFF, a); };
      out[x] = a << 24 | held(colour >> 16) << 16 | held(colour >> 8) << 8 | held(colour);
    }
  }
  return true;
}

// Screen video frames come as packed BGR.
bool FromBgr(const AVFrame& f, Picture& picture) {
  if (f.format != AV_PIX_FMT_BGR24) return false;
  Resize(picture, f.width, f.height);
  for (int y = 0; y < f.height; ++y) {
    const uint8_t* in = f.data[0] + static_cast<ptrdiff_t>(y) * f.linesize[0];
    uint32_t* out = picture.Row(y);
    for (int x = 0; x < f.width; ++x) {
      out[x] = 0xFF000000u | (uint32_t(in[3 * x + 2]) << 16) | (uint32_t(in[3 * x + 1]) << 8) |
               in[3 * x];
    }
  }
  return true;
}

class OneStreamDecoder final : public VideoDecoder {
 public:
  explicit OneStreamDecoder(AVCodecID id) : stream_(id) {}
  bool ok() const { return stream_.ok(); }
  bool Decode(std::span<const uint8_t> packet, Picture& picture) override {
    const AVFrame* f = stream_.Decode(packet);
    if (!f) return false;
    if (f->format == AV_PIX_FMT_BGR24) return FromBgr(*f, picture);
    return FromYuv(*f, nullptr, picture);
  }

 private:
  AvStream stream_;
};

// Sorenson H.263 with the deblocking post-filter where the stream or the packet asks for it.
// The decoder's own planes are its reference for the next picture: the filter works on copies.
class SorensonDecoder final : public VideoDecoder {
 public:
  explicit SorensonDecoder(uint8_t deblocking) : stream_(AV_CODEC_ID_FLV1), mode_(deblocking) {}
  bool ok() const { return stream_.ok(); }
  bool Decode(std::span<const uint8_t> packet, Picture& picture) override {
    const AVFrame* f = stream_.Decode(packet);
    if (!f) return false;
    const std::optional<SorensonPicture> header = ReadSorensonPicture(packet);
    const bool wanted = mode_ >= 2 || (mode_ == 0 && header && header->deblocking);
    const int strength = header ? DeblockStrength(header->quantizer) : 0;
    if (!wanted || strength == 0 || f->format != AV_PIX_FMT_YUV420P) {
      return FromYuv(*f, nullptr, picture);
    }
    AVFrame filtered = *f;  // the same fields, its planes pointing at the copies
    for (int p = 0; p < 3; ++p) {
      const int w = p == 0 ? f->width : (f->width + 1) / 2;
      const int h = p == 0 ? f->height : (f->height + 1) / 2;
      planes_[p].resize(size_t(w) * h);
      for (int y = 0; y < h; ++y) {
        std::copy_n(f->data[p] + ptrdiff_t(y) * f->linesize[p], w,
                    planes_[p].data() + size_t(y) * w);
      }
      DeblockPlane(planes_[p].data(), w, w, h, strength);
      filtered.data[p] = planes_[p].data();
      filtered.linesize[p] = w;
    }
    return FromYuv(filtered, nullptr, picture);
  }

 private:
  AvStream stream_;
  uint8_t mode_;
  std::vector<uint8_t> planes_[3];
};

// VP6 with alpha in SWF: a 24-bit offset, the colour stream, then the alpha stream, each a
// VP6 stream of its own whose luma is the alpha.
class Vp6AlphaDecoder final : public VideoDecoder {
 public:
  Vp6AlphaDecoder() : colour_(AV_CODEC_ID_VP6F), alpha_(AV_CODEC_ID_VP6F) {}
  bool ok() const { return colour_.ok() && alpha_.ok(); }
  bool Decode(std::span<const uint8_t> packet, Picture& picture) override {
    if (packet.size() < 3) return false;
    const size_t offset = packet[0] << 16 | packet[1] << 8 | packet[2];
    if (offset > packet.size() - 3) return false;
    const AVFrame* c = colour_.Decode(packet.subspan(3, offset));
    if (!c) return false;
    const AVFrame* a = alpha_.Decode(packet.subspan(3 + offset));
    return FromYuv(*c, a, picture);
  }

 private:
  AvStream colour_, alpha_;
};

template <typename D, typename... Args>
std::unique_ptr<VideoDecoder> Opened(Args... args) {  // null when the codec is missing
  auto d = std::make_unique<D>(args...);
  if (!d->ok()) return nullptr;
  return d;
}

}  // namespace

uint32_t YuvToPixel(int y, int u, int v, int alpha) {
  // Fixed point with 16 fraction bits; the coefficients are BT.601's for studio range.
  const int c = (y - 16) * 76309, d = u - 128, e = v - 128;
  auto clamp = [](int value) { return std::clamp((value + 32768) >> 16, 0, 255); };
  const int r = clamp(c + 104597 * e), g = clamp(c - 25675 * d - 53279 * e),
            b = clamp(c + 132201 * d);
  const int a = std::clamp(alpha, 0, 255);
  auto pre = [a](int ch) { return static_cast<uint32_t>((ch * a + 127) / 255); };
  return (uint32_t(a) << 24) | (pre(r) << 16) | (pre(g) << 8) | pre(b);
}

std::unique_ptr<VideoDecoder> MakeVideoDecoder(uint8_t codec_id, uint8_t deblocking) {
  // A damaged frame is the movie's problem, shown as a missing picture, not a console message.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  switch (codec_id) {
    case 2:
      return Opened<SorensonDecoder>(deblocking);
    case 3:
      return Opened<OneStreamDecoder>(AV_CODEC_ID_FLASHSV);
    case 4:
      // The Flash form of VP6: upside down to plain VP6; SWF packets are its raw frames.
      return Opened<OneStreamDecoder>(AV_CODEC_ID_VP6F);
    case 5:
      return Opened<Vp6AlphaDecoder>();
    case 6:
      return Opened<OneStreamDecoder>(AV_CODEC_ID_FLASHSV2);
    default:
      return nullptr;
  }
}

}  // namespace flashsaver

// The inverse DCT that Sorenson H.263 pictures are judged against: single-precision sums of
// products with the cosine table below, columns first, then rows; the result rounded half away
// from zero and held to -256..255 before it is added to the prediction. libavcodec takes its
// floating-point IDCT (idct_algo FF_IDCT_FAAN, chosen above for H.263 only) from these three
// functions: defined here, they stand in for its own, whose factored arithmetic rounds a few
// samples differently. No other decoder of this build uses them.
namespace flashsaver {
namespace {

// kBasis[u][x] = C(u) cos((2x + 1) u pi / 16), C(0) = 1 / sqrt 2, rounded to single precision.
constexpr float kBasis[8][8] = {
    {0.70710677f, 0.70710677f, 0.70710677f, 0.70710677f, 0.70710677f, 0.70710677f, 0.70710677f,
     0.70710677f},
    {0.98078525f, 0.8314696f, 0.5555702f, 0.19509023f, -0.19509032f, -0.55557036f, -0.83146966f,
     -0.9807853f},
    {0.9238795f, 0.38268343f, -0.38268352f, -0.9238796f, -0.9238795f, -0.38268313f, 0.3826836f,
     0.92387956f},
    {0.8314696f, -0.19509032f, -0.9807853f, -0.55557f, 0.55557007f, 0.98078525f, 0.19509007f,
     -0.8314698f},
    {0.70710677f, -0.70710677f, -0.70710665f, 0.707107f, 0.70710677f, -0.70710725f, -0.70710653f,
     0.7071068f},
    {0.5555702f, -0.9807853f, 0.19509041f, 0.83146936f, -0.8314698f, -0.19508928f, 0.9807853f,
     -0.55557007f},
    {0.38268343f, -0.9238795f, 0.92387974f, -0.3826839f, -0.38268384f, 0.9238793f, -0.92387974f,
     0.3826839f},
    {0.19509023f, -0.55557f, 0.83146936f, -0.9807852f, 0.98078525f, -0.83147013f, 0.55557114f,
     -0.19508967f},
};

// The 64 samples of block (coefficients row by row) as residuals, held to -256..255.
void FloatIdct(const int16_t* block, int residual[64]) {
  float columns[8][8], samples[8][8];  // [y][horizontal frequency], [y][x]
  for (int u = 0; u < 8; ++u) {
    for (int y = 0; y < 8; ++y) {
      float sum = 0;
      for (int v = 0; v < 8; ++v) sum += static_cast<float>(block[v * 8 + u]) * kBasis[v][y];
      columns[y][u] = sum;
    }
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      float sum = 0;
      for (int u = 0; u < 8; ++u) sum += columns[y][u] * kBasis[u][x];
      samples[y][x] = sum;
    }
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const float v = samples[y][x];
      const float rounded = v / 4.0f + (v > 0 ? 0.5f : v < 0 ? -0.5f : 0.f);
      residual[y * 8 + x] =
          std::clamp(static_cast<int>(std::clamp(rounded, -32768.f, 32767.f)), -256, 255);
    }
  }
}

}  // namespace
}  // namespace flashsaver

extern "C" {

void ff_faanidct(int16_t block[64]) {
  int r[64];
  flashsaver::FloatIdct(block, r);
  for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(r[i]);
}

void ff_faanidct_put(uint8_t* dest, ptrdiff_t line_size, int16_t block[64]) {
  int r[64];
  flashsaver::FloatIdct(block, r);
  for (int y = 0; y < 8; ++y, dest += line_size) {
    for (int x = 0; x < 8; ++x) dest[x] = static_cast<uint8_t>(std::clamp(r[y * 8 + x], 0, 255));
  }
}

void ff_faanidct_add(uint8_t* dest, ptrdiff_t line_size, int16_t block[64]) {
  int r[64];
  flashsaver::FloatIdct(block, r);
  for (int y = 0; y < 8; ++y, dest += line_size) {
    for (int x = 0; x < 8; ++x) {
      dest[x] = static_cast<uint8_t>(std::clamp(dest[x] + r[y * 8 + x], 0, 255));
    }
  }
}

}  // extern "C"
