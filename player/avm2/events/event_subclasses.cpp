// The subclasses of flash.events.Event, from one table: each has its type constants, the
// fields its constructor takes after (type, bubbles, cancelable), a clone() that copies them
// into a new instance of its own class, and a toString() that lists them.
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/events/events.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

enum class Kind : uint8_t { kBool, kNumber, kInt, kUInt, kString, kAny };

struct Field {
  const char* name;
  Kind kind;
  double number;         // default of a Boolean or numeric field
  const char16_t* text;  // default of a String field (null: null)
  bool own;              // declared by this class (else inherited)
  bool read_only;        // a getter without a setter
  bool param;            // a constructor parameter (else a field the player fills in)
};

struct EventSpec {
  const char* name;
  const char* super;
  bool bubbles;  // the constructor's default for bubbles
  std::vector<std::pair<const char*, const char16_t*>> types;
  std::vector<Field> params;       // constructor parameters after cancelable
  std::vector<const char*> shown;  // toString's keys after eventPhase
};

constexpr double kNaN = NAN;

Field B(const char* n, bool own = true) { return {n, Kind::kBool, 0, nullptr, own, false, true}; }
Field N(const char* n, double d = 0, bool own = true) {
  return {n, Kind::kNumber, d, nullptr, own, false, true};
}
Field I(const char* n, bool own = true) { return {n, Kind::kInt, 0, nullptr, own, false, true}; }
Field U(const char* n, bool own = true) { return {n, Kind::kUInt, 0, nullptr, own, false, true}; }
Field S(const char* n, bool own = true) { return {n, Kind::kString, 0, u"", own, false, true}; }
Field A(const char* n, bool own = true) { return {n, Kind::kAny, 0, nullptr, own, false, true}; }
Field ReadOnly(Field f) {
  f.read_only = true;
  return f;
}
Field NotParam(Field f) {
  f.param = false;
  return f;
}

