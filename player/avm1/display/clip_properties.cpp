// The display properties of clips as scripts read and write them: positions in pixels, scale and
// rotation taken apart from the matrix and put back, alpha from the colour transform, sizes
// from the bounds in the parent's space.
#include <cmath>
#include <limits>
#include <optional>

#include "player/display/clip_drawing.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::ClipProperty;
using avm1::Value;

void Unite(std::optional<SwfRect>& into, const SwfRect& r) {
  if (!into) {
    into = r;
    return;
  }
  into->x_min.value = std::min(into->x_min.value, r.x_min.value);
  into->y_min.value = std::min(into->y_min.value, r.y_min.value);
  into->x_max.value = std::max(into->x_max.value, r.x_max.value);
  into->y_max.value = std::max(into->y_max.value, r.y_max.value);
}

// A coordinate in whole twips as Flash's 32-bit arithmetic gives it: a value out of range (or
// NaN) becomes the most negative integer, as the x86 conversion does.
int32_t TwipsOf(double v) {
  if (!(v > -2147483648.5 && v < 2147483647.5)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::nearbyint(v));
}

int32_t WrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Corners are mapped as Flash maps them: the scaled and rotated part made a 32-bit integer, the
// translation then added with wraparound, so huge clips come out at odd but definite places.
SwfRect Transformed(const SwfRect& r, const Matrix& m) {
  const int32_t tx = TwipsOf(m.tx), ty = TwipsOf(m.ty);
  int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  for (int i = 0; i < 4; ++i) {
    const double x = i & 1 ? r.x_max.value : r.x_min.value;
    const double y = i & 2 ? r.y_max.value : r.y_min.value;
    const int32_t px = WrappingAdd(TwipsOf(m.a * x + m.c * y), tx);
    const int32_t py = WrappingAdd(TwipsOf(m.b * x + m.d * y), ty);
    x0 = i ? std::min(x0, px) : px, x1 = i ? std::max(x1, px) : px;
    y0 = i ? std::min(y0, py) : py, y1 = i ? std::max(y1, py) : py;
  }
  return {Twips{x0}, Twips{x1}, Twips{y0}, Twips{y1}};
}

}  // namespace

// Bounds of an object's content in the space that `m` maps it to; none when it draws nothing.
// The drawing API's shape of a clip, mapped by m; nothing when it drew nothing.
std::optional<SwfRect> DrawingBounds(const Clip& clip, const Matrix& m) {
  if (!clip.drawing || clip.drawing->empty()) return std::nullopt;
  const SwfRect& own = clip.drawing->Drawing().bounds();
  if (own.x_min.value > own.x_max.value || own.y_min.value > own.y_max.value) return std::nullopt;
  return Transformed(own, m);
}

std::optional<SwfRect> ContentBounds(const DisplayObject& object, const Matrix& m, int level) {
  std::optional<SwfRect> bounds;
  if (level > kMaxClipNesting) return bounds;
  if (object.clip) {
    bounds = DrawingBounds(*object.clip, m);
    for (const auto& [depth, child] : object.clip->children) {
      if (auto b = ContentBounds(*child, m * child->matrix, level + 1)) Unite(bounds, *b);
    }
  } else if (const auto* d = dynamic_cast<const DrawableCharacter*>(object.character)) {
    const SwfRect own = object.text ? object.text->bounds() : d->Bounds(object.ratio);
    if (own.x_min.value <= own.x_max.value && own.y_min.value <= own.y_max.value) {
      bounds = Transformed(own, m);
    }
  }
  return bounds;
}

namespace {

DisplayObject* ObjectOf(Clip* clip, DisplayObject& root_object) {
  if (!clip) return nullptr;
  return clip->owner ? clip->owner : &root_object;
}

ScaleRotation ScriptTransform(const DisplayObject& o) {
  if (o.has_script_transform) {
    ScaleRotation s = Decompose(o.matrix);
    s.xscale = o.script_xscale;
    s.yscale = o.script_yscale;
    s.rotation = o.script_rotation;
    return s;
  }
  return Decompose(o.matrix);
}

void SetTransform(DisplayObject& o, const ScaleRotation& s) {
  // The script reads back an infinite scale as given; the matrix stays finite.
  ScaleRotation finite = s;
  finite.xscale = std::clamp(s.xscale, -1e9, 1e9);
  finite.yscale = std::clamp(s.yscale, -1e9, 1e9);
  if (!std::isfinite(s.rotation)) finite.rotation = 0;  // an infinite angle reads NaN
  o.matrix = Recompose(finite, o.matrix.tx, o.matrix.ty);
  o.has_script_transform = true;
  o.script_xscale = s.xscale;
  o.script_yscale = s.yscale;
  o.script_rotation = s.rotation;
}

}  // namespace

Value ScriptHost::GetClipProperty(avm1::Object* obj, ClipProperty p) {
  Clip* clip = ClipOf(obj);
  return PropertyOf(ObjectOf(clip, root_object_), clip, p);
}

