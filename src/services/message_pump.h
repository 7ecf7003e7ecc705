#pragma once
// The one way long operations wait: pumpMessages dispatches the window
// messages that arrive while it waits, and a left click during the wait
// either asks to stop the run or ends the wait and stops the focus axis.

extern int pumpActive;        // a pump loop is running
extern int pumpNestedCalls;   // calls that arrived while a pump loop was running

enum PumpResult {
  pumpStopConfirmed = 0,  // the operator answered Yes to the stop question
  pumpElapsed = 1,        // the time passed, or the call was nested
  pumpClicked = 3,        // a left click ended the wait; the click hook ran (Z was told to stop)
};

int pumpMessages(unsigned durationMs);

// What a left click during a wait halts besides the wait itself. The stage
// registers the stop of its focus axis here, so that the pump, which every
// subsystem uses, needs to know no device. Null halts nothing. Returns the
// hook it replaces.
using PumpClickHook = void (*)();
PumpClickHook setPumpClickHook(PumpClickHook hook);

// Sets the system timer to 1 ms for the life of the process, so that short
// waits (the map scan waits 5 ms per point) last what they ask for instead of
// a whole 15.6 ms timer tick. Idempotent; endFineTimer undoes it.
void beginFineTimer();
void endFineTimer();
