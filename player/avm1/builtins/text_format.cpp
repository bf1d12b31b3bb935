// TextFormat: each setting coerces its value as the player does (from SWF 8 integers round half
// to even and fall to INT_MIN when out of range; before, they are cut to 32 bits and no
// paragraph setting goes below zero; colours wrap to 32 bits, margins never go below zero),
// and null or undefined unset it.
#include "player/avm1/builtins/text_format.h"

#include <cmath>
#include <limits>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

// Font names longer than this are cut (text_format_font_max_length).
constexpr size_t kMaxFontName = 64;

TextFormatObject* FormatOf(Object* o) {
  return o && o->kind() == ObjectKind::kOther ? dynamic_cast<TextFormatObject*>(o) : nullptr;
}

int32_t RoundedInt(double n) {
  if (!std::isfinite(n)) return std::numeric_limits<int32_t>::min();
  const double r = std::nearbyint(n);  // the default rounding mode: half to even
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max()) {
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<int32_t>(r);
}

// A whole number as movies of this version make one.
int32_t IntegerOf(Vm& vm, double n) { return vm.swf_version() >= 8 ? RoundedInt(n) : ToInt32(n); }

enum class Field {
  kDisplay,
  kFont,
  kSize,
  kColor,
  kUrl,
  kTarget,
  kBold,
  kItalic,
  kUnderline,
  kAlign,
  kLeftMargin,
  kRightMargin,
  kIndent,
  kLeading,
  kBlockIndent,
  kTabStops,
  kBullet,
  kKerning,
  kLetterSpacing,
};

template <typename T>
Value Opt(const std::optional<T>& v) {
  return v ? Value(*v) : Value::Null();
}

Value Read(Vm& vm, const TextFormatValues& f, Field field) {
  switch (field) {
    case Field::kDisplay:
      return f.display;
    case Field::kFont:
      return Opt(f.font);
    case Field::kSize:
      return Opt(f.size);
    case Field::kColor:
      return Opt(f.color);
    case Field::kUrl:
      return Opt(f.url);
    case Field::kTarget:
      return Opt(f.target);
    case Field::kBold:
      return Opt(f.bold);
    case Field::kItalic:
      return Opt(f.italic);
    case Field::kUnderline:
      return Opt(f.underline);
    case Field::kAlign:
      return Opt(f.align);
    case Field::kLeftMargin:
      return Opt(f.left_margin);
    case Field::kRightMargin:
      return Opt(f.right_margin);
    case Field::kIndent:
      return Opt(f.indent);
    case Field::kLeading:
      return Opt(f.leading);
    case Field::kBlockIndent:
      return Opt(f.block_indent);
    case Field::kBullet:
      return Opt(f.bullet);
    case Field::kKerning:
      return Opt(f.kerning);
    case Field::kLetterSpacing:
      return Opt(f.letter_spacing);
    case Field::kTabStops: {
      if (!f.tab_stops) return Value::Null();
      std::vector<Value> items(f.tab_stops->begin(), f.tab_stops->end());
      return vm.NewArray(items);
    }
  }
  return Value();
}

void Write(Vm& vm, TextFormatValues& f, Field field, const Value& v) {
  const bool unset = v.IsNullish();
  auto text = [&](std::optional<std::string>& out) {
    out = unset ? std::nullopt : std::optional(vm.ToString(v));
  };
  auto integer = [&](std::optional<int32_t>& out) {
    out = unset ? std::nullopt : std::optional(IntegerOf(vm, vm.ToNumber(v)));
  };
  auto margin = [&](std::optional<int32_t>& out) {
    if (unset) return void(out.reset());
    const double n = vm.ToNumber(v);
    out = IntegerOf(vm, std::isnan(n) || n < 0 ? 0 : n);
  };
  // Indents and leading may go below zero only from SWF 8.
  auto paragraph = [&](std::optional<int32_t>& out) {
    integer(out);
    if (out && vm.swf_version() < 8) out = std::max(*out, 0);
  };
  auto flag = [&](std::optional<bool>& out) {
    out = unset ? std::nullopt : std::optional(vm.ToBool(v));
  };
  switch (field) {
    case Field::kFont:
      text(f.font);
      if (f.font && f.font->size() > kMaxFontName) f.font->resize(kMaxFontName);
      return;
    case Field::kSize:
      return integer(f.size);
    case Field::kColor:
      if (unset) return f.color.reset();
      f.color = static_cast<double>(static_cast<uint32_t>(ToInt32(vm.ToNumber(v))));
      return;
    case Field::kUrl:
      return text(f.url);
    case Field::kTarget:
      return text(f.target);
    case Field::kBold:
      return flag(f.bold);
    case Field::kItalic:
      return flag(f.italic);
    case Field::kUnderline:
      return flag(f.underline);
    case Field::kAlign: {
      if (unset) return f.align.reset();
      const std::string s = vm.ToString(v);
      // An unknown alignment leaves the setting as it was.
      for (const char* name : {"left", "center", "right", "justify"}) {
        if (NamesEqual(s, name, false)) f.align = name;
      }
      return;
    }
    case Field::kLeftMargin:
      return margin(f.left_margin);
    case Field::kRightMargin:
      return margin(f.right_margin);
    case Field::kIndent:
      return paragraph(f.indent);
    case Field::kLeading:
      return paragraph(f.leading);
    case Field::kBlockIndent:
      return paragraph(f.block_indent);
    case Field::kDisplay: {
      // Anything but the two other known values means the default, "block".
      const std::string s = unset ? std::string() : vm.ToString(v);
      f.display = s == "inline" || s == "none" ? s : "block";
      return;
    }
    case Field::kBullet:
      return flag(f.bullet);
    case Field::kKerning:
      return flag(f.kerning);
    case Field::kLetterSpacing:
      if (unset) return f.letter_spacing.reset();
      f.letter_spacing = vm.ToNumber(v);
      return;
    case Field::kTabStops: {
      Object* list = v.AsObject();
      if (unset || !list) return f.tab_stops.reset();
      std::vector<int32_t> stops;
      const uint32_t n = std::min<uint32_t>(vm.ArrayLength(list), 1024);
      for (uint32_t i = 0; i < n; ++i)
        stops.push_back(IntegerOf(vm, vm.ToNumber(vm.GetIndex(list, i))));
      f.tab_stops = std::move(stops);
      return;
    }
  }
}

