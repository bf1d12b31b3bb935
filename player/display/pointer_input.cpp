// The pointer and keys on buttons and on clips with button handlers: which one the pointer is
// over, the button's state shown, its conditions' actions (BUTTONCONDACTION) and the handlers
// onRollOver, onRollOut, onPress, onRelease, onReleaseOutside, onDragOver and onDragOut.
// Hits are judged by bounds.
#include <algorithm>
#include <cmath>
#include <optional>

#include "player/avm1/display/script_host.h"
#include "player/swf/byte_reader.h"

namespace flashsaver {

std::optional<SwfRect> ContentBounds(const DisplayObject& object, const Matrix& m, int level);

namespace {

using avm1::Object;
using avm1::Value;

// Conditions of a button's action records, by their bit.
namespace cond {
constexpr uint16_t kIdleToOverUp = 1 << 0, kOverUpToIdle = 1 << 1, kOverUpToOverDown = 1 << 2,
                   kOverDownToOverUp = 1 << 3, kOverDownToOutDown = 1 << 4,
                   kOutDownToOverDown = 1 << 5, kOutDownToIdle = 1 << 6;
}

struct CondAction {
  uint16_t conditions = 0;  // key code in bits 9-15
  std::span<const uint8_t> code;
};

// DefineButton2's records, each led by its size (0 for the last) and conditions; DefineButton's
// one action list runs on release.
std::vector<CondAction> ReadCondActions(const ButtonCharacter& button, bool second) {
  std::vector<CondAction> out;
  if (!second) {
    if (!button.actions.empty()) out.push_back({cond::kOverDownToOverUp, button.actions});
    return out;
  }
  ByteReader r(button.actions);
  while (r.ok() && r.remaining() >= 4) {
    const size_t start = r.offset();
    const uint16_t size = r.U16();
    const uint16_t conditions = r.U16();
    const size_t body = r.offset();
    const size_t end = size == 0 ? button.actions.size() : start + size;
    if (!r.ok() || end < body || end > button.actions.size()) break;
    out.push_back({conditions, button.actions.subspan(body, end - body)});
    if (size == 0) break;
    r.Skip(end - body);
  }
  return out;
}

Matrix StageMatrixOf(const Clip& clip) {
  Matrix m;
  for (const Clip* c = &clip; c && c->owner; c = c->owner->parent) m = c->owner->matrix * m;
  return m;
}

bool Contains(const SwfRect& r, const Point& p) {
  return p.x >= r.x_min.value && p.x <= r.x_max.value && p.y >= r.y_min.value &&
         p.y <= r.y_max.value;
}

// The key code a button's key condition uses: arrows and the like have codes of their own,
// other keys their character.
int ButtonKeyCode(int key_code, int ascii) {
  switch (key_code) {
    case 37:
      return 1;  // left
    case 39:
      return 2;  // right
    case 36:
      return 3;  // home
    case 35:
      return 4;  // end
    case 45:
      return 5;  // insert
    case 46:
      return 6;  // delete
    case 8:
      return 8;  // backspace
    case 13:
      return 13;  // enter
    case 38:
      return 14;  // up
    case 40:
      return 15;  // down
    case 33:
      return 16;  // page up
    case 34:
      return 17;  // page down
    case 9:
      return 18;  // tab
    case 27:
      return 19;  // escape
    default:
      return ascii >= 32 && ascii < 128 ? ascii : 0;
  }
}

}  // namespace

bool ScriptHost::IsInteractive(Clip& clip) {
  if (!clip.owner || !clip.script) return IsButton(clip);
  Object* o = clip.script;
  const Value enabled = vm_->GetMember(o, "enabled");
  if (!enabled.IsUndefined() && !vm_->ToBool(enabled)) return false;
  if (IsButton(clip)) return true;
  for (const char* handler : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                              "onDragOver", "onDragOut"}) {
    if (vm_->FindHolder(o, handler)) return true;
  }
  return false;
}

