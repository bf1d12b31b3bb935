#include "player/display/display_list.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <type_traits>

#include "player/display/clip_drawing.h"
#include "player/display/shape_character.h"
#include "player/render/nine_slice.h"

namespace flashsaver {
namespace {

void ApplyPlace(DisplayObject& object, const PlaceCommand& place) {
  if (place.matrix) object.matrix = *place.matrix;
  if (place.color) object.color = *place.color;
  if (place.ratio) object.ratio = *place.ratio;
  if (place.name) object.name = *place.name;
  if (place.clip_depth) object.clip_depth = *place.clip_depth;
  if (place.blend_mode) object.blend_mode = place.blend_mode;
  if (place.cache_as_bitmap) object.cache_as_bitmap = *place.cache_as_bitmap;
  if (!place.filters.empty()) object.filters = place.filters;
  if (!place.clip_actions.empty()) object.clip_actions = place.clip_actions;
}

// The state a frame of a timeline reaches when played from its first frame: per depth the
// character, the frame that created it, and the fields placed since.
struct TargetPlace {
  uint16_t character_id = 0;
  int32_t created_frame = 0;
  PlaceCommand fields;  // the merged fields
};

void Merge(PlaceCommand& into, const PlaceCommand& place) {
  if (place.matrix) into.matrix = place.matrix;
  if (place.color) into.color = place.color;
  if (place.ratio) into.ratio = place.ratio;
  if (place.name) into.name = place.name;
  if (place.clip_depth) into.clip_depth = place.clip_depth;
  if (place.blend_mode) into.blend_mode = place.blend_mode;
  if (place.cache_as_bitmap) into.cache_as_bitmap = place.cache_as_bitmap;
  if (!place.filters.empty()) into.filters = place.filters;
  if (!place.clip_actions.empty()) into.clip_actions = place.clip_actions;
}

std::map<int32_t, TargetPlace> StateAt(const Timeline& timeline, int32_t frame) {
  std::map<int32_t, TargetPlace> state;
  for (int32_t f = 0; f <= frame; ++f) {
    for (const ControlCommand& command : timeline.frames[static_cast<size_t>(f)].commands) {
      if (const auto* remove = std::get_if<RemoveCommand>(&command)) {
        state.erase(remove->depth);
        continue;
      }
      const auto& place = std::get<PlaceCommand>(command);
      const auto it = state.find(place.depth);
      if (!place.move && place.character_id) {
        TargetPlace target{*place.character_id, f, {}};
        Merge(target.fields, place);
        state.insert_or_assign(place.depth, std::move(target));
      } else if (place.move && it != state.end()) {
        if (place.character_id) it->second.character_id = *place.character_id;
        Merge(it->second.fields, place);
      }
    }
  }
  return state;
}

SwfRect TransformBounds(const SwfRect& r, const Matrix& m) {
  const Point corners[4] = {m.Apply({double(r.x_min.value), double(r.y_min.value)}),
                            m.Apply({double(r.x_max.value), double(r.y_min.value)}),
                            m.Apply({double(r.x_min.value), double(r.y_max.value)}),
                            m.Apply({double(r.x_max.value), double(r.y_max.value)})};
  double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
  for (const Point& p : corners) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  // Out-of-range coordinates are held to what a twips rectangle can say.
  auto clamp = [](double v) {
    return static_cast<int32_t>(std::clamp(std::isfinite(v) ? v : 0.0, -1e9, 1e9));
  };
  return {Twips{clamp(std::floor(x0))}, Twips{clamp(std::ceil(x1))}, Twips{clamp(std::floor(y0))},
          Twips{clamp(std::ceil(y1))}};
}

uint64_t MixKey(uint64_t key, uint64_t serial) {
  return (key ^ serial) * 0x100000001B3ull + 0x9E3779B97F4A7C15ull;
}

// Filters and blend modes other than normal draw the object into a layer of its own.
bool HasEffects(const DisplayObject& object) {
  return !object.filters.empty() ||
         (object.blend_mode && BlendModeOf(*object.blend_mode) != BlendMode::kNormal);
}

// Tells one set of effects from another, so that a changed filter redraws its object.
uint64_t EffectsKey(const DisplayObject& object) {
  uint64_t key = 0xCBF29CE484222325ull ^ object.blend_mode.value_or(0);
  auto mix = [&key](double v) { key = (key ^ std::hash<double>{}(v)) * 0x100000001B3ull; };
  for (const Filter& f : object.filters) {
    mix(static_cast<double>(f.kind));
    mix(f.blur_x), mix(f.blur_y), mix(f.angle), mix(f.distance), mix(f.strength);
    mix(f.passes), mix(f.inner + 2 * f.knockout + 4 * f.hide_object + 8 * f.on_top);
    mix(f.colour.r << 24 | f.colour.g << 16 | f.colour.b << 8 | f.colour.a);
    mix(f.highlight.r << 24 | f.highlight.g << 16 | f.highlight.b << 8 | f.highlight.a);
    for (const auto& [ratio, c] : f.gradient) mix(ratio << 24 | c.r << 16 | c.g << 8 | c.b);
    // Scripts change these too: a gradient's alphas and the convolution's settings.
    for (const auto& entry : f.gradient) mix(entry.second.a);
    mix(f.matrix_x), mix(f.matrix_y), mix(f.divisor), mix(f.bias),
        mix(f.clamp + 2 * f.preserve_alpha);
    mix(f.default_colour.r << 24 | f.default_colour.g << 16 | f.default_colour.b << 8 |
        f.default_colour.a);
    for (float v : f.matrix) mix(v);
    for (float v : f.colour_matrix) mix(v);
  }
  return key;
}

// A leaf drawn through its sprite's nine-slice grid: its own matrix inside the sprite goes
// into the slicing, and the leaf's matrix is the sprite's without the scale.
struct SlicedLeaf {
  const NineSlice& slice;
  Matrix child;
};

// Walks the tree in drawing order with the masks in force, for drawing and for the leaf list.
// The matrix from an object's own space to the stage.
Matrix StageMatrixOfObject(const DisplayObject& object) {
  Matrix m = object.matrix;
  for (const Clip* c = object.parent; c && c->owner; c = c->owner->parent) {
    m = c->owner->matrix * m;
  }
  return m;
}

template <typename Visitor>
class Walker {
  template <typename>
  friend class Walker;  // LookOf walks a subtree with another visitor

