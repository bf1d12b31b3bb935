// TextField: the script face of edit text on the display list, with its text, its display
// properties, and fields bound to variables.
#include "player/display/script_host.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::ClipProperty;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

// Only the movie player installs this class, always with its ScriptHost.
ScriptHost& HostOf(Vm& vm) { return static_cast<ScriptHost&>(vm.host()); }

DisplayObject* FieldOf(Object* o) {
  if (!o || o->kind() != avm1::ObjectKind::kOther) return nullptr;
  auto* t = dynamic_cast<TextFieldObject*>(o);
  return t ? t->field : nullptr;
}

void SetText(DisplayObject& field, std::string text, bool html) {
  if (field.text->text() == text) return;
  field.text->SetHtml(html && field.text->definition().html);
  field.text->SetText(std::move(text));
  ++field.text_revision;
}

Value GetText(Vm&, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  return f ? Value(f->text->text()) : Value();
}
Value PutText(Vm& vm, const CallArgs& c) {
  if (DisplayObject* f = FieldOf(c.this_obj)) SetText(*f, vm.ToString(c.Arg(0)), false);
  return Value();
}
Value PutHtmlText(Vm& vm, const CallArgs& c) {
  if (DisplayObject* f = FieldOf(c.this_obj)) SetText(*f, vm.ToString(c.Arg(0)), true);
  return Value();
}
Value GetVariable(Vm&, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  if (!f || f->text->definition().variable_name.empty()) return Value::Null();
  return Value(f->text->definition().variable_name);
}

template <ClipProperty P>
Value GetProperty(Vm& vm, const CallArgs& c) {
  DisplayObject* f = FieldOf(c.this_obj);
  return f ? HostOf(vm).PropertyOf(f, nullptr, P) : Value();
}
template <ClipProperty P>
Value SetProperty(Vm& vm, const CallArgs& c) {
  if (DisplayObject* f = FieldOf(c.this_obj)) HostOf(vm).SetPropertyOf(f, nullptr, P, c.Arg(0));
  return Value();
}

void Accessor(Vm& vm, Object* proto, const char* name, avm1::NativeFn get, avm1::NativeFn set) {
  avm1::Property& p = proto->SetOwn(name, Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(get);
  p.setter = set ? vm.NewNative(set) : nullptr;
  p.flags = avm1::prop_flag::kDontEnum;
}

template <ClipProperty P>
void Display(Vm& vm, Object* proto, const char* name) {
  Accessor(vm, proto, name, GetProperty<P>, SetProperty<P>);
}

Value Constructor(Vm&, const CallArgs&) { return Value(); }

// "a.b:var", "/a/b:var", "a.b.var" or "var": the clip path and the variable's name.
std::pair<std::string, std::string> SplitVariable(const std::string& path) {
  size_t cut = path.rfind(':');
  if (cut == std::string::npos) cut = path.rfind('.');
  if (cut == std::string::npos) return {"", path};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

}  // namespace

void InstallTextFieldClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto = vm.NewObject();
  vm.DefineClass("TextField", Constructor, nullptr, proto);
  Accessor(vm, proto, "text", GetText, PutText);
  Accessor(vm, proto, "htmlText", GetText, PutHtmlText);
  Accessor(vm, proto, "variable", GetVariable, nullptr);
  Display<ClipProperty::kX>(vm, proto, "_x");
  Display<ClipProperty::kY>(vm, proto, "_y");
  Display<ClipProperty::kXScale>(vm, proto, "_xscale");
  Display<ClipProperty::kYScale>(vm, proto, "_yscale");
  Display<ClipProperty::kRotation>(vm, proto, "_rotation");
  Display<ClipProperty::kAlpha>(vm, proto, "_alpha");
  Display<ClipProperty::kVisible>(vm, proto, "_visible");
  Display<ClipProperty::kWidth>(vm, proto, "_width");
  Display<ClipProperty::kHeight>(vm, proto, "_height");
  Display<ClipProperty::kName>(vm, proto, "_name");
  Display<ClipProperty::kTarget>(vm, proto, "_target");
}

Object* ScriptHost::TextObjectFor(DisplayObject& field) {
  if (!field.text_script) {
    auto* o = vm_->New<TextFieldObject>();
    o->field = &field;
    Value proto =
        vm_->GetMember(vm_->GetMember(vm_->global(), "TextField").AsObject(), "prototype");
    o->Define("__proto__", proto.IsObject() ? proto : Value(vm_->object_proto),
              avm1::prop_flag::kDontEnum);
    field.text_script = o;
  }
  return field.text_script;
}

void ScriptHost::TextRemoved(DisplayObject& field) {
  if (auto* t = dynamic_cast<TextFieldObject*>(field.text_script)) t->field = nullptr;
  field.text_script = nullptr;
}

void ScriptHost::UpdateBoundFields() {
  // The fields are gathered first: reading a variable may run a getter that changes the list.
  std::vector<Object*> bound;
  std::vector<Clip*> stack{&list_.root()};
  while (!stack.empty()) {
    Clip* c = stack.back();
    stack.pop_back();
    for (auto& [depth, child] : c->children) {
      if (child->clip) stack.push_back(child->clip.get());
      if (child->text && !child->text->definition().variable_name.empty()) {
        bound.push_back(TextObjectFor(*child));
      }
    }
  }
  for (Object* o : bound) {
    DisplayObject* field = FieldOf(o);
    if (!field || !field->parent) continue;
    const auto [path, name] = SplitVariable(field->text->definition().variable_name);
    Object* target = vm_->ResolveTarget(ObjectFor(*field->parent), path);
    if (!target || name.empty()) continue;
    // Getters and toString run script: a throw or a runaway ends this field's update only.
    try {
      const Value v = vm_->GetMember(target, name);
      field = FieldOf(o);
      if (!field) continue;
      if (v.IsUndefined()) {
        // An unset variable takes the field's text, as the player binds them.
        vm_->SetMember(target, name, Value(field->text->text()));
        continue;
      }
      std::string text = vm_->ToString(v);
      if ((field = FieldOf(o))) SetText(*field, std::move(text), field->text->definition().html);
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
  }
}

}  // namespace flashsaver
