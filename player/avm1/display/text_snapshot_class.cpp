// TextSnapshot: the static text of a clip (DefineText placed directly in it, by depth) as it was
// when the snapshot was made; MovieClip.getTextSnapshot builds one through the global class,
// so a script that replaces the class sees the call.
#include <algorithm>
#include <cmath>

#include "player/avm1/display/script_host.h"
#include "player/text/font_character.h"
#include "player/text/static_text.h"

namespace flashsaver {
namespace {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

class TextSnapshotObject final : public Object {
 public:
  TextSnapshotObject() : Object(avm1::ObjectKind::kOther) {}
  bool has_clip = false;
  std::u32string chars;
  std::vector<size_t> line_starts;  // where each text after the first begins
};

TextSnapshotObject* SnapshotOf(Object* o) {
  return o && o->kind() == avm1::ObjectKind::kOther ? dynamic_cast<TextSnapshotObject*>(o)
                                                    : nullptr;
}

void ReadStaticText(const CharacterLibrary& library, const Clip& clip, TextSnapshotObject& into) {
  std::u32string& out = into.chars;
  for (const auto& [depth, child] : clip.children) {
    const auto* text = dynamic_cast<const StaticTextCharacter*>(child->character);
    if (!text) continue;
    if (!out.empty()) into.line_starts.push_back(out.size());
    for (const GlyphReference& g : text->references()) {
      const auto* font = dynamic_cast<const FontCharacter*>(library.Find(g.font_id));
      if (font && g.index < font->glyphs.size()) out.push_back(font->glyphs[g.index].code);
    }
  }
}

Value Construct(Vm& vm, const CallArgs& c) {
  auto* snapshot = vm.New<TextSnapshotObject>();
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  snapshot->Define("__proto__", proto ? Value(proto) : Value(vm.object_proto),
                   avm1::prop_flag::kDontEnum);
  Clip* clip = ScriptHost::ClipOf(c.Arg(0).AsObject());
  if (clip && !clip->snapshot_moved) {
    snapshot->has_clip = true;
    ReadStaticText(static_cast<ScriptHost&>(vm.host()).movie().library, *clip, *snapshot);
  }
  return static_cast<Object*>(snapshot);
}

Value GetCount(Vm&, const CallArgs& c) {
  TextSnapshotObject* s = SnapshotOf(c.this_obj);
  return s && s->has_clip ? Value(static_cast<double>(s->chars.size())) : Value();
}

// getText(start, end, lineEndings): start is kept inside the text and end past start, so at
// least one character comes back from a text that has any; with lineEndings a '\n' goes
// between texts.
Value GetText(Vm& vm, const CallArgs& c) {
  TextSnapshotObject* s = SnapshotOf(c.this_obj);
  if (!s || !s->has_clip || c.args.size() < 2 || c.args.size() > 3 || s->chars.empty()) {
    return Value();
  }
  const bool line_endings = vm.ToBool(c.Arg(2));
  const auto count = static_cast<double>(s->chars.size());
  auto index = [&](size_t i) {
    const double n = vm.ToNumber(c.Arg(i));
    return std::isnan(n) ? 0.0 : std::trunc(n);
  };
  const double start = std::clamp(index(0), 0.0, count - 1);
  const double end = std::clamp(index(1), start + 1, count);
  std::string out;
  for (auto i = static_cast<size_t>(start); i < static_cast<size_t>(end); ++i) {
    if (line_endings && i > start &&
        std::find(s->line_starts.begin(), s->line_starts.end(), i) != s->line_starts.end()) {
      out += '\n';
    }
    AppendUtf8(out, s->chars[i]);
  }
  return out;
}

Value FindText(Vm& vm, const CallArgs& c) {
  TextSnapshotObject* s = SnapshotOf(c.this_obj);
  if (!s || !s->has_clip) return Value();
  const double from = std::max(0.0, vm.ToNumber(c.Arg(0)));
  const std::u32string needle = DecodeUtf8(vm.ToString(c.Arg(1)));
  const bool case_sensitive = vm.ToBool(c.Arg(2));
  auto lower = [](char32_t ch) {
    return ch < 128 ? static_cast<char32_t>(std::tolower(static_cast<int>(ch))) : ch;
  };
  for (size_t i = std::isfinite(from) ? static_cast<size_t>(from) : 0;
       i + needle.size() <= s->chars.size(); ++i) {
    bool same = true;
    for (size_t k = 0; k < needle.size() && same; ++k) {
      same = case_sensitive ? s->chars[i + k] == needle[k]
                            : lower(s->chars[i + k]) == lower(needle[k]);
    }
    if (same) return static_cast<double>(i);
  }
  return -1;
}

Value False(Vm&, const CallArgs&) { return false; }
Value Nothing(Vm&, const CallArgs&) { return Value(); }
Value Empty(Vm&, const CallArgs&) { return ""; }

Value GetTextSnapshot(Vm& vm, const CallArgs& c) {
  if (!ScriptHost::ClipOf(c.this_obj)) return Value();
  const Value arg(c.this_obj);
  return vm.Construct(vm.GetMember(vm.global(), "TextSnapshot"), std::span<const Value>(&arg, 1));
}

}  // namespace

void InstallTextSnapshotClass(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto = vm.NewObject();
  vm.DefineMethod(proto, "getCount", GetCount);
  vm.DefineMethod(proto, "getText", GetText);
  vm.DefineMethod(proto, "findText", FindText);
  vm.DefineMethod(proto, "getSelected", False);
  vm.DefineMethod(proto, "getSelectedText", Empty);
  vm.DefineMethod(proto, "setSelected", Nothing);
  vm.DefineMethod(proto, "setSelectColor", Nothing);
  vm.DefineMethod(proto, "hitTestTextNearPos", [](Vm&, const CallArgs&) { return Value(-1); });
  vm.DefineClass("TextSnapshot", Construct, Construct, proto);
  Value clip_ctor = vm.GetMember(vm.global(), "MovieClip");
  if (Object* clip_proto = vm.GetMember(clip_ctor.AsObject(), "prototype").AsObject()) {
    vm.DefineMethod(clip_proto, "getTextSnapshot", GetTextSnapshot);
  }
}

}  // namespace flashsaver