void ScriptHost::SetClipProperty(avm1::Object* obj, ClipProperty p, const Value& v) {
  Clip* clip = ClipOf(obj);
  SetPropertyOf(ObjectOf(clip, root_object_), clip, p, v);
}

Value ScriptHost::PropertyOf(DisplayObject* o, Clip* clip, ClipProperty p) {
  if (!o) return Value();
  const Matrix& m = o->matrix;
  switch (p) {
    // A text field's position is its box's corner: the box may start off the origin.
    case ClipProperty::kX:
      return (m.tx + (o->text ? o->text->bounds().x_min.value : 0)) / 20;
    case ClipProperty::kY:
      return (m.ty + (o->text ? o->text->bounds().y_min.value : 0)) / 20;
    case ClipProperty::kXScale:
      return ScriptTransform(*o).xscale;
    case ClipProperty::kYScale:
      return ScriptTransform(*o).yscale;
    case ClipProperty::kRotation: {
      double r = ScriptTransform(*o).rotation;
      return r;
    }
    case ClipProperty::kCurrentFrame:
      return clip && clip->timeline ? static_cast<double>(std::max(clip->current_frame, 0) + 1)
                                    : 1.0;
    case ClipProperty::kTotalFrames:
    case ClipProperty::kFramesLoaded:
      if (!clip || !clip->timeline) return 1.0;
      if (clip->timeline->claimed_frames > 0 &&
          static_cast<size_t>(clip->timeline->claimed_frames) < clip->timeline->frames.size()) {
        return static_cast<double>(clip->timeline->claimed_frames);
      }
      return static_cast<double>(clip->timeline->frames.size());
    case ClipProperty::kAlpha:
      return o->color.a_mult / 256.0 * 100;
    case ClipProperty::kVisible:
      return o->visible;
    case ClipProperty::kWidth:
    case ClipProperty::kHeight: {
      const auto b = ContentBounds(*o, o->matrix, 0);
      if (!b) return 0.0;
      // The size is a 32-bit difference too, wrapping when the extent passes its range.
      return p == ClipProperty::kWidth ? WrappingAdd(b->x_max.value, -b->x_min.value) / 20.0
                                       : WrappingAdd(b->y_max.value, -b->y_min.value) / 20.0;
    }
    case ClipProperty::kTarget: {
      if (clip) return ClipPath(ObjectFor(*clip), false);
      std::string parent = o->parent ? ClipPath(ObjectFor(*o->parent), false) : "";
      return (parent == "/" ? "" : parent) + "/" + o->name;
    }
    case ClipProperty::kName:
      return o->name;  // the root's too: a script may name it (swf6)
    case ClipProperty::kDropTarget: {
      // No drop target: SWF 4 and 5 movies read undefined, later ones an empty string.
      std::string target = DropTargetOf(o);
      if (target.empty() && vm_->swf_version() < 6) return Value();
      return target;
    }
    case ClipProperty::kUrl:
      return UrlOf(clip);
    case ClipProperty::kHighQuality:
      return quality_ == 3 ? 2.0 : quality_ == 0 ? 0.0 : 1.0;
    case ClipProperty::kFocusRect:
      // SWF 5 has one setting, a number; later clips have their own, unset by default.
      if (vm_->swf_version() < 6) return focus_rect_ ? 1.0 : 0.0;
      if (o != &root_object_) return o->focus_rect ? Value(*o->focus_rect) : Value::Null();
      return focus_rect_;
    case ClipProperty::kSoundBufTime:
      return static_cast<double>(sound_buf_time_);
    case ClipProperty::kQuality: {
      static const char* const kNames[] = {"LOW", "MEDIUM", "HIGH", "BEST"};
      return std::string(kNames[quality_]);
    }
    case ClipProperty::kXMouse:
    case ClipProperty::kYMouse: {
      // The pointer in the clip's own space.
      Matrix to_stage;
      if (o != &root_object_) {
        for (const DisplayObject* d = o; d; d = d->parent ? d->parent->owner : nullptr) {
          to_stage = d->matrix * to_stage;
        }
      }
      const double det = to_stage.a * to_stage.d - to_stage.b * to_stage.c;
      if (det == 0) return 0.0;
      const double x = mouse_x * 20 - to_stage.tx, y = mouse_y * 20 - to_stage.ty;
      const double lx = (to_stage.d * x - to_stage.c * y) / det;
      const double ly = (-to_stage.b * x + to_stage.a * y) / det;
      return std::round(p == ClipProperty::kXMouse ? lx / 20 : ly / 20);
    }
  }
  return Value();
}

