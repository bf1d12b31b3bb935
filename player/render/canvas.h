// The player's drawing back end. The display list walks its objects and asks a Canvas to draw
// them; the AGG canvas rasterizes into a Picture, the null canvas only records, so that the
// display list and timelines are tested without pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "player/render/blend.h"
#include "player/render/filters.h"
#include "player/render/path.h"
#include "player/render/picture.h"
#include "player/swf/swf_types.h"

namespace flashsaver {

class ShapeDrawing;  // a shape's styles and outlines, prepared for drawing (render/shape_drawing.h)

// Where bitmap fills find their pictures: the movie's character library.
class BitmapSource {
 public:
  virtual ~BitmapSource() = default;
  // The decoded bitmap of a character id, or null when there is none.
  virtual const Picture* FindBitmap(uint16_t id) const = 0;
};

// Everything that transforms a drawn object on its way to the target: the matrix from the
// object's twips to target pixels, and the concatenated colour transform.
struct RenderState {
  Matrix matrix;
  ColorTransform color;
};

// What a layer does to its picture: its filters in order, then its blend mode. Filter sizes
// are stage pixels, multiplied by scale_x and scale_y to reach target pixels.
struct LayerEffects {
  std::vector<Filter> filters;
  BlendMode blend = BlendMode::kNormal;
  double scale_x = 1, scale_y = 1;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  // A shape with its fill and line styles (solid, gradient and bitmap fills, strokes).
  virtual void DrawShape(const ShapeDrawing& shape, const RenderState& state,
                         const BitmapSource& bitmaps) = 0;
  // An outline filled with one colour (glyphs of text); the colour transform is applied here.
  virtual void FillPath(const Path& path, FillRule rule, Rgba colour, const RenderState& state) = 0;

  // Masks (clip depths): after BeginMask the following draws build the mask's coverage
  // (intersected with the masks already in force); after EndMask they are drawn clipped to it;
  // PopMask drops it. Masks nest.
  virtual void BeginMask() = 0;
  virtual void EndMask() = 0;
  virtual void PopMask() = 0;

  // Layers (filters and blend modes): after BeginLayer the following draws go into a new
  // transparent picture; EndLayer runs the filters over it and blends it onto what lies below.
  // Layers nest; masks in force apply to the draws inside a layer.
  virtual void BeginLayer(const LayerEffects& effects) = 0;
  virtual void EndLayer() = 0;
};

// What the player asks of the rasterizer for one picture.
struct CanvasOptions {
  bool anti_alias = true;      // off at low quality
  bool smooth_bitmaps = true;  // off at low quality
  PixelBox clip;               // only these pixels are touched; empty means the whole picture
};

}  // namespace flashsaver