template <Field F>
Value Get(Vm& vm, const CallArgs& c) {
  TextFormatObject* t = FormatOf(c.this_obj);
  return t ? Read(vm, t->values, F) : Value();
}

template <Field F>
Value Set(Vm& vm, const CallArgs& c) {
  if (TextFormatObject* t = FormatOf(c.this_obj)) Write(vm, t->values, F, c.Arg(0));
  return Value();
}

template <Field F>
void Accessor(Vm& vm, Object* proto, const char* name) {
  Property& p = proto->SetOwn(name, Value(), true);
  p.virtual_property = true;
  p.getter = vm.NewNative(Get<F>);
  p.setter = vm.NewNative(Set<F>);
}

// new TextFormat(font, size, color, bold, italic, underline, url, target, align, leftMargin,
// rightMargin, indent, leading)
Value Construct(Vm& vm, const CallArgs& c) {
  auto* t = vm.New<TextFormatObject>();
  Object* proto = vm.GetMember(c.callee, "prototype").AsObject();
  t->Define("__proto__", proto ? Value(proto) : Value(vm.object_proto), prop_flag::kDontEnum);
  constexpr Field kOrder[] = {
      Field::kFont,        Field::kSize,   Field::kColor,  Field::kBold,  Field::kItalic,
      Field::kUnderline,   Field::kUrl,    Field::kTarget, Field::kAlign, Field::kLeftMargin,
      Field::kRightMargin, Field::kIndent, Field::kLeading};
  for (size_t i = 0; i < c.args.size() && i < std::size(kOrder); ++i) {
    Write(vm, t->values, kOrder[i], c.args[i]);
  }
  return static_cast<Object*>(t);
}

}  // namespace

const TextFormatValues* AsTextFormat(const Value& v) {
  TextFormatObject* t = FormatOf(v.AsObject());
  return t ? &t->values : nullptr;
}

Object* NewTextFormat(Vm& vm, const TextFormatValues& values) {
  Value ctor = vm.GetMember(vm.global(), "TextFormat");
  Value made = vm.Construct(ctor, {});
  TextFormatObject* t = FormatOf(made.AsObject());
  if (!t) {
    // A script replaced the class: the format still comes back as one.
    t = vm.New<TextFormatObject>();
    t->Define("__proto__", Value(vm.object_proto), prop_flag::kDontEnum);
  }
  t->values = values;
  return t;
}

void InstallTextFormat(Vm& vm) {
  Object* proto = vm.NewObject();
  // Added last to first: for..in lists them in the player's order.
  Accessor<Field::kDisplay>(vm, proto, "display");
  Accessor<Field::kLetterSpacing>(vm, proto, "letterSpacing");
  Accessor<Field::kKerning>(vm, proto, "kerning");
  Accessor<Field::kBullet>(vm, proto, "bullet");
  Accessor<Field::kTabStops>(vm, proto, "tabStops");
  Accessor<Field::kBlockIndent>(vm, proto, "blockIndent");
  Accessor<Field::kLeading>(vm, proto, "leading");
  Accessor<Field::kIndent>(vm, proto, "indent");
  Accessor<Field::kRightMargin>(vm, proto, "rightMargin");
  Accessor<Field::kLeftMargin>(vm, proto, "leftMargin");
  Accessor<Field::kAlign>(vm, proto, "align");
  Accessor<Field::kUnderline>(vm, proto, "underline");
  Accessor<Field::kItalic>(vm, proto, "italic");
  Accessor<Field::kBold>(vm, proto, "bold");
  Accessor<Field::kTarget>(vm, proto, "target");
  Accessor<Field::kUrl>(vm, proto, "url");
  Accessor<Field::kColor>(vm, proto, "color");
  Accessor<Field::kSize>(vm, proto, "size");
  Accessor<Field::kFont>(vm, proto, "font");
  vm.DefineClass("TextFormat", Construct, Construct, proto);
}

}  // namespace flashsaver::avm1
