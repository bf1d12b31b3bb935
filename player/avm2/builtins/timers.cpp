// setTimeout, setInterval, clearTimeout, clearInterval, flash.utils.Timer and
// flash.events.TimerEvent.
#include "player/avm2/builtins/timers.h"

#include <algorithm>
#include <cmath>

#include "player/avm2/builtins/builtins.h"
#include "player/avm2/builtins/native_throw.h"
#include "player/avm2/display/display_host.h"
#include "player/avm2/heap.h"
#include "player/avm2/vm.h"

namespace flashsaver::avm2 {
namespace {

// A Timer: an EventDispatcher with its schedule.
class TimerObject : public DispatcherObject {
 public:
  using DispatcherObject::DispatcherObject;
  double delay = 0;
  int32_t repeat_count = 0;
  int32_t current_count = 0;
  int32_t entry = 0;  // the queue entry while running; 0 when stopped
};

struct TimerEntry {
  int32_t id = 0;
  double due = 0;
  double interval = 0;
  bool once = false;
  Value fn;  // setTimeout/setInterval
  std::vector<Value> args;
  TimerObject* timer = nullptr;  // a Timer's tick
};

// The machine's timers, held on the Timer class so the collector sees them.
class TimerQueueObject : public BoxedObject {
 public:
  using BoxedObject::BoxedObject;
  void Trace(Tracer& tracer) override {
    BoxedObject::Trace(tracer);
    for (TimerEntry& e : entries) {
      tracer.Mark(e.fn);
      tracer.Mark(e.args);
      if (e.timer) tracer.Mark(e.timer);
    }
  }
  double now = 0;
  int32_t next_id = 1;
  std::vector<TimerEntry> entries;
};

constexpr char16_t kQueueKey[] = u"\uE000timers";

TimerQueueObject* Queue(Vm& vm) {
  ClassObject* cls = vm.FindClass("flash.utils::Timer");
  std::u16string_view key(kQueueKey);
  if (!cls) return nullptr;
  if (auto* e = cls->dynamic().FindEntry(key))
    if (auto* q = dynamic_cast<TimerQueueObject*>(e->value.AsObject())) return q;
  auto* q = vm.heap().New<TimerQueueObject>(vm.classes().object, nullptr);
  cls->dynamic().Set(Str(std::u16string(key)), Value(static_cast<Object*>(q)));
  cls->dynamic().FindEntry(key)->enumerable = false;
  return q;
}

int32_t Schedule(Vm& vm, TimerEntry e) {
  TimerQueueObject* q = Queue(vm);
  if (!q) return 0;
  e.id = q->next_id++;
  // A zero interval would fire as fast as the clock moves: one tick per ms at most.
  e.interval = std::max(e.interval, 1.0);
  e.due = q->now + e.interval;
  q->entries.push_back(std::move(e));
  return q->entries.back().id;
}

void Cancel(Vm& vm, int32_t id) {
  if (TimerQueueObject* q = Queue(vm))
    std::erase_if(q->entries, [id](const TimerEntry& e) { return e.id == id; });
}

double DelayArg(Vm& vm, std::span<const Value> args, size_t i) {
  double d = ArgNumber(vm, args, i, 0);
  return std::isfinite(d) && d > 0 ? d : 0;
}

Value SetTimer(Vm& vm, std::span<const Value> args, bool once) {
  TimerEntry e;
  e.fn = Arg(args, 0);
  if (!e.fn.AsObject() || e.fn.AsObject()->kind() != ObjectKind::kFunction)
    vm.ThrowError(ErrorType::kTypeError, 1034, {vm.TypeNameForError(e.fn), "Function"});
  e.interval = DelayArg(vm, args, 1);
  e.once = once;
  if (args.size() > 2) e.args.assign(args.begin() + 2, args.end());
  return Value(static_cast<uint32_t>(Schedule(vm, std::move(e))));
}

Value SetTimeoutFn(Vm& vm, const Value&, std::span<const Value> args) {
  return SetTimer(vm, args, true);
}
Value SetIntervalFn(Vm& vm, const Value&, std::span<const Value> args) {
  return SetTimer(vm, args, false);
}
Value ClearTimerFn(Vm& vm, const Value&, std::span<const Value> args) {
  Cancel(vm, static_cast<int32_t>(ArgUInt(vm, args, 0)));
  return Value();
}

TimerObject* AsTimer(Vm& vm, const Value& self) {
  return ThisAs<TimerObject>(vm, self, "flash.utils.Timer");
}

void CheckDelay(Vm& vm, double delay, const char* frame) {
  if (!(delay >= 0) || !std::isfinite(delay))
    ThrowFromNative(vm, ErrorType::kRangeError, 2066, "The Timer delay specified is out of range.",
                    frame);
}

void StartTimer(Vm& vm, TimerObject* t) {
  if (t->entry) return;
  TimerEntry e;
  e.interval = t->delay;
  e.timer = t;
  t->entry = Schedule(vm, std::move(e));
}

void StopTimer(Vm& vm, TimerObject* t) {
  if (!t->entry) return;
  Cancel(vm, t->entry);
  t->entry = 0;
}

void DispatchTimerEvent(Vm& vm, TimerObject* t, const char16_t* type) {
  ClassObject* cls = vm.FindClass("flash.events::TimerEvent");
  if (!cls) return;
  Value a = Value(Str(type));
  Value ev = vm.Construct(Value(static_cast<Object*>(cls)), std::span<const Value>(&a, 1));
  vm.CallMethod(Value(static_cast<Object*>(t)), "dispatchEvent", std::span<const Value>(&ev, 1));
}

// One tick: count, tell the listeners, and end the run once the count is reached (a restarted
// timer that is already past its count ticks once more and completes again).
void TickTimer(Vm& vm, TimerObject* t) {
  ++t->current_count;
  DispatchTimerEvent(vm, t, u"timer");
  if (t->repeat_count != 0 && t->current_count >= t->repeat_count && t->entry) {
    StopTimer(vm, t);
    DispatchTimerEvent(vm, t, u"timerComplete");
  }
}

Object* CreateTimer(Vm& vm, ClassObject* cls) {
  return vm.heap().New<TimerObject>(cls, cls->prototype);
}

Value TimerInit(Vm& vm, const Value& self, std::span<const Value> args) {
  TimerObject* t = AsTimer(vm, self);
  double delay = ArgNumber(vm, args, 0, 0);
  CheckDelay(vm, delay, "flash.utils::Timer");
  t->delay = delay;
  t->repeat_count = ArgInt(vm, args, 1, 0);
  return Value();
}

Value GetDelay(Vm& vm, const Value& self, std::span<const Value>) {
  return Value::Numeric(AsTimer(vm, self)->delay);
}
Value SetDelay(Vm& vm, const Value& self, std::span<const Value> args) {
  TimerObject* t = AsTimer(vm, self);
  double delay = ArgNumber(vm, args, 0, 0);
  CheckDelay(vm, delay, "flash.utils::Timer/set delay");
  t->delay = delay;
  // A running timer starts its wait again with the new delay.
  if (t->entry) {
    StopTimer(vm, t);
    StartTimer(vm, t);
  }
  return Value();
}
Value GetRepeatCount(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(AsTimer(vm, self)->repeat_count);
}
Value SetRepeatCount(Vm& vm, const Value& self, std::span<const Value> args) {
  TimerObject* t = AsTimer(vm, self);
  t->repeat_count = ArgInt(vm, args, 0, 0);
  if (t->repeat_count != 0 && t->current_count >= t->repeat_count) StopTimer(vm, t);
  return Value();
}
Value GetCurrentCount(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(AsTimer(vm, self)->current_count);
}
Value GetRunning(Vm& vm, const Value& self, std::span<const Value>) {
  return Value(AsTimer(vm, self)->entry != 0);
}
Value Start(Vm& vm, const Value& self, std::span<const Value>) {
  StartTimer(vm, AsTimer(vm, self));
  return Value();
}
Value Stop(Vm& vm, const Value& self, std::span<const Value>) {
  StopTimer(vm, AsTimer(vm, self));
  return Value();
}
Value Reset(Vm& vm, const Value& self, std::span<const Value>) {
  TimerObject* t = AsTimer(vm, self);
  StopTimer(vm, t);
  t->current_count = 0;
  return Value();
}

Value UpdateAfterEvent(Vm&, const Value&, std::span<const Value>) { return Value(); }

void Define(Vm& vm, const char* name, NativeFn fn, int length) {
  FunctionObject* f = vm.NewNativeFunction(fn, length, name);
  Str key = Str::FromUtf8(std::string("flash.utils::") + name);
  vm.global()->dynamic().Set(key, Value(static_cast<Object*>(f)));
  vm.global()->dynamic().FindEntry(key.view())->enumerable = false;
  vm.RegisterBuiltinDefinition("flash.utils", name, key);
}

}  // namespace

void RunDueTimers(Vm& vm, double now_ms) {
  TimerQueueObject* q = Queue(vm);
  if (!q) return;
  q->now = std::max(q->now, now_ms);
  std::vector<std::pair<double, int32_t>> due;
  for (const TimerEntry& e : q->entries)
    if (e.due <= q->now) due.emplace_back(e.due, e.id);
  std::sort(due.begin(), due.end());
  for (auto [when, id] : due) {
    auto it = std::find_if(q->entries.begin(), q->entries.end(),
                           [id](const TimerEntry& e) { return e.id == id; });
    if (it == q->entries.end()) continue;  // cleared by an earlier callback
    TimerEntry e = *it;
    if (e.once)
      q->entries.erase(it);
    else
      it->due = q->now + e.interval;
    vm.RunGuarded([&] {
      if (e.timer) {
        TickTimer(vm, e.timer);
        return Value();
      }
      return vm.Call(e.fn, Value(), e.args);
    });
  }
}

double TimerClock(Vm& vm) {
  TimerQueueObject* q = Queue(vm);
  return q ? q->now : 0;
}

void InstallTimerFunctions(Vm& vm) {
  Define(vm, "setTimeout", SetTimeoutFn, 2);
  Define(vm, "setInterval", SetIntervalFn, 2);
  Define(vm, "clearTimeout", ClearTimerFn, 1);
  Define(vm, "clearInterval", ClearTimerFn, 1);
}

const NativeClass& TimerClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.utils";
    c.name = "Timer";
    c.super_name = "flash.events::EventDispatcher";
    c.instance = {Getter("delay", GetDelay),
                  Setter("delay", SetDelay),
                  Getter("repeatCount", GetRepeatCount),
                  Setter("repeatCount", SetRepeatCount),
                  Getter("currentCount", GetCurrentCount),
                  Getter("running", GetRunning),
                  Method("start", Start),
                  Method("stop", Stop),
                  Method("reset", Reset)};
    c.constructor = TimerInit;
    c.constructor_length = 1;
    c.create = CreateTimer;
    return c;
  }();
  return spec;
}

const NativeClass& TimerEventClass() {
  static const NativeClass spec = [] {
    NativeClass c;
    c.package = "flash.events";
    c.name = "TimerEvent";
    c.super_name = "flash.events::Event";
    c.instance = {Method("updateAfterEvent", UpdateAfterEvent)};
    c.statics = {Const("TIMER", Value(Str(u"timer"))),
                 Const("TIMER_COMPLETE", Value(Str(u"timerComplete")))};
    c.constructor_length = 1;
    return c;
  }();
  return spec;
}

}  // namespace flashsaver::avm2
