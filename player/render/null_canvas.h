// A Canvas that draws nothing and records what it was asked, so that the display list, the
// timelines and masks are tested without pixels.
#pragma once

#include <vector>

#include "player/render/canvas.h"

namespace flashsaver {

class NullCanvas final : public Canvas {
 public:
  struct Call {
    enum class Kind : uint8_t {
      kShape,
      kPath,
      kBeginMask,
      kEndMask,
      kPopMask,
      kBeginLayer,
      kEndLayer
    };
    Kind kind = Kind::kShape;
    const ShapeDrawing* shape = nullptr;  // kShape
    const Path* path = nullptr;           // kPath; valid only during the draw
    Rgba colour;                          // kPath
    RenderState state;                    // kShape, kPath
  };

  void DrawShape(const ShapeDrawing& shape, const RenderState& state,
                 const BitmapSource&) override {
    calls.push_back({Call::Kind::kShape, &shape, nullptr, {}, state});
  }
  void FillPath(const Path& path, FillRule, Rgba colour, const RenderState& state) override {
    calls.push_back({Call::Kind::kPath, nullptr, &path, colour, state});
  }
  void BeginMask() override { calls.push_back({Call::Kind::kBeginMask, nullptr, nullptr, {}, {}}); }
  void EndMask() override { calls.push_back({Call::Kind::kEndMask, nullptr, nullptr, {}, {}}); }
  void PopMask() override { calls.push_back({Call::Kind::kPopMask, nullptr, nullptr, {}, {}}); }
  void BeginLayer(const LayerEffects& effects) override {
    calls.push_back({Call::Kind::kBeginLayer, nullptr, nullptr, {}, {}});
    layers.push_back(effects);
  }
  void EndLayer() override { calls.push_back({Call::Kind::kEndLayer, nullptr, nullptr, {}, {}}); }

  std::vector<LayerEffects> layers;  // the effects of each BeginLayer, in order

  std::vector<Call> calls;
};

}  // namespace flashsaver
