#pragma once
// The one routine that leaves the instruments harmless however the program
// ends: laser and lamp dark, no bias on the sample, no stage axis moving.
// The device sides provide the steps and start-up lists them in order of
// importance; this service knows no device.
//
// A step must be fit to run from a crash handler, on any thread: it
// allocates nothing, shows nothing, never waits in the message pump, does
// nothing when its device is absent or already closed, and ends within its
// bound. A step that overruns its bound is left where it hangs (a vendor
// library that crashed holding its own lock never lets go): the watchdog
// runs the steps after it and then ends the process, since the thread that
// hung will not come back.

using SafeStep = void (*)();

// Appends a step; at most 8. Steps are listed once, at start-up.
void addSafeStep(SafeStep step, unsigned boundMs);
// Forgets every step (tests list their own).
void clearSafeSteps();

// Runs every step in the order listed. Entered again while a round is under
// way (a fault inside a step reaches the crash handler, which calls it), it
// goes on with the steps after the one that was running: the rest still
// run, and none runs twice in one round.
void makeInstrumentsSafe();

// The exit code of a process ended by the watchdog: ERROR_TIMEOUT.
constexpr unsigned stuckStepExitCode = 1460;

// Starts the watchdog (once). After it took over from a step that hung it
// calls ended, or without one terminates the process with stuckStepExitCode.
void startSafetyWatchdog(void (*ended)() = nullptr);

// From here on an unhandled exception (also one raised inside a vendor
// library), std::terminate and abort make the instruments safe and end the
// process at once: with the exception's code, or 3 as abort does. Nothing is
// shown, so that an unattended machine is not held by a crash dialog. Starts
// the watchdog too.
void installCrashSafety();
