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

class LayerCache;    // pictures of layers kept between frames (render/layer_cache.h)
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

  // A layer whose finished picture may be kept between frames (see LayerCache). object names
  // the object; look tells one appearance of it from another, translation aside; (x, y) is its
  // origin in target pixels. True: the kept picture was put down at the new place, and the
  // caller draws nothing of the object and does not call EndLayer. False: as BeginLayer.
  struct CachedLayer {
    uint64_t object = 0;
    uint64_t look = 0;
    double x = 0, y = 0;
  };
  virtual bool BeginCachedLayer(const LayerEffects& effects, const CachedLayer& layer) {
    (void)layer;
    BeginLayer(effects);
    return false;
  }
  // Whether BeginCachedLayer can ever return true (so that looks are worth computing).
  virtual bool KeepsLayers() const { return false; }
};

// What the player asks of the rasterizer for one picture.
struct CanvasOptions {
  bool anti_alias = true;      // off at low quality
  bool smooth_bitmaps = true;  // off at low quality
  PixelBox clip;               // only these pixels are touched; empty means the whole picture
  // Where layers' pictures are kept between frames of the same target; none when null.
  LayerCache* layer_cache = nullptr;
};

}  // namespace flashsaver
