// flash.utils timers: setTimeout/setInterval and the Timer class, on a clock the player sets.
// The player runs the due timers between frames (RunDueTimers).
#pragma once

namespace flashsaver::avm2 {

class Vm;

// Moves the timers' clock to `now_ms` (ms since the movie started) and runs every timer due by
// then, earliest first (ties in the order they were set). Each timer runs at most once per call:
// a repeating one is next due one interval after this call's time.
void RunDueTimers(Vm& vm, double now_ms);
// The timers' clock as last set.
double TimerClock(Vm& vm);
void InstallTimerFunctions(Vm& vm);

}  // namespace flashsaver::avm2