void ScriptHost::SetPropertyOf(DisplayObject* o, Clip* clip, ClipProperty p, const Value& v) {
  (void)clip;
  if (!o) return;
  auto number = [&](double& out) {
    out = vm_->ToNumber(v);
    return std::isfinite(out);
  };
  // Scales take infinities but, like positions, ignore NaN and undefined (swf6).
  auto scale = [&](double& out) {
    out = vm_->ToNumber(v);
    return !std::isnan(out) && !v.IsNullish();
  };
  double n = 0;
  switch (p) {
    case ClipProperty::kX:
    case ClipProperty::kY:
      n = vm_->ToNumber(v);
      // NaN leaves the position as it was (swf6, swf7); twips are 32-bit, so infinities wrap
      // to the lowest.
      if (std::isnan(n) || v.IsNullish()) break;  // undefined too, even where it reads 0
      n = std::isinf(n) ? -2147483648.0 / 20 : n;
      if (!o->has_script_transform) {
        const ScaleRotation s = Decompose(o->matrix);
        o->has_script_transform = true;
        o->script_xscale = s.xscale, o->script_yscale = s.yscale, o->script_rotation = s.rotation;
      }
      if (o->text) {
        const SwfRect& b = o->text->bounds();
        n -= (p == ClipProperty::kX ? b.x_min.value : b.y_min.value) / 20.0;
      }
      (p == ClipProperty::kX ? o->matrix.tx : o->matrix.ty) =
          std::clamp(std::round(n * 20), -2147483648.0, 2147483647.0);
      break;
    case ClipProperty::kXScale:
    case ClipProperty::kYScale:
    case ClipProperty::kRotation: {
      if (!scale(n)) break;
      ScaleRotation s = ScriptTransform(*o);
      if (p == ClipProperty::kXScale) s.xscale = n;
      if (p == ClipProperty::kYScale) s.yscale = n;
      if (p == ClipProperty::kRotation) {
        n = std::fmod(n, 360);
        if (n > 180) n -= 360;
        if (n < -180) n += 360;
        s.rotation = n;
      }
      SetTransform(*o, s);
      break;
    }
    case ClipProperty::kAlpha:
      // Infinities give 0, as they do in integer conversions (swf6).
      if (scale(n)) {
        n = std::isfinite(n) ? n : 0;
        o->color.a_mult = static_cast<int16_t>(std::clamp(n * 2.56, -32768.0, 32767.0));
      }
      break;
    case ClipProperty::kVisible:
      // A number, through valueOf for objects; text that is no number is ignored (swf6).
      if (scale(n)) o->visible = n != 0;
      break;
    case ClipProperty::kWidth:
    case ClipProperty::kHeight: {
      if (!number(n) || n < 0) break;
      if (o->text) {
        // A text field's box takes the size; its text is not scaled.
        // From the box as auto-size last left it, so that the side it keeps stays put.
        SwfRect b = o->text->bounds();
        const int32_t size = static_cast<int32_t>(std::min(std::round(n * 20), 2147483647.0));
        (p == ClipProperty::kWidth ? b.x_max : b.y_max) =
            Twips{(p == ClipProperty::kWidth ? b.x_min : b.y_min).value + size};
        o->text->settings().bounds = b;
        o->text->Changed();
        ++o->text_revision;
        break;
      }
      // Scale the content's own size to the wanted one, rotation kept.
      const auto b = ContentBounds(*o, Matrix{}, 0);
      if (!b) break;
      const double own = p == ClipProperty::kWidth ? b->x_max.value - b->x_min.value
                                                   : b->y_max.value - b->y_min.value;
      if (own <= 0) break;
      ScaleRotation s = ScriptTransform(*o);
      (p == ClipProperty::kWidth ? s.xscale : s.yscale) = n * 20 / own * 100;
      SetTransform(*o, s);
      break;
    }
    case ClipProperty::kName:
      // From SWF 7 a NaN name reads "0" (swf7; SWF 6 keeps "NaN").
      o->name = v.IsNumber() && std::isnan(v.AsNumber()) && vm_->swf_version() >= 7
                    ? std::string("0")
                    : vm_->ToString(v);
      break;
    // The movie-wide ones, with the player's conversions (swf6, swf7).
    case ClipProperty::kHighQuality:
      if (scale(n)) quality_ = n >= 2 ? 3 : n != 0 ? 2 : 0;
      break;
    case ClipProperty::kQuality: {
      static const char* const kNames[] = {"LOW", "MEDIUM", "HIGH", "BEST"};
      const std::string name = vm_->ToString(v);
      for (int q = 0; q < 4; ++q) {
        if (avm1::NamesEqual(name, kNames[q], false)) quality_ = q;
      }
      break;
    }
    case ClipProperty::kFocusRect:
      if (o != &root_object_ && vm_->swf_version() >= 6) {
        // Its own setting, as a boolean of the version's conversion (focusrect_property_swf6).
        o->focus_rect = v.IsNullish() ? std::nullopt : std::optional(vm_->ToBool(v));
        break;
      }
      if (v.IsObject()) {
        focus_rect_ = false;  // without calling valueOf
      } else if (scale(n)) {
        focus_rect_ = n != 0;
      }
      break;
    case ClipProperty::kSoundBufTime:
      // NaN and undefined leave it; infinities give the lowest integer, as an x86 conversion.
      if (scale(n)) {
        sound_buf_time_ = std::isinf(n)
                              ? std::numeric_limits<int32_t>::min()
                              : static_cast<int32_t>(std::clamp(n, -2147483648.0, 2147483647.0));
      }
      break;
    default:
      break;  // the rest are read-only or movie-wide settings without effect here
  }
}

}  // namespace flashsaver
