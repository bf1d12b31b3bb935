// A Canvas that draws nothing and records what it was asked, so that the display list and the
// timelines are tested without pixels.
#pragma once

#include <vector>

#include "player/render/canvas.h"

namespace flashsaver {

class NullCanvas final : public Canvas {
 public:
  struct Call {
    enum class Kind : uint8_t { kShape, kPath, kBeginMask, kEndMask, kPopMask };
    Kind kind = Kind::kShape;
    const ShapeDrawing* shape = nullptr;  // kShape
    RenderState state;                    // kShape, kPath
    Rgba colour;                          // kPath
  };

  void DrawShape(const ShapeDrawing& shape, const RenderState& state,
                 const BitmapSource&) override {
    calls.push_back({Call::Kind::kShape, &shape, state, {}});
  }
  void FillPath(const Path&, FillRule, Rgba colour, const RenderState& state) override {
    calls.push_back({Call::Kind::kPath, nullptr, state, colour});
  }
  void BeginMask() override { calls.push_back({Call::Kind::kBeginMask, nullptr, {}, {}}); }
  void EndMask() override { calls.push_back({Call::Kind::kEndMask, nullptr, {}, {}}); }
  void PopMask() override { calls.push_back({Call::Kind::kPopMask, nullptr, {}, {}}); }

  std::vector<Call> calls;
};

}  // namespace flashsaver
