#include "player/display/video_character.h"

#include "player/swf/byte_reader.h"

namespace flashsaver {
namespace {

// The stream's rectangle with a clamped bitmap fill of one pixel per 20 twips.
ShapeDrawing Rectangle(int32_t width, int32_t height, bool smooth) {
  Shape shape;
  const int32_t w = width * 20, h = height * 20;
  shape.bounds = {Twips{0}, Twips{w}, Twips{0}, Twips{h}};
  shape.edge_bounds = shape.bounds;
  StyleArrays styles;
  FillStyle fill;
  fill.kind = FillKind::kBitmap;
  fill.bitmap_id = 0;  // drawn with a source that holds only the current frame
  fill.matrix = Matrix{20, 0, 0, 20, 0, 0};
  fill.bitmap_repeat = false;
  fill.bitmap_smooth = smooth;
  styles.fills.push_back(fill);
  shape.styles.push_back(styles);
  ShapeRecord start;
  start.has_move = true;
  start.fill1 = 1;
  shape.records.push_back(start);
  for (auto [dx, dy] : {std::pair{w, 0}, {0, h}, {-w, 0}, {0, -h}}) {
    ShapeRecord edge;
    edge.kind = ShapeRecord::Kind::kStraight;
    edge.dx = dx;
    edge.dy = dy;
    shape.records.push_back(edge);
  }
  return ShapeDrawing::FromShape(shape);
}

class FrameSource final : public BitmapSource {
 public:
  explicit FrameSource(const Picture& picture) : picture_(picture) {}
  const Picture* FindBitmap(uint16_t) const override { return &picture_; }

 private:
  const Picture& picture_;
};

// Decoding from the first frame to a far one is bounded per picture; the rest follows in the
// next pictures.
constexpr int kMaxDecodesPerDraw = 64;

}  // namespace

std::shared_ptr<VideoCharacter> VideoCharacter::Read(const SwfTag& tag, uint16_t& id) {
  ByteReader reader(tag.body);
  auto video = std::make_shared<VideoCharacter>();
  id = reader.U16();
  video->frame_count_ = reader.U16();
  video->width_ = reader.U16();
  video->height_ = reader.U16();
  const uint8_t flags = reader.U8();
  video->codec_ = reader.U8();
  if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "DefineVideoStream ends early", tag.code);
  video->smoothing_ = (flags & 0x01) != 0;
  video->deblocking_ = static_cast<uint8_t>((flags >> 1) & 0x07);
  video->rectangle_ = Rectangle(video->width_, video->height_, video->smoothing_);
  return video;
}

void VideoCharacter::AddFrame(uint16_t number, std::span<const uint8_t> data) {
  if (number >= frame_count_) return;
  frames_.insert_or_assign(number, data);
}

SwfRect VideoCharacter::Bounds(uint16_t) const {
  return {Twips{0}, Twips{width_ * 20}, Twips{0}, Twips{height_ * 20}};
}

const Picture* VideoCharacter::FrameAt(uint16_t number) const {
  if (frames_.empty()) return nullptr;
  if (int32_t{number} < decoded_ || !decoder_) {
    decoder_ = MakeVideoDecoder(codec_, deblocking_);
    decoded_ = -1;
    if (!decoder_) return nullptr;
  }
  int budget = kMaxDecodesPerDraw;
  auto it = decoded_ < 0 ? frames_.begin() : frames_.upper_bound(static_cast<uint16_t>(decoded_));
  for (; it != frames_.end() && it->first <= number && budget > 0; ++it, --budget) {
    if (decoder_->Decode(it->second, picture_)) shown_ = true;
    decoded_ = it->first;
  }
  return shown_ ? &picture_ : nullptr;
}

void VideoCharacter::Draw(Canvas& canvas, const RenderState& state, const BitmapSource&,
                          uint16_t ratio) const {
  const Picture* frame = FrameAt(ratio);
  if (!frame || frame->width <= 0 || frame->height <= 0) return;
  // The coded picture may differ from the stream's size: it is stretched over the rectangle.
  RenderState scaled = state;
  if (frame->width != width_ || frame->height != height_) {
    const double sx = frame->width ? double(width_) / frame->width : 1;
    const double sy = frame->height ? double(height_) / frame->height : 1;
    scaled.matrix = state.matrix * Matrix{sx, 0, 0, sy, 0, 0};
    ShapeDrawing stretched = Rectangle(frame->width, frame->height, smoothing_);
    canvas.DrawShape(stretched, scaled, FrameSource(*frame));
    return;
  }
  canvas.DrawShape(rectangle_, state, FrameSource(*frame));
}

}  // namespace flashsaver