 public:
  // grids: the main movie's scaling grids (a loaded movie's clips use their own).
  Walker(Visitor& visit, int max_level, const std::map<uint16_t, SwfRect>& grids,
         const DisplayList* list = nullptr, const Matrix& stage_to_target = Matrix{})
      : visit_(visit),
        max_level_(max_level),
        grids_(grids),
        list_(list),
        stage_to_target_(stage_to_target) {}

  void WalkClip(const Clip& clip, const Matrix& m, const ColorTransform& c, uint64_t mask_key,
                int level, const NineSlice* slice = nullptr) {
    if (level > max_level_) return;
    if (clip.drawing && !clip.drawing->empty()) visit_.Drawn(clip, m, c, mask_key);
    std::vector<std::pair<int32_t, uint64_t>> masks;  // clip depth, key before it
    auto child = [&](const DisplayObject* object) {
      const int32_t depth = object->depth;
      while (!masks.empty() && depth > masks.back().first) {
        mask_key = masks.back().second;
        masks.pop_back();
        visit_.PopMask();
      }
      if (!object->visible) return;
      const DisplayObject* script_mask = nullptr;
      if (list_) {
        // A script mask is drawn only as the mask of the object it masks.
        if (list_->IsScriptMask(*object)) return;
        script_mask = list_->ScriptMaskOf(*object);
      }
      if (script_mask) {
        const uint64_t mask_built = MixKey(mask_key, script_mask->serial);
        visit_.BeginMask();
        WalkObject(*script_mask, stage_to_target_ * StageMatrixOfObject(*script_mask),
                   ColorTransform{}, MixKey(mask_built, 1), level);
        visit_.EndMask();
      }
      const Matrix om = m * object->matrix;
      if (object->clip_depth != 0) {
        const uint64_t mask_built = MixKey(mask_key, object->serial);
        visit_.BeginMask();
        WalkObject(*object, om, ColorTransform{}, MixKey(mask_built, 1), level);
        visit_.EndMask();
        masks.emplace_back(object->clip_depth, mask_key);
        mask_key = mask_built;
        if (script_mask) visit_.PopMask();
        return;
      }
      const uint64_t key = script_mask ? MixKey(mask_key, script_mask->serial) : mask_key;
      const auto* drawable = dynamic_cast<const DrawableCharacter*>(object->character);
      if (slice && !object->clip && !object->text && drawable) {
        const SlicedLeaf sliced{*slice, object->matrix};
        visit_.Leaf(*object, *drawable, slice->Unscaled(m), c * object->color, key, &sliced);
      } else if (HasEffects(*object) || object->cache_as_bitmap) {
        const ColorTransform oc = c * object->color;
        const uint64_t layer_key = MixKey(key, EffectsKey(*object));
        // The fuzz build's clang cannot capture a structured binding.
        auto look = [&, obj = object] { return LookOf(*obj, om, oc, layer_key, level); };
        if (visit_.BeginLayer(*object, om, look)) {
          WalkObject(*object, om, oc, layer_key, level);
          visit_.EndLayer();
        }
      } else {
        WalkObject(*object, om, c * object->color, key, level);
      }
      if (script_mask) visit_.PopMask();
    };
    if (clip.indexed) {
      for (const DisplayObject* object : clip.order) child(object);
    } else {
      for (const auto& [depth, object] : clip.children) child(object.get());
    }
    for (size_t i = 0; i < masks.size(); ++i) visit_.PopMask();
  }

 private:
  // What the object's subtree looks like, as a key: equal keys draw the same picture, moved by
  // the difference of the object's translations.
  uint64_t LookOf(const DisplayObject& object, const Matrix& m, const ColorTransform& c,
                  uint64_t mask_key, int level) const;

  void WalkObject(const DisplayObject& object, const Matrix& m, const ColorTransform& c,
                  uint64_t mask_key, int level) {
    if (object.clip) {
      const std::optional<NineSlice> slice = SliceOf(object);
      WalkClip(*object.clip, m, c, mask_key, level + 1, slice ? &*slice : nullptr);
    } else if (const auto* drawable = dynamic_cast<const DrawableCharacter*>(object.character)) {
      visit_.Leaf(object, *drawable, m, c, mask_key, nullptr);
    }
  }

  // The grid of a sprite with a scaling grid, over the shapes placed directly in it.
  std::optional<NineSlice> SliceOf(const DisplayObject& object) const {
    const std::map<uint16_t, SwfRect>& grids =
        object.parent && object.parent->movie ? object.parent->movie->scaling_grids : grids_;
    const auto grid = grids.find(object.character_id);
    if (grid == grids.end()) return std::nullopt;
    std::optional<SwfRect> area;
    for (const auto& [depth, child] : object.clip->children) {
      const auto* drawable = dynamic_cast<const DrawableCharacter*>(child->character);
      if (!drawable || child->clip || child->text || child->clip_depth != 0) continue;
      const SwfRect own = drawable->Bounds(child->ratio);
      if (own.x_min.value > own.x_max.value || own.y_min.value > own.y_max.value) continue;
      const SwfRect placed = TransformBounds(own, child->matrix);
      if (!area) {
        area = placed;
      } else {
        area->x_min.value = std::min(area->x_min.value, placed.x_min.value);
        area->y_min.value = std::min(area->y_min.value, placed.y_min.value);
        area->x_max.value = std::max(area->x_max.value, placed.x_max.value);
        area->y_max.value = std::max(area->y_max.value, placed.y_max.value);
      }
    }
    if (!area) return std::nullopt;
    return NineSlice::Make(*area, grid->second, object.matrix);
  }