const std::vector<EventSpec>& Specs() {
  static const std::vector<EventSpec> specs = {
      {"TextEvent",
       "flash.events::Event",
       false,
       {{"LINK", u"link"}, {"TEXT_INPUT", u"textInput"}},
       {S("text")},
       {"text"}},
      {"ErrorEvent",
       "flash.events::TextEvent",
       false,
       {{"ERROR", u"error"}},
       {S("text", false), ReadOnly(I("errorID"))},
       {"text"}},
      {"IOErrorEvent",
       "flash.events::ErrorEvent",
       false,
       {{"IO_ERROR", u"ioError"},
        {"DISK_ERROR", u"diskError"},
        {"NETWORK_ERROR", u"networkError"},
        {"VERIFY_ERROR", u"verifyError"},
        {"STANDARD_ERROR_IO_ERROR", u"standardErrorIoError"},
        {"STANDARD_INPUT_IO_ERROR", u"standardInputIoError"},
        {"STANDARD_OUTPUT_IO_ERROR", u"standardOutputIoError"}},
       {S("text", false), I("errorID", false)},
       {"text"}},
      {"SecurityErrorEvent",
       "flash.events::ErrorEvent",
       false,
       {{"SECURITY_ERROR", u"securityError"}},
       {S("text", false), I("errorID", false)},
       {"text"}},
      {"AsyncErrorEvent",
       "flash.events::ErrorEvent",
       false,
       {{"ASYNC_ERROR", u"asyncError"}},
       {S("text", false), A("error")},
       {"text", "error"}},
      {"DataEvent",
       "flash.events::TextEvent",
       false,
       {{"DATA", u"data"}, {"UPLOAD_COMPLETE_DATA", u"uploadCompleteData"}},
       {S("data")},
       {"data"}},
      {"UncaughtErrorEvent",
       "flash.events::ErrorEvent",
       true,
       {{"UNCAUGHT_ERROR", u"uncaughtError"}},
       {ReadOnly(A("error"))},
       {"error"}},
      {"MouseEvent",
       "flash.events::Event",
       true,
       {{"CLICK", u"click"},
        {"CONTEXT_MENU", u"contextMenu"},
        {"DOUBLE_CLICK", u"doubleClick"},
        {"MIDDLE_CLICK", u"middleClick"},
        {"MIDDLE_MOUSE_DOWN", u"middleMouseDown"},
        {"MIDDLE_MOUSE_UP", u"middleMouseUp"},
        {"MOUSE_DOWN", u"mouseDown"},
        {"MOUSE_MOVE", u"mouseMove"},
        {"MOUSE_OUT", u"mouseOut"},
        {"MOUSE_OVER", u"mouseOver"},
        {"MOUSE_UP", u"mouseUp"},
        {"MOUSE_WHEEL", u"mouseWheel"},
        {"RELEASE_OUTSIDE", u"releaseOutside"},
        {"RIGHT_CLICK", u"rightClick"},
        {"RIGHT_MOUSE_DOWN", u"rightMouseDown"},
        {"RIGHT_MOUSE_UP", u"rightMouseUp"},
        {"ROLL_OUT", u"rollOut"},
        {"ROLL_OVER", u"rollOver"}},
       {N("localX", kNaN), N("localY", kNaN), A("relatedObject"), B("ctrlKey"), B("altKey"),
        B("shiftKey"), B("buttonDown"), I("delta"), B("commandKey"), B("controlKey"),
        I("clickCount")},
       {"localX", "localY", "stageX", "stageY", "relatedObject", "ctrlKey", "altKey", "shiftKey",
        "buttonDown", "delta"}},
      {"KeyboardEvent",
       "flash.events::Event",
       true,
       {{"KEY_DOWN", u"keyDown"}, {"KEY_UP", u"keyUp"}},
       {U("charCode"), U("keyCode"), U("keyLocation"), B("ctrlKey"), B("altKey"), B("shiftKey"),
        B("controlKey"), B("commandKey")},
       {"charCode", "keyCode", "keyLocation", "ctrlKey", "altKey", "shiftKey"}},
      {"FocusEvent",
       "flash.events::Event",
       true,
       {{"FOCUS_IN", u"focusIn"},
        {"FOCUS_OUT", u"focusOut"},
        {"KEY_FOCUS_CHANGE", u"keyFocusChange"},
        {"MOUSE_FOCUS_CHANGE", u"mouseFocusChange"}},
       {A("relatedObject"),
        B("shiftKey"),
        U("keyCode"),
        {"direction", Kind::kString, 0, u"none", true, false, true}},
       {"relatedObject", "shiftKey", "keyCode"}},
      {"TimerEvent",
       "flash.events::Event",
       false,
       {{"TIMER", u"timer"}, {"TIMER_COMPLETE", u"timerComplete"}},
       {},
       {}},
      {"ProgressEvent",
       "flash.events::Event",
       false,
       {{"PROGRESS", u"progress"},
        {"SOCKET_DATA", u"socketData"},
        {"STANDARD_ERROR_DATA", u"standardErrorData"},
        {"STANDARD_INPUT_PROGRESS", u"standardInputProgress"},
        {"STANDARD_OUTPUT_DATA", u"standardOutputData"}},
       {N("bytesLoaded"), N("bytesTotal")},
       {"bytesLoaded", "bytesTotal"}},
      {"StatusEvent",
       "flash.events::Event",
       false,
       {{"STATUS", u"status"}},
       {S("code"), S("level")},
       {"code", "level"}},
      {"NetStatusEvent",
       "flash.events::Event",
       false,
       {{"NET_STATUS", u"netStatus"}},
       {A("info")},
       {"info"}},
      {"HTTPStatusEvent",
       "flash.events::Event",
       false,
       {{"HTTP_STATUS", u"httpStatus"}, {"HTTP_RESPONSE_STATUS", u"httpResponseStatus"}},
       {I("status"), B("redirected"), NotParam(A("responseURL")), NotParam(A("responseHeaders"))},
       {"status", "redirected", "responseURL"}},
      {"ActivityEvent",
       "flash.events::Event",
       false,
       {{"ACTIVITY", u"activity"}},
       {B("activating")},
       {"activating"}},
      {"FullScreenEvent",
       "flash.events::ActivityEvent",
       false,
       {{"FULL_SCREEN", u"fullScreen"},
        {"FULL_SCREEN_INTERACTIVE_ACCEPTED", u"fullScreenInteractiveAccepted"}},
       {B("fullScreen"), B("interactive")},
       {"fullScreen", "interactive"}},
      {"ContextMenuEvent",
       "flash.events::Event",
       false,
       {{"MENU_ITEM_SELECT", u"menuItemSelect"}, {"MENU_SELECT", u"menuSelect"}},
       {A("mouseTarget"), A("contextMenuOwner")},
       {"mouseTarget", "contextMenuOwner"}},
      {"SyncEvent",
       "flash.events::Event",
       false,
       {{"SYNC", u"sync"}},
       {A("changeList")},
       {"changeList"}},
  };
  return specs;
}

