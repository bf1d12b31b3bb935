// Selection: which clip, button or text field has the focus. setFocus tells the one that loses
// it (onKillFocus with the new one), then the one that gains it (onSetFocus with the old one),
// then Selection's listeners (onSetFocus with both). There is no caret without a user.
#include <algorithm>
#include <cmath>

#include "player/avm1/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

class SelectionObject final : public Object {
 public:
  SelectionObject() : Object(avm1::ObjectKind::kOther) {}
  Object* focus = nullptr;
  void Trace(avm1::Tracer& tracer) override {
    Object::Trace(tracer);
    tracer.Mark(focus);
  }
};

SelectionObject* SelectionOf(Object* o) {
  return o && o->kind() == avm1::ObjectKind::kOther ? dynamic_cast<SelectionObject*>(o) : nullptr;
}

// A clip or text field object, or the one a path names.
Object* Focusable(Vm& vm, ScriptHost& host, const Value& v) {
  if (v.IsNullish()) return nullptr;
  Object* o = v.AsObject();
  if (!o) o = vm.ResolveTarget(vm.CurrentTarget(), vm.ToString(v));
  if (!o) return nullptr;
  return ScriptHost::ClipOf(o) || host.IsTextField(o) ? o : nullptr;
}

Value SetFocus(Vm& vm, const CallArgs& c) {
  SelectionObject* s = SelectionOf(c.this_obj);
  if (!s) return false;
  auto& host = static_cast<ScriptHost&>(vm.host());
  Object* next = Focusable(vm, host, c.Arg(0));
  if (!next && !c.Arg(0).IsNullish()) return false;
  Object* old = s->focus;
  host.FocusRolled(old, next);
  if (old == next) return true;
  s->focus = next;
  const Value to_next[] = {next ? Value(next) : Value::Null()};
  const Value to_old[] = {old ? Value(old) : Value::Null()};
  // A field that takes the focus has all its text selected.
  if (next && host.IsTextField(next)) {
    if (DisplayObject* field = static_cast<TextFieldObject*>(next)->field) {
      field->text->selection_begin = 0;
      field->text->selection_end = field->text->content().chars.size();
    }
  }
  if (old) vm.CallMethodIfPresent(old, "onKillFocus", to_next);
  if (next) vm.CallMethodIfPresent(next, "onSetFocus", to_old);
  const Value broadcast[] = {Value("onSetFocus"), to_old[0], to_next[0]};
  vm.CallMethodIfPresent(s, "broadcastMessage", broadcast);
  return true;
}

Value GetFocus(Vm& vm, const CallArgs& c) {
  SelectionObject* s = SelectionOf(c.this_obj);
  if (!s || !s->focus) return Value::Null();
  return vm.ToString(Value(s->focus));
}

// The focused text field, if the focus is on one that is still there.
TextField* FocusedField(Vm& vm, const CallArgs& c) {
  SelectionObject* s = SelectionOf(c.this_obj);
  auto& host = static_cast<ScriptHost&>(vm.host());
  if (!s || !s->focus || !host.IsTextField(s->focus)) return nullptr;
  DisplayObject* field = static_cast<TextFieldObject*>(s->focus)->field;
  return field ? field->text.get() : nullptr;
}

Value GetBeginIndex(Vm& vm, const CallArgs& c) {
  TextField* f = FocusedField(vm, c);
  return f ? Value(static_cast<double>(f->selection_begin)) : Value(-1);
}
Value GetEndIndex(Vm& vm, const CallArgs& c) {
  TextField* f = FocusedField(vm, c);
  return f ? Value(static_cast<double>(f->selection_end)) : Value(-1);
}
Value SetSelection(Vm& vm, const CallArgs& c) {
  TextField* f = FocusedField(vm, c);
  if (!f) return Value();
  const double length = static_cast<double>(f->content().chars.size());
  auto at = [&](size_t i) {
    const double n = vm.ToNumber(c.Arg(i));
    return static_cast<size_t>(std::isnan(n) ? 0 : std::clamp(n, 0.0, length));
  };
  const size_t begin = at(0), end = at(1);
  f->selection_begin = std::min(begin, end);
  f->selection_end = std::max(begin, end);
  return Value();
}

}  // namespace

void InstallSelectionClass(ScriptHost& host) {
  Vm& vm = host.vm();
  auto* selection = vm.New<SelectionObject>();
  selection->Define("__proto__", Value(vm.object_proto), avm1::prop_flag::kDontEnum);
  vm.global()->Define("Selection", selection, avm1::prop_flag::kDontEnum);
  vm.DefineMethod(selection, "setFocus", SetFocus);
  vm.DefineMethod(selection, "getFocus", GetFocus);
  vm.DefineMethod(selection, "getBeginIndex", GetBeginIndex);
  vm.DefineMethod(selection, "getEndIndex", GetEndIndex);
  vm.DefineMethod(selection, "getCaretIndex", GetEndIndex);
  vm.DefineMethod(selection, "setSelection", SetSelection);
  // Listeners come from AsBroadcaster, as the player builds the object.
  Object* broadcaster = vm.GetMember(vm.global(), "AsBroadcaster").AsObject();
  const Value arg(static_cast<Object*>(selection));
  if (broadcaster)
    vm.CallMethodIfPresent(broadcaster, "initialize", std::span<const Value>(&arg, 1));
}

}  // namespace flashsaver