  Visitor& visit_;
  int max_level_;
  const std::map<uint16_t, SwfRect>& grids_;
  const DisplayList* list_;
  Matrix stage_to_target_;
};

// Mixes everything that decides the pixels of a subtree into one key; matrices count relative
// to the translation of the subtree's object.
struct LookVisitor {
  uint64_t key = 0xCBF29CE484222325ull;
  double origin_x = 0, origin_y = 0;

  void Mix(uint64_t v) { key = MixKey(key, v); }
  void Mix(double v) { Mix(std::bit_cast<uint64_t>(v)); }
  void Mix(const Matrix& m) {
    for (double v : {m.a, m.b, m.c, m.d, m.tx - origin_x, m.ty - origin_y}) Mix(v);
  }
  void Mix(const ColorTransform& c) {
    for (int16_t v : {c.r_mult, c.g_mult, c.b_mult, c.a_mult, c.r_add, c.g_add, c.b_add, c.a_add})
      Mix(uint64_t(uint16_t(v)));
  }
  template <typename Look>
  bool BeginLayer(const DisplayObject& object, const Matrix&, const Look&) {
    Mix(uint64_t{1}), Mix(EffectsKey(object));
    return true;
  }
  void EndLayer() { Mix(uint64_t{2}); }
  void BeginMask() { Mix(uint64_t{3}); }
  void EndMask() { Mix(uint64_t{4}); }
  void PopMask() { Mix(uint64_t{5}); }
  void Leaf(const DisplayObject& object, const DrawableCharacter& drawable, const Matrix& m,
            const ColorTransform& c, uint64_t, const SlicedLeaf* sliced) {
    Mix(object.serial), Mix(uint64_t(reinterpret_cast<uintptr_t>(&drawable)));
    Mix(uint64_t(object.text ? object.text_revision : object.ratio));
    Mix(uint64_t(drawable.revision()));  // a BitmapData's pixels
    Mix(sliced ? m * sliced->child : m), Mix(c);
    if (sliced) {
      const SwfRect area = sliced->slice.MappedBounds();
      for (int32_t v : {area.x_min.value, area.y_min.value, area.x_max.value, area.y_max.value})
        Mix(uint64_t(uint32_t(v)));
    }
  }
  void Drawn(const Clip& clip, const Matrix& m, const ColorTransform& c, uint64_t) {
    Mix(clip.owner ? clip.owner->serial : 0), Mix(uint64_t(clip.drawing->revision()));
    Mix(m), Mix(c);
  }
};

template <typename Visitor>
uint64_t Walker<Visitor>::LookOf(const DisplayObject& object, const Matrix& m,
                                 const ColorTransform& c, uint64_t mask_key, int level) const {
  LookVisitor look;
  look.origin_x = m.tx, look.origin_y = m.ty;
  look.Mix(EffectsKey(object));
  Walker<LookVisitor> walker(look, max_level_, grids_, list_, stage_to_target_);
  walker.WalkObject(object, m, c, mask_key, level);
  return look.key;
}

struct DrawVisitor {
  Canvas& canvas;
  const BitmapSource& bitmaps;      // the main movie's; a loaded movie's leaves use their own
  double scale_x = 1, scale_y = 1;  // stage pixels to target pixels, for filter sizes
  template <typename Look>
  bool BeginLayer(const DisplayObject& object, const Matrix& m, const Look& look) {
    LayerEffects effects;
    effects.filters = object.filters;
    effects.blend = BlendModeOf(object.blend_mode.value_or(0));
    effects.scale_x = scale_x;
    effects.scale_y = scale_y;
    if (canvas.KeepsLayers()) {
      return !canvas.BeginCachedLayer(effects,
                                      Canvas::CachedLayer{object.serial, look(), m.tx, m.ty});
    }
    canvas.BeginLayer(effects);
    return true;
  }
  void EndLayer() { canvas.EndLayer(); }
  void BeginMask() { canvas.BeginMask(); }
  void EndMask() { canvas.EndMask(); }
  void PopMask() { canvas.PopMask(); }
  void Leaf(const DisplayObject& object, const DrawableCharacter& drawable, const Matrix& m,
            const ColorTransform& c, uint64_t, const SlicedLeaf* sliced) {
    if (object.text) {
      object.text->Draw(canvas, RenderState{m, c});
    } else if (const auto* shape = dynamic_cast<const ShapeCharacter*>(&drawable);
               sliced && shape) {
      const Clip* parent = object.parent;
      canvas.DrawShape(sliced->slice.Slice(shape->drawing(), sliced->child), RenderState{m, c},
                       parent && parent->movie ? parent->movie->library : bitmaps);
    } else {
      const Clip* parent = object.parent;
      const BitmapSource& source = parent && parent->movie ? parent->movie->library : bitmaps;
      drawable.Draw(canvas, RenderState{sliced ? m * sliced->child : m, c}, source, object.ratio);
    }
  }
  void Drawn(const Clip& clip, const Matrix& m, const ColorTransform& c, uint64_t) {
    canvas.DrawShape(clip.drawing->Drawing(), RenderState{m, c},
                     clip.movie ? clip.movie->library : bitmaps);
  }
};

struct LeafVisitor {
  std::vector<DrawnLeaf> leaves;
  uint16_t pass = 0;  // differs between calls: drawings of script bitmaps always count as changed
  // How far the filters of the layers now open reach beyond a leaf, in stage twips.
  std::vector<PixelBox> reach{PixelBox{}};
  template <typename Look>
  bool BeginLayer(const DisplayObject& object, const Matrix&, const Look&) {
    PixelBox r = reach.back();
    for (const Filter& f : object.filters) {
      const PixelBox m = FilterMargins(f, 1, 1);
      r.left += m.left * 20, r.top += m.top * 20, r.right += m.right * 20,
          r.bottom += m.bottom * 20;
    }
    reach.push_back(r);
    return true;
  }
  void EndLayer() { reach.pop_back(); }
  void BeginMask() {}
  void EndMask() {}
  void PopMask() {}
  void Leaf(const DisplayObject& object, const DrawableCharacter& drawable, const Matrix& m,
            const ColorTransform& c, uint64_t mask_key, const SlicedLeaf* sliced) {
    // A sliced leaf looks different when its place in the sprite changes, too.
    DrawnLeaf leaf{object.serial,
                   &drawable,
                   sliced ? m * sliced->child : m,
                   c,
                   static_cast<uint16_t>(object.text ? object.text_revision
                                                     : object.ratio ^ drawable.revision()),
                   mask_key,
                   std::nullopt};
    const SwfRect own = object.text ? object.text->bounds() : drawable.Bounds(object.ratio);
    if (sliced) {
      leaf.bounds = TransformBounds(sliced->slice.MappedBounds(), m);
    } else if (own.x_min.value <= own.x_max.value && own.y_min.value <= own.y_max.value) {
      leaf.bounds = TransformBounds(own, m);
    }
    if (leaf.bounds) {
      const PixelBox& r = reach.back();
      leaf.bounds->x_min.value -= r.left, leaf.bounds->y_min.value -= r.top;
      leaf.bounds->x_max.value += r.right, leaf.bounds->y_max.value += r.bottom;
    }
    leaves.push_back(leaf);
  }
  // A clip's drawing counts as a leaf of its own, known by its owner's serial (the root's 0).
  void Drawn(const Clip& clip, const Matrix& m, const ColorTransform& c, uint64_t mask_key) {
    const ShapeDrawing& drawing = clip.drawing->Drawing();
    DrawnLeaf leaf{clip.owner ? clip.owner->serial : 0,
                   nullptr,
                   m,
                   c,
                   static_cast<uint16_t>(clip.drawing->revision() ^
                                         (clip.drawing->live_pictures() ? pass : 0)),
                   mask_key,
                   std::nullopt};
    const SwfRect& own = drawing.bounds();
    if (own.x_min.value <= own.x_max.value && own.y_min.value <= own.y_max.value) {
      leaf.bounds = TransformBounds(own, m);
    }
    leaves.push_back(leaf);
  }
};

void Unite(std::optional<SwfRect>& area, const std::optional<SwfRect>& add) {
  if (!add) return;
  if (!area) {
    area = add;
    return;
  }
  area->x_min.value = std::min(area->x_min.value, add->x_min.value);
  area->y_min.value = std::min(area->y_min.value, add->y_min.value);
  area->x_max.value = std::max(area->x_max.value, add->x_max.value);
  area->y_max.value = std::max(area->y_max.value, add->y_max.value);
}

}  // namespace

std::optional<SwfRect> ChangedArea(const std::vector<DrawnLeaf>& before,
                                   const std::vector<DrawnLeaf>& now) {
  std::optional<SwfRect> area;
  // Both lists are sorted by serial: a merge finds the leaves that came, went or changed.
  size_t i = 0, j = 0;
  while (i < before.size() || j < now.size()) {
    if (j == now.size() || (i < before.size() && before[i].serial < now[j].serial)) {
      Unite(area, before[i++].bounds);
    } else if (i == before.size() || now[j].serial < before[i].serial) {
      Unite(area, now[j++].bounds);
    } else {
      if (!before[i].SameLook(now[j])) {
        Unite(area, before[i].bounds);
        Unite(area, now[j].bounds);
      }
      ++i, ++j;
    }
  }
  return area;
}

DisplayObject::~DisplayObject() {
  if (live_count) --*live_count;
  if (parent && parent->indexed) std::erase(parent->order, this);
  if (script3 && parent && parent->hooks) parent->hooks->NodeGone(*this);
  if (masks_in) masks_in->ForgetMasks(*this);
  if (text_script && parent && parent->hooks) parent->hooks->TextRemoved(*this);
}

Clip::~Clip() {
  if (hooks) hooks->ClipRemoved(*this);
}

bool DisplayList::Waiting(const Clip& clip) {
  if (!clip.movie || clip.timeline != &clip.movie->root) return false;
  return clip.movie->root_shown_frames < clip.movie->header.frame_count;
}

void DisplayList::SetScriptMask(DisplayObject& masked, DisplayObject* mask) {
  script_masks_.erase(&masked);
  if (!mask || mask == &masked) return;
  script_masks_[&masked] = mask;
  masked.masks_in = this;
  mask->masks_in = this;
}

void DisplayList::ForgetMasks(const DisplayObject& object) {
  script_masks_.erase(&object);
  for (auto it = script_masks_.begin(); it != script_masks_.end();) {
    it = it->second == &object ? script_masks_.erase(it) : std::next(it);
  }
}

void DisplayList::StopMasking(const DisplayObject& mask) {
  std::erase_if(script_masks_, [&mask](const auto& entry) { return entry.second == &mask; });
}

const DisplayObject* DisplayList::ScriptMaskOf(const DisplayObject& masked) const {
  if (script_masks_.empty()) return nullptr;
  const auto it = script_masks_.find(&masked);
  return it == script_masks_.end() ? nullptr : it->second;
}

bool DisplayList::IsScriptMask(const DisplayObject& object) const {
  if (script_masks_.empty()) return false;
  for (const auto& [masked, mask] : script_masks_) {
    if (mask == &object) return true;
  }
  return false;
}

int DisplayList::LevelOf(const Clip& clip) {
  int level = 0;
  for (const Clip* c = &clip; c->owner && c->owner->parent; c = c->owner->parent) ++level;
  return level;
}

void DisplayList::GotoClip(Clip& clip, int32_t frame) {
  if (!clip.timeline || clip.timeline->frames.empty()) return;
  const int level = LevelOf(clip);
  if (clip.current_frame < 0) {
    RunFrame(clip, 0, level);
    if (frame <= 0) return;
  }
  GotoClipFrame(clip, frame, level);
}

void DisplayList::StepClip(Clip& clip, int delta) {
  if (!clip.timeline) return;
  const int32_t target = clip.current_frame + delta;
  if (target < 0 || target >= static_cast<int32_t>(clip.timeline->frames.size())) return;
  GotoClipFrame(clip, target, LevelOf(clip));
}

DisplayObject* DisplayList::AddScripted(Clip& parent, uint16_t character_id, int32_t depth,
                                        const std::string& name) {
  const int level = LevelOf(parent);
  std::unique_ptr<DisplayObject> object;
  if (character_id == 0) {
    if (live_objects_ >= kMaxDisplayObjects || level + 1 >= kMaxClipNesting) return nullptr;
    object = std::make_unique<DisplayObject>();
    object->serial = next_serial_++;
    object->created_tick = tick_;
    object->live_count = &live_objects_;
    ++live_objects_;
    object->parent = &parent;
    object->depth = depth;
    object->clip = std::make_unique<Clip>();
    object->clip->movie = parent.movie;
    object->clip->owner = object.get();
    object->clip->hooks = hooks_;
    object->clip->indexed = indexed_;
  } else {
    object = Create(character_id, parent.current_frame, level, parent, depth, &name);
    if (!object) return nullptr;
  }
  object->scripted = true;
  object->name = name;
  // The old object goes first, so its unload comes before the new one's load.
  DisplayObject* raw = Put(parent, depth, std::move(object));
  Start(*raw, level);
  return raw;
}

DisplayObject* DisplayList::AddScriptedText(Clip& parent,
                                            std::shared_ptr<const EditTextCharacter> character,
                                            int32_t depth, const std::string& name) {
  if (live_objects_ >= kMaxDisplayObjects || !character) return nullptr;
  auto object = std::make_unique<DisplayObject>();
  object->serial = next_serial_++;
  object->created_tick = tick_;
  object->live_count = &live_objects_;
  ++live_objects_;
  object->parent = &parent;
  object->depth = depth;
  object->scripted = true;
  object->name = name;
  object->character = character.get();
  object->text = std::make_unique<TextField>(character->definition());
  object->own_character = std::move(character);
  return Put(parent, depth, std::move(object));
}

DisplayObject* DisplayList::AddScriptedLeaf(Clip& parent,
                                            std::shared_ptr<const DrawableCharacter> character,
                                            int32_t depth) {
  if (live_objects_ >= kMaxDisplayObjects || !character) return nullptr;
  auto object = std::make_unique<DisplayObject>();
  object->serial = next_serial_++;
  object->created_tick = tick_;
  object->live_count = &live_objects_;
  ++live_objects_;
  object->parent = &parent;
  object->depth = depth;
  object->scripted = true;
  object->character = character.get();
  object->own_character = std::move(character);
  return Put(parent, depth, std::move(object));
}

DisplayList::DisplayList(const MovieDefinition& movie)
    : movie_(movie), main_(std::shared_ptr<const MovieDefinition>(), &movie) {
  root_.movie = main_;
  root_.timeline = &movie.root;
}

void DisplayList::AdvanceFrame() {
  ++tick_;
  created_this_tick_ = 0;
  for (Clip* clip : Roots()) AdvanceClip(*clip, 0);
  if (stage_clip_) AdvanceClip(*stage_clip_, 0);
}

Clip* DisplayList::LevelClip(int32_t level) {
  if (level == 0) return &root_;
  const auto it = levels_.find(level);
  return it == levels_.end() ? nullptr : it->second->clip.get();
}

Clip* DisplayList::NewLevel(int32_t level, std::shared_ptr<const MovieDefinition> movie) {
  if (level <= 0) return nullptr;
  levels_.erase(level);  // the old movie's unload comes first
  auto object = std::make_unique<DisplayObject>();
  object->serial = next_serial_++;
  object->created_tick = tick_;
  object->depth = level;
  object->scripted = true;
  object->clip = std::make_unique<Clip>();
  object->clip->owner = object.get();
  object->clip->hooks = hooks_;
  Clip* clip = object->clip.get();
  levels_.emplace(level, std::move(object));
  ReplaceContent(*clip, std::move(movie));
  return clip;
}

void DisplayList::RemoveLevel(int32_t level) {
  if (level == 0) {
    ReplaceContent(root_, nullptr);
  } else {
    levels_.erase(level);
  }
}

std::vector<Clip*> DisplayList::Roots() {
  std::vector<Clip*> roots{&root_};
  for (auto& [level, object] : levels_) roots.push_back(object->clip.get());
  return roots;
}

void DisplayList::ReplaceContent(Clip& clip, std::shared_ptr<const MovieDefinition> movie) {
  clip.children.clear();
  clip.current_frame = -1;
  clip.playing = movie != nullptr;
  clip.timeline = movie ? &movie->root : nullptr;
  if (movie) {
    clip.movie = std::move(movie);
  } else if (clip.owner && clip.owner->parent) {
    clip.movie = clip.owner->parent->movie;
  }
}

void DisplayList::GotoFrame(int32_t frame) {
  ++tick_;
  created_this_tick_ = 0;
  if (root_.current_frame < 0) {
    RunFrame(root_, 0, 0);
    if (frame == 0) return;
  }
  GotoClipFrame(root_, frame, 0);
}

void DisplayList::AdvanceClip(Clip& clip, int level) {
  const bool enter = hooks_ && clip.current_frame >= 0;
  // The player's execution list runs the newest clips first, so a clip's children step (and
  // queue their frame scripts) before the clip itself (looping_child_swf5). Children placed
  // during this tick have just run their first frame.
  std::vector<DisplayObject*> order;
  for (auto& [depth, child] : clip.children) {
    if (child->clip && child->created_tick != tick_) order.push_back(child.get());
  }
  std::sort(order.begin(), order.end(),
            [](const DisplayObject* a, const DisplayObject* b) { return a->serial > b->serial; });
  for (DisplayObject* child : order) AdvanceClip(*child->clip, level + 1);
  if (clip.timeline && clip.playing) {
    const auto frames = static_cast<int32_t>(clip.timeline->frames.size());
    if (clip.current_frame < 0) {
      RunFrame(clip, 0, level);
    } else if (clip.current_frame + 1 < frames) {
      RunFrame(clip, clip.current_frame + 1, level);
    } else if (frames > 1 && clip.timeline->loops && !Waiting(clip)) {
      GotoClipFrame(clip, 0, level);
    }
  }
  if (enter && hooks_) hooks_->ClipEnterFrame(clip);
}

void DisplayList::RunFrame(Clip& clip, int32_t frame, int level, bool scripts) {
  clip.current_frame = frame;
  // The frame's scripts are queued before those of the children it places: they run first,
  // after every placement of the tick.
  if (scripts && hooks_) hooks_->FrameRan(clip, frame);
  for (const ControlCommand& command : clip.timeline->frames[static_cast<size_t>(frame)].commands) {
    if (const auto* remove = std::get_if<RemoveCommand>(&command)) {
      clip.children.erase(remove->depth);
    } else {
      Place(clip, std::get<PlaceCommand>(command), frame, level);
    }
  }
  if (on_frame) on_frame(clip, frame);
}

void DisplayList::Place(Clip& clip, const PlaceCommand& place, int32_t frame, int level) {
  const auto it = clip.children.find(place.depth);
  if (!place.move) {
    if (!place.character_id) return;
    std::unique_ptr<DisplayObject> object = Create(
        *place.character_id, frame, level, clip, place.depth, place.name ? &*place.name : nullptr);
    if (!object) return;
    ApplyPlace(*object, place);
    DisplayObject* raw = Put(clip, place.depth, std::move(object));
    Start(*raw, level);
    return;
  }
  if (it == clip.children.end()) return;
  DisplayObject& existing = *it->second;
  if (place.character_id && *place.character_id != existing.character_id) {
    const Character* character =
        (clip.movie ? *clip.movie : movie_).library.Find(*place.character_id);
    if (!character) return;
    const bool container =
        character->type() == CharacterType::kSprite || character->type() == CharacterType::kButton;
    if (!container && !existing.clip) {
      // A shape, text or morph swaps its character and keeps its instance and fields.
      existing.character = character;
      existing.character_id = *place.character_id;
    } else {
      std::unique_ptr<DisplayObject> object = Create(*place.character_id, existing.placed_frame,
                                                     level, clip, place.depth, &existing.name);
      if (!object) return;
      object->matrix = existing.matrix;
      object->color = existing.color;
      object->ratio = existing.ratio;
      object->name = existing.name;
      object->clip_depth = existing.clip_depth;
      ApplyPlace(*object, place);
      Start(*Put(clip, place.depth, std::move(object)), level);
      return;
    }
  }
  // A clip that a script has moved no longer follows the timeline's moves.
  if (existing.has_script_transform && place.matrix) {
    PlaceCommand rest = place;
    rest.matrix.reset();
    ApplyPlace(existing, rest);
    return;
  }
  ApplyPlace(existing, place);
}

std::unique_ptr<DisplayObject> DisplayList::Create(uint16_t id, int32_t frame, int level,
                                                   Clip& parent, int32_t depth,
                                                   const std::string* name) {
  const Character* character = (parent.movie ? *parent.movie : movie_).library.Find(id);
  if (!character || live_objects_ >= kMaxDisplayObjects ||
      created_this_tick_ >= kMaxCreationsPerFrame) {
    return nullptr;
  }
  ++created_this_tick_;
  const CharacterType type = character->type();
  const bool container = type == CharacterType::kSprite || type == CharacterType::kButton;
  // A sprite that places itself would nest without end: the innermost one is left out.
  if (container && level + 1 >= kMaxClipNesting) return nullptr;
  auto object = std::make_unique<DisplayObject>();
  object->serial = next_serial_++;
  object->character_id = id;
  object->character = character;
  object->placed_frame = frame;
  object->created_tick = tick_;
  object->live_count = &live_objects_;
  ++live_objects_;
  object->parent = &parent;
  object->depth = depth;
  // Unnamed objects get the player's names, counted over the movie's life; a named one takes
  // no number, nor does one placed with an empty name, which keeps it (instanceNameTest).
  if (name) {
    object->name = *name;
  } else if (container || type == CharacterType::kEditText || indexed_) {
    // ActionScript 3 names every object.
    object->name = "instance" + std::to_string(++instances_);
  }
  // An imported sprite or button plays with its library's characters and scripts.
  const MovieDefinition& owner = parent.movie ? *parent.movie : movie_;
  const auto imported = owner.imported_from.find(id);
  const std::shared_ptr<const MovieDefinition>& clip_movie =
      imported != owner.imported_from.end() ? imported->second : parent.movie;
  if (type == CharacterType::kSprite) {
    object->clip = std::make_unique<Clip>();
    object->clip->timeline = &static_cast<const SpriteCharacter*>(character)->timeline();
    object->clip->movie = clip_movie;
    object->clip->owner = object.get();
    object->clip->hooks = hooks_;
    object->clip->indexed = indexed_;
  } else if (type == CharacterType::kEditText) {
    object->text =
        std::make_unique<TextField>(static_cast<const EditTextCharacter*>(character)->definition());
  } else if (type == CharacterType::kButton) {
    object->clip = std::make_unique<Clip>();
    object->clip->movie = clip_movie;
    object->clip->owner = object.get();
    object->clip->hooks = hooks_;
    object->clip->indexed = indexed_;
    ShowButtonRecords(*object, button_state::kUp, level);
  }
  return object;
}

void DisplayList::ShowButtonRecords(DisplayObject& object, uint8_t state, int level) {
  const auto* button = static_cast<const ButtonCharacter*>(object.character);
  for (const ButtonRecord& record : button->records) {
    if (!(record.states & state)) continue;
    std::unique_ptr<DisplayObject> child =
        Create(record.character_id, 0, level + 1, *object.clip, record.depth);
    if (!child) continue;
    child->matrix = record.matrix;
    child->color = record.color;
    child->filters = record.filters;
    child->blend_mode = record.blend_mode;
    Start(*child, level + 1);
    Put(*object.clip, record.depth, std::move(child));
  }
}

void DisplayList::SetButtonState(Clip& button, uint8_t state) {
  DisplayObject* object = button.owner;
  if (!object || !object->character || object->character->type() != CharacterType::kButton ||
      button.button_state == state) {
    return;
  }
  button.button_state = state;
  // Records shown in both states stay as they are; the others go and come.
  const auto* character = static_cast<const ButtonCharacter*>(object->character);
  std::map<int32_t, const ButtonRecord*> wanted;
  for (const ButtonRecord& record : character->records) {
    if (record.states & state) wanted[record.depth] = &record;
  }
  for (auto it = button.children.begin(); it != button.children.end();) {
    const auto w = wanted.find(it->first);
    const bool keep = w != wanted.end() && w->second->character_id == it->second->character_id;
    it = keep ? std::next(it) : button.children.erase(it);
  }
  const int level = LevelOf(button);
  for (const auto& [depth, record] : wanted) {
    if (button.children.count(depth)) continue;
    std::unique_ptr<DisplayObject> child = Create(record->character_id, 0, level, button, depth);
    if (!child) continue;
    child->matrix = record->matrix;
    child->color = record->color;
    child->filters = record->filters;
    child->blend_mode = record->blend_mode;
    Start(*Put(button, depth, std::move(child)), level);
  }
}

// A sprite shows its first frame as soon as it is placed.
void DisplayList::Start(DisplayObject& object, int level) {
  if (!object.clip) return;
  if (hooks_) hooks_->ClipPlaced(*object.clip);
  if (object.clip->timeline) RunFrame(*object.clip, 0, level + 1);
  if (hooks_) hooks_->ClipLoaded(*object.clip);
}

void DisplayList::GotoClipFrame(Clip& clip, int32_t frame, int level) {
  const auto frames = static_cast<int32_t>(clip.timeline->frames.size());
  frame = std::clamp(frame, 0, frames - 1);
  if (frame > clip.current_frame) {
    // Only the target frame's scripts run; those of the frames passed over do not.
    for (int32_t f = clip.current_frame + 1; f <= frame; ++f) RunFrame(clip, f, level, f == frame);
    return;
  }
  const std::map<int32_t, TargetPlace> target = StateAt(*clip.timeline, frame);
  // Objects still placed at the target frame, by the same placement, stay as they are.
  for (auto it = clip.children.begin(); it != clip.children.end();) {
    const auto wanted = target.find(it->first);
    const bool keep =
        it->second->scripted ||
        (wanted != target.end() && wanted->second.character_id == it->second->character_id &&
         wanted->second.created_frame == it->second->placed_frame);
    it = keep ? std::next(it) : clip.children.erase(it);
  }
  clip.current_frame = frame;
  if (hooks_) hooks_->FrameRan(clip, frame);
  for (const auto& [depth, place] : target) {
    const auto it = clip.children.find(depth);
    if (it != clip.children.end()) {
      // Fields set after the target frame are undone: the object looks as it did there.
      DisplayObject& kept = *it->second;
      if (kept.scripted) continue;
      kept.matrix = place.fields.matrix.value_or(Matrix{});
      kept.color = place.fields.color.value_or(ColorTransform{});
      kept.ratio = place.fields.ratio.value_or(0);
      kept.clip_depth = place.fields.clip_depth.value_or(0);
      ApplyPlace(kept, place.fields);
      continue;
    }
    std::unique_ptr<DisplayObject> object =
        Create(place.character_id, place.created_frame, level, clip, depth,
               place.fields.name ? &*place.fields.name : nullptr);
    if (!object) continue;
    ApplyPlace(*object, place.fields);
    Start(*Put(clip, depth, std::move(object)), level);
  }
}

void DisplayList::Render(Canvas& canvas, const Matrix& stage_to_target) const {
  DrawVisitor visit{canvas, movie_.library, std::hypot(stage_to_target.a, stage_to_target.b) * 20,
                    std::hypot(stage_to_target.c, stage_to_target.d) * 20};
  Walker<DrawVisitor> walker(visit, kMaxClipNesting, movie_.scaling_grids, this, stage_to_target);
  if (root_transform.visible) {
    walker.WalkClip(root_, stage_to_target * root_transform.matrix, root_transform.color, 0, 0);
  }
  for (const auto& [level, object] : levels_) {
    if (object->visible) {
      walker.WalkClip(*object->clip, stage_to_target * object->matrix, object->color, 0, 0);
    }
  }
  if (stage_clip_) walker.WalkClip(*stage_clip_, stage_to_target, {}, 0, 0);
}

void DisplayList::RenderClip(const Clip& clip, Canvas& canvas, const Matrix& clip_to_target,
                             const ColorTransform& color) const {
  DrawVisitor visit{canvas, movie_.library, std::hypot(clip_to_target.a, clip_to_target.b) * 20,
                    std::hypot(clip_to_target.c, clip_to_target.d) * 20};
  Walker<DrawVisitor> walker(visit, kMaxClipNesting, movie_.scaling_grids, this, clip_to_target);
  walker.WalkClip(clip, clip_to_target, color, 0, DisplayList::LevelOf(clip));
}

std::vector<DrawnLeaf> DisplayList::Leaves() const {
  LeafVisitor visit;
  visit.pass = static_cast<uint16_t>(++leaf_passes_ << 8);
  Walker<LeafVisitor> walker(visit, kMaxClipNesting, movie_.scaling_grids, this);
  if (root_transform.visible) {
    walker.WalkClip(root_, root_transform.matrix, root_transform.color, 0, 0);
  }
  for (const auto& [level, object] : levels_) {
    if (object->visible) walker.WalkClip(*object->clip, object->matrix, object->color, 0, 0);
  }
  if (stage_clip_) walker.WalkClip(*stage_clip_, Matrix{}, {}, 0, 0);
  std::sort(visit.leaves.begin(), visit.leaves.end(),
            [](const DrawnLeaf& a, const DrawnLeaf& b) { return a.serial < b.serial; });
  return std::move(visit.leaves);
}

DisplayObject* DisplayList::Put(Clip& clip, int32_t depth, std::unique_ptr<DisplayObject> object) {
  DisplayObject* raw = object.get();
  const auto it = clip.children.find(depth);
  size_t at = clip.order.size();
  if (clip.indexed) {
    // A replacement takes the old object's index; a new depth goes below the next timeline
    // object above it, or on top when there is none (objects from scripts do not count).
    const DisplayObject* before = nullptr;
    if (it != clip.children.end()) {
      before = it->second.get();
    } else {
      for (auto above = clip.children.upper_bound(depth); above != clip.children.end(); ++above) {
        if (!above->second->scripted) {
          before = above->second.get();
          break;
        }
      }
    }
    if (before)
      at = static_cast<size_t>(std::find(clip.order.begin(), clip.order.end(), before) -
                               clip.order.begin());
  }
  if (it != clip.children.end()) clip.children.erase(it);
  clip.children.emplace(depth, std::move(object));
  if (clip.indexed) {
    at = std::min(at, clip.order.size());
    clip.order.insert(clip.order.begin() + static_cast<std::ptrdiff_t>(at), raw);
  }
  return raw;
}

std::unique_ptr<DisplayObject> DisplayList::NewNode(bool container) {
  if (live_objects_ >= kMaxDisplayObjects) return nullptr;
  auto object = std::make_unique<DisplayObject>();
  object->serial = next_serial_++;
  object->created_tick = tick_;
  object->live_count = &live_objects_;
  ++live_objects_;
  object->scripted = true;
  object->name = "instance" + std::to_string(++instances_);
  if (container) {
    object->clip = std::make_unique<Clip>();
    object->clip->movie = main_;
    object->clip->owner = object.get();
    object->clip->hooks = hooks_;
    object->clip->indexed = true;
  }
  return object;
}

std::unique_ptr<DisplayObject> DisplayList::NewSymbolNode(uint16_t character_id) {
  std::unique_ptr<DisplayObject> object = Create(character_id, 0, 0, root_, 0);
  if (!object) return nullptr;
  object->parent = nullptr;
  object->scripted = true;
  Start(*object, 0);
  return object;
}

DisplayObject& DisplayList::Insert(Clip& parent, std::unique_ptr<DisplayObject> object,
                                   size_t index) {
  // Script depths only grow; should they ever run out, free ones are reused from the top.
  if (next_script_depth_ == INT32_MAX) next_script_depth_ = kFirstScriptDepth;
  int32_t depth = next_script_depth_++;
  while (parent.children.count(depth) && depth < INT32_MAX) ++depth;
  DisplayObject* raw = object.get();
  raw->parent = &parent;
  raw->depth = depth;
  raw->scripted = true;
  parent.children.insert_or_assign(depth, std::move(object));
  index = std::min(index, parent.order.size());
  parent.order.insert(parent.order.begin() + static_cast<std::ptrdiff_t>(index), raw);
  return *raw;
}

std::unique_ptr<DisplayObject> DisplayList::Detach(DisplayObject& object) {
  Clip* parent = object.parent;
  if (!parent) return nullptr;
  const auto it = parent->children.find(object.depth);
  if (it == parent->children.end() || it->second.get() != &object) return nullptr;
  std::unique_ptr<DisplayObject> owned = std::move(it->second);
  parent->children.erase(it);
  std::erase(parent->order, &object);
  object.parent = nullptr;
  ForgetMasks(object);
  return owned;
}

void DisplayList::Reorder(DisplayObject& object, size_t index) {
  if (!object.parent) return;
  std::vector<DisplayObject*>& order = object.parent->order;
  std::erase(order, &object);
  index = std::min(index, order.size());
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(index), &object);
}

Clip& DisplayList::stage_clip() {
  if (!stage_clip_) {
    stage_clip_ = std::make_unique<Clip>();
    stage_clip_->movie = main_;
    stage_clip_->hooks = hooks_;
    stage_clip_->indexed = true;
    stage_clip_->playing = false;
  }
  return *stage_clip_;
}

}  // namespace flashsaver