Value Default(const Field& f) {
  switch (f.kind) {
    case Kind::kBool:
      return Value(f.number != 0);
    case Kind::kNumber:
      return Value(f.number);
    case Kind::kInt:
      return Value(static_cast<int32_t>(f.number));
    case Kind::kUInt:
      return Value(static_cast<uint32_t>(f.number));
    case Kind::kString:
      return f.text ? Value(Str(f.text)) : Value::Null();
    case Kind::kAny:
      break;
  }
  return Value::Null();
}

const char* TypeName(Kind k) {
  switch (k) {
    case Kind::kBool:
      return "Boolean";
    case Kind::kNumber:
      return "Number";
    case Kind::kInt:
      return "int";
    case Kind::kUInt:
      return "uint";
    case Kind::kString:
      return "String";
    case Kind::kAny:
      break;
  }
  return nullptr;
}

void SetField(Vm& vm, Object* o, const char* name, const Value& v) {
  if (!o->traits()) return;
  if (const Trait* t = o->traits()->FindQ(Utf8ToUtf16(name), vm.public_ns());
      t && (t->type == TraitType::kSlot || t->type == TraitType::kConst))
    vm.SetSlot(o, t->slot, v);
}

template <size_t K>
Value Construct(Vm& vm, const Value& self, std::span<const Value> args) {
  const EventSpec& spec = Specs()[K];
  auto* e = ThisAs<EventObject>(vm, self, "flash.events.Event");
  // UncaughtErrorEvent alone has defaults for all three: its own type, bubbling, cancelable.
  bool uncaught = std::string_view(spec.name) == "UncaughtErrorEvent";
  e->type = ArgString(vm, args, 0, uncaught ? Str(u"uncaughtError") : Str());
  e->bubbles = ArgBool(vm, args, 1, spec.bubbles);
  e->cancelable = ArgBool(vm, args, 2, uncaught);
  size_t n = 3;
  for (const Field& f : spec.params)
    if (f.param) {
      SetField(vm, e, f.name, n < args.size() ? args[n] : Default(f));
      ++n;
    }
  return Value();
}

template <size_t K>
Value Clone(Vm& vm, const Value& self, std::span<const Value>) {
  const EventSpec& spec = Specs()[K];
  auto* e = ThisAs<EventObject>(vm, self, "flash.events.Event");
  std::vector<Value> args = {Value(e->type), Value(e->bubbles), Value(e->cancelable)};
  for (const Field& f : spec.params)
    if (f.param) args.push_back(vm.GetProperty(self, f.name));
  ClassObject* cls = vm.FindClass(std::string("flash.events::") + spec.name);
  return vm.Construct(Value(static_cast<Object*>(cls)), args);
}