bool ScriptHost::HitBy(Clip& clip, const Point& stage_twips) {
  DisplayObject& owner = *clip.owner;
  const Matrix m = StageMatrixOf(clip);
  if (IsButton(clip)) {
    const auto& button = static_cast<const ButtonCharacter&>(*owner.character);
    for (const ButtonRecord& record : button.records) {
      if (!(record.states & button_state::kHit)) continue;
      const auto* drawable =
          dynamic_cast<const DrawableCharacter*>(MovieOf(clip).library.Find(record.character_id));
      if (!drawable) continue;
      DisplayObject stand_in;
      stand_in.character = drawable;
      const auto b = ContentBounds(stand_in, m * record.matrix, 0);
      if (b && Contains(*b, stage_twips)) return true;
    }
    return false;
  }
  // hitArea: another clip's shape answers for this one.
  if (Clip* area = ClipOf(vm_->GetMember(clip.script, "hitArea").AsObject())) {
    if (area != &clip && area->owner) {
      const Matrix parent = area->owner->parent ? StageMatrixOf(*area->owner->parent) : Matrix{};
      const auto b = ContentBounds(*area->owner, parent * area->owner->matrix, 0);
      return b && Contains(*b, stage_twips);
    }
  }
  const Matrix parent = owner.parent ? StageMatrixOf(*owner.parent) : Matrix{};
  const auto b = ContentBounds(owner, parent * owner.matrix, 0);
  return b && Contains(*b, stage_twips);
}

Clip* ScriptHost::FindPointerTarget() {
  const Point p{mouse_x * 20, mouse_y * 20};
  Clip* found = nullptr;
  std::vector<Clip*> stack;
  for (Clip* root : list_.Roots()) stack.push_back(root);
  // Later in drawing order is on top: the last hit found wins.
  std::vector<Clip*> order;
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    order.push_back(c);
    if (IsButton(*c)) continue;  // a button's parts are not targets of their own
    for (auto it = c->children.rbegin(); it != c->children.rend(); ++it) {
      if (it->second->clip && it->second->visible) stack.push_back(it->second->clip.get());
    }
  }
  for (Clip* c : order) {
    if (c->owner && IsInteractive(*c) && HitBy(*c, p)) found = c;
  }
  return found;
}

void ScriptHost::ButtonEvent(Clip& target, uint16_t condition, const char* handler) {
  Object* o = ObjectFor(target);
  if (IsButton(target) && target.owner->parent) {
    const auto& button = static_cast<const ButtonCharacter&>(*target.owner->character);
    // A button's actions run on the timeline that holds it.
    Clip& parent = *target.owner->parent;
    for (const CondAction& a : ReadCondActions(button, button.has_conditions)) {
      if (a.conditions & condition) {
        queue_.push_back({ObjectFor(parent),
                          CodeOwner(parent),
                          a.code,
                          {},
                          false,
                          nullptr,
                          MovieOf(parent).header.version});
      }
    }
  }
  queue_.push_back({o, nullptr, {}, handler, false});
}

void ScriptHost::FocusRolled(Object* old, Object* next) {
  if (Clip* c = ClipOf(old)) ButtonEvent(*c, cond::kOverUpToIdle, "onRollOut");
  if (Clip* c = ClipOf(next)) ButtonEvent(*c, cond::kIdleToOverUp, "onRollOver");
}

void ScriptHost::PointerChanged(bool moved, std::optional<bool> button_down) {
  Clip* now = FindPointerTarget();
  Clip* hovered = ClipOf(hovered_);
  Clip* pressed = ClipOf(pressed_);
  auto state = [&](Clip* c, uint8_t s) {
    if (c && IsButton(*c)) list_.SetButtonState(*c, s);
  };
  if (moved && !pressed && now != hovered) {
    if (hovered) {
      state(hovered, button_state::kUp);
      ButtonEvent(*hovered, cond::kOverUpToIdle, "onRollOut");
    }
    if (now) {
      state(now, button_state::kOver);
      ButtonEvent(*now, cond::kIdleToOverUp, "onRollOver");
    }
    hovered_ = now ? ObjectFor(*now) : nullptr;
  } else if (moved && pressed) {
    const bool inside = now == pressed;
    const bool was_inside = hovered == pressed;
    if (inside != was_inside) {
      state(pressed, inside ? button_state::kDown : button_state::kUp);
      ButtonEvent(*pressed, inside ? cond::kOutDownToOverDown : cond::kOverDownToOutDown,
                  inside ? "onDragOver" : "onDragOut");
    }
    hovered_ = inside ? pressed_ : nullptr;
  }
  if (button_down && *button_down && now) {
    if (now != hovered) {
      state(now, button_state::kOver);
      ButtonEvent(*now, cond::kIdleToOverUp, "onRollOver");
    }
    state(now, button_state::kDown);
    ButtonEvent(*now, cond::kOverUpToOverDown, "onPress");
    hovered_ = pressed_ = ObjectFor(*now);
  } else if (button_down && !*button_down && pressed) {
    if (now == pressed) {
      state(pressed, button_state::kOver);
      ButtonEvent(*pressed, cond::kOverDownToOverUp, "onRelease");
      hovered_ = pressed_;
    } else {
      state(pressed, button_state::kUp);
      ButtonEvent(*pressed, cond::kOutDownToIdle, "onReleaseOutside");
      hovered_ = nullptr;
    }
    pressed_ = nullptr;
  }
  RunQueue();
}

