#pragma once
// The one routine that leaves the instruments harmless however the program
// ends: laser and lamp dark, no bias on the sample, no stage axis moving.
// The device sides provide the steps and start-up lists them in order of
// importance; this service knows no device.
//
// A step must be fit to run from a crash handler, on any thread: it
// allocates nothing, shows nothing, never waits in the message pump, looks
// up no library entry point, does nothing when its device is absent or
// already closed, and ends within its bound.
//
// The round has one owner at a time. A step that overruns its bound is left
// where it hangs (a vendor library that crashed holding its own lock never
// lets go): the watchdog takes the round over, runs each step after it on a
// thread of its own, bounded like the owner's, and then ends the process.
// The thread that hung, should it come back, runs nothing more and waits
// for that end.

using SafeStep = void (*)();

// Appends a step; at most 8. Steps are listed once, at start-up.
void addSafeStep(SafeStep step, unsigned boundMs);
// Forgets every step (tests list their own).
void clearSafeSteps();

// Runs every step in the order listed. Entered again on the thread that is
// running a round (a fault inside a step reaches the crash handler, which
// calls it), it goes on with the steps after the one that was running: the
// rest still run, and none runs twice in one round. Called on another
// thread while a round is under way, it waits for that round to end.
void makeInstrumentsSafe();

// True from the first make-safe round on: the program is ending, and no
// output is driven again (laser, lamp, bias or output enable, stage and
// turret moves). The device operations that would drive one check it and
// refuse, whoever asks; switching off stays allowed.
bool outputsLatchedOff();
// Lifts the latch, for tests that go on in the same process after a round.
void liftOutputLatch();

// The exit code of a process ended by the watchdog: ERROR_TIMEOUT.
constexpr unsigned stuckStepExitCode = 1460;

// Starts the watchdog (once) with the thread that runs steps for it. After
// it took a round over and ran the rest it calls ended and lets the waiting
// threads go on, or without one terminates the process with
// stuckStepExitCode.
void startSafetyWatchdog(void (*ended)() = nullptr);

// From here on an unhandled exception (also one raised inside a vendor
// library), std::terminate and abort make the instruments safe and end the
// process at once: with the exception's code, or 3 as abort does. Nothing is
// shown, so that an unattended machine is not held by a crash dialog. Starts
// the watchdog too.
void installCrashSafety();
