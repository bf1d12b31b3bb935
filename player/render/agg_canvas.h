// The Canvas that rasterizes with AGG into a Picture.
#pragma once

#include <memory>
#include <optional>

#include "player/render/canvas.h"

namespace flashsaver {

class AggCanvas final : public Canvas {
 public:
  // Layers open at once that get a picture of their own; deeper ones draw without effects.
  static constexpr size_t kMaxLayers = 8;

  // target must outlive the canvas; options.clip limits every pixel touched.
  AggCanvas(Picture& target, const CanvasOptions& options);
  ~AggCanvas() override;
  AggCanvas(const AggCanvas&) = delete;
  AggCanvas& operator=(const AggCanvas&) = delete;

  void DrawShape(const ShapeDrawing& shape, const RenderState& state,
                 const BitmapSource& bitmaps) override;
  void FillPath(const Path& path, FillRule rule, Rgba colour, const RenderState& state) override;
  void BeginMask() override;
  void EndMask() override;
  void PopMask() override;
  void BeginLayer(const LayerEffects& effects) override;
  void EndLayer() override;
  bool BeginCachedLayer(const LayerEffects& effects, const CachedLayer& layer) override;
  bool KeepsLayers() const override;

 private:
  void BeginLayerKept(const LayerEffects& effects, const std::optional<CachedLayer>& keep);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace flashsaver
