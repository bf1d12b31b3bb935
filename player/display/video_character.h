// DefineVideoStream as a character: the stream's frames (VideoFrame tags, wherever they stand)
// and the decoder that turns them into pictures. The placed object's ratio is the frame shown.
#pragma once

#include <map>
#include <memory>
#include <span>

#include "player/display/character.h"
#include "player/render/shape_drawing.h"
#include "player/swf/swf_movie.h"
#include "player/video/video_decoder.h"

namespace flashsaver {

class VideoCharacter final : public DrawableCharacter {
 public:
  // Throws SwfError (kBadTag) for a tag too short to read.
  static std::shared_ptr<VideoCharacter> Read(const SwfTag& tag, uint16_t& id);

  CharacterType type() const override { return CharacterType::kVideo; }
  void Draw(Canvas& canvas, const RenderState& state, const BitmapSource& bitmaps,
            uint16_t ratio) const override;
  SwfRect Bounds(uint16_t ratio) const override;

  // A VideoFrame's data; frames past the stream's count are dropped, as Flash drops them.
  void AddFrame(uint16_t number, std::span<const uint8_t> data);

 private:
  // The picture of frame number, decoded on from the last one or from the first frame.
  const Picture* FrameAt(uint16_t number) const;

  uint16_t frame_count_ = 0;
  uint16_t width_ = 0, height_ = 0;
  uint8_t codec_ = 0;
  bool smoothing_ = false;
  uint8_t deblocking_ = 0;  // 0: as each packet asks, 1: off, 2 and up: on
  std::map<uint16_t, std::span<const uint8_t>> frames_;
  ShapeDrawing rectangle_;  // the stream's rectangle, filled with its picture

  // Decoding state: drawing is the only user, and a movie draws from one thread at a time.
  mutable std::unique_ptr<VideoDecoder> decoder_;
  mutable Picture picture_;
  mutable int32_t decoded_ = -1;  // the frame number in picture_
  mutable bool shown_ = false;    // picture_ holds a frame
};

}  // namespace flashsaver
