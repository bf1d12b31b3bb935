#include "player/render/agg_canvas.h"

namespace flashsaver {

// Scaffolding until the rasterizer lands: draws nothing.
struct AggCanvas::Impl {};

AggCanvas::AggCanvas(Picture&, const CanvasOptions&) : impl_(std::make_unique<Impl>()) {}
AggCanvas::~AggCanvas() = default;
void AggCanvas::DrawShape(const ShapeDrawing&, const RenderState&, const BitmapSource&) {}
void AggCanvas::FillPath(const Path&, FillRule, Rgba, const RenderState&) {}
void AggCanvas::BeginMask() {}
void AggCanvas::EndMask() {}
void AggCanvas::PopMask() {}

}  // namespace flashsaver