template <size_t K>
Value ToStringFn(Vm& vm, const Value& self, std::span<const Value>) {
  const EventSpec& spec = Specs()[K];
  std::vector<Value> args = {Value(Str::FromUtf8(spec.name)), Value(Str(u"type")),
                             Value(Str(u"bubbles")), Value(Str(u"cancelable")),
                             Value(Str(u"eventPhase"))};
  for (const char* k : spec.shown) args.push_back(Value(Str::FromUtf8(k)));
  return EventFormatToString(vm, self, args);
}

// stageX/stageY: the local point through the target's transform to the stage. An event with
// no display object as target maps it through a zero matrix: 0, or NaN for a NaN coordinate.
Value StagePoint(Vm& vm, const Value& self, bool y) {
  auto* e = ThisAs<EventObject>(vm, self, "flash.events.MouseEvent");
  double lx = vm.ToNumber(vm.GetProperty(self, "localX"));
  double ly = vm.ToNumber(vm.GetProperty(self, "localY"));
  Object* t = e->target.AsObject();
  ClassObject* display = vm.FindClass("flash.display::DisplayObject");
  ClassObject* point = vm.FindClass("flash.geom::Point");
  if (t && display && point && t->cls() && t->cls()->IsSubclassOf(display)) {
    Value xy[2] = {Value(lx), Value(ly)};
    Value p = vm.Construct(Value(static_cast<Object*>(point)), xy);
    Value g = vm.CallMethod(e->target, "localToGlobal", std::span<const Value>(&p, 1));
    return Value(vm.ToNumber(vm.GetProperty(g, y ? "y" : "x")));
  }
  return Value(0 * lx + 0 * ly);
}
Value StageX(Vm& vm, const Value& self, std::span<const Value>) {
  return StagePoint(vm, self, false);
}
Value StageY(Vm& vm, const Value& self, std::span<const Value>) {
  return StagePoint(vm, self, true);
}
Value Ignore(Vm&, const Value&, std::span<const Value>) { return Value(); }

template <size_t K>
NativeClass MakeClass() {
  const EventSpec& spec = Specs()[K];
  NativeClass c;
  c.package = "flash.events";
  c.name = spec.name;
  c.super_name = spec.super;
  for (auto& [n, v] : spec.types) c.statics.push_back(Const(n, Value(Str(v))));
  for (const Field& f : spec.params) {
    if (!f.own) continue;
    NativeMember m = f.read_only ? Const(f.name, Default(f)) : Slot(f.name, Default(f));
    if (const char* t = TypeName(f.kind)) m = m.Typed(t);
    c.instance.push_back(m);
  }
  c.instance.push_back(Method("clone", Clone<K>));
  c.instance.push_back(Method("toString", ToStringFn<K>));
  std::string_view name = spec.name;
  if (name == "MouseEvent") {
    c.instance.push_back(Getter("stageX", StageX));
    c.instance.push_back(Getter("stageY", StageY));
  }
  if (name == "MouseEvent" || name == "KeyboardEvent" || name == "TimerEvent")
    c.instance.push_back(Method("updateAfterEvent", Ignore));
  c.constructor = Construct<K>;
  c.constructor_length = 3;
  for (const Field& f : spec.params) c.constructor_length += f.param ? 1 : 0;
  return c;
}

template <size_t... K>
std::vector<NativeClass> MakeAll(std::index_sequence<K...>) {
  return {MakeClass<K>()...};
}

constexpr size_t kSpecCount = 19;

}  // namespace

std::span<const NativeClass* const> EventSubclasses() {
  static const std::vector<NativeClass> classes = [] {
    if (Specs().size() != kSpecCount) return std::vector<NativeClass>{};
    return MakeAll(std::make_index_sequence<kSpecCount>{});
  }();
  static const std::vector<const NativeClass*> ptrs = [] {
    std::vector<const NativeClass*> p;
    for (const NativeClass& c : classes) p.push_back(&c);
    return p;
  }();
  return ptrs;
}

}  // namespace flashsaver::avm2