void ScriptHost::ButtonKeys(int key_code, int ascii) {
  const int code = ButtonKeyCode(key_code, ascii);
  if (code == 0) return;
  std::vector<Clip*> stack = list_.Roots();
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    if (IsButton(*c) && c->owner->parent && IsInteractive(*c)) {
      const auto& button = static_cast<const ButtonCharacter&>(*c->owner->character);
      Clip& parent = *c->owner->parent;
      for (const CondAction& a : ReadCondActions(button, button.has_conditions)) {
        if ((a.conditions >> 9) == code) {
          queue_.push_back({ObjectFor(parent),
                            CodeOwner(parent),
                            a.code,
                            {},
                            false,
                            nullptr,
                            MovieOf(parent).header.version});
        }
      }
      continue;
    }
    for (auto& [depth, child] : c->children) {
      if (child->clip) stack.push_back(child->clip.get());
    }
  }
}

}  // namespace flashsaver

namespace flashsaver {

namespace {

// The pointer in the space of a clip's parent, in pixels.
std::optional<Point> PointerInParent(const Clip& clip, double mouse_x, double mouse_y) {
  if (!clip.owner) return std::nullopt;
  const Matrix m = clip.owner->parent ? StageMatrixOf(*clip.owner->parent) : Matrix{};
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0) return std::nullopt;
  const double x = mouse_x * 20 - m.tx, y = mouse_y * 20 - m.ty;
  return Point{(m.d * x - m.c * y) / det / 20, (m.a * y - m.b * x) / det / 20};
}

}  // namespace

void ScriptHost::StartDrag(Object* obj, bool lock_center, const double* bounds) {
  Clip* clip = ClipOf(obj);
  if (!clip || !clip->owner) return;
  dragged_ = obj;
  drag_lock_ = lock_center;
  drag_bounds_.reset();
  if (bounds) {
    std::array<double, 4> b{bounds[0], bounds[1], bounds[2], bounds[3]};
    for (double& v : b) v = std::isfinite(v) ? v : 0;
    drag_bounds_ = b;
  }
  drag_dx_ = drag_dy_ = 0;
  if (!lock_center) {
    if (const auto p = PointerInParent(*clip, mouse_x, mouse_y)) {
      drag_dx_ = clip->owner->matrix.tx / 20 - p->x;
      drag_dy_ = clip->owner->matrix.ty / 20 - p->y;
    }
  }
  UpdateDrag();
}

void ScriptHost::StopDrag() {
  Clip* clip = ClipOf(dragged_);
  dragged_ = nullptr;
  if (!clip || !clip->owner) return;
  Clip* target = ClipUnderPointer(clip);
  clip->owner->drop_target = target ? ClipPath(ObjectFor(*target), false) : std::string();
}

void ScriptHost::UpdateDrag() {
  Clip* clip = ClipOf(dragged_);
  if (!clip || !clip->owner) return;
  const auto p = PointerInParent(*clip, mouse_x, mouse_y);
  if (!p) return;
  double x = p->x + drag_dx_, y = p->y + drag_dy_;
  if (drag_bounds_) {
    const auto& b = *drag_bounds_;
    x = std::clamp(x, std::min(b[0], b[2]), std::max(b[0], b[2]));
    y = std::clamp(y, std::min(b[1], b[3]), std::max(b[1], b[3]));
  }
  SetPropertyOf(clip->owner, clip, avm1::ClipProperty::kX, x);
  SetPropertyOf(clip->owner, clip, avm1::ClipProperty::kY, y);
}

Clip* ScriptHost::ClipUnderPointer(const Clip* except) {
  const Point p{mouse_x * 20, mouse_y * 20};
  Clip* found = nullptr;
  std::vector<Clip*> stack = list_.Roots();
  std::vector<Clip*> order;
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    if (c == except) continue;
    order.push_back(c);
    for (auto it = c->children.rbegin(); it != c->children.rend(); ++it) {
      if (it->second->clip && it->second->visible) stack.push_back(it->second->clip.get());
    }
  }
  for (Clip* c : order) {
    if (!c->owner) continue;
    const Matrix parent = c->owner->parent ? StageMatrixOf(*c->owner->parent) : Matrix{};
    const auto b = ContentBounds(*c->owner, parent * c->owner->matrix, 0);
    if (b && Contains(*b, p)) found = c;
  }
  return found;
}

std::string ScriptHost::DropTargetOf(const DisplayObject* o) const {
  return o ? o->drop_target : std::string();
}

}  // namespace flashsaver
