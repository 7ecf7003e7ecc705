#include "services/instrument_safety.h"

#include <windows.h>
#include <objbase.h>

#include <csignal>
#include <exception>

namespace {

struct Step {
  SafeStep run;
  unsigned boundMs;
};

constexpr LONG maxSteps = 8;
Step steps[maxSteps] = {};
volatile LONG stepCount = 0;

volatile LONG outputsLatched = 0;

// The round under way and its one owner: the thread that began it, or the
// watchdog once it took the round over. Only the owner claims steps.
volatile LONG ownerThread = 0;  // thread id; 0 while no round is under way
volatile LONG nextStep = 0;

// The step the owner is running: a ticket of this one run of it, with its
// index and start; 0 between steps. Who wins the swap of a ticket decides
// the round: the owner back from its step (ticket to 0, it goes on) or the
// watchdog once the bound has passed (ticket to takenOver, the round is
// the watchdog's).
constexpr LONG takenOver = -1;
volatile LONG runningTicket = 0;
volatile LONG ticketsIssued = 0;
volatile LONG runningIndex = -1;
volatile LONG64 runningSince = 0;

HANDLE stepStarted = nullptr;                                  // auto-reset: wakes the watchdog
const HANDLE roundEnded = CreateEventW(nullptr, TRUE, TRUE, nullptr);  // set while no round is under way
void (*afterTakeover)() = nullptr;

// A driver call may need as much stack as on the program's own thread.
constexpr SIZE_T safetyThreadStack = 1024 * 1024;

// The threads that run steps for the watchdog, made in advance: making a
// thread takes the loader's lock, which the hung thread may hold. Each
// lives in a COM apartment (the USB sourcemeter's driver is a COM object).
// A runner whose step overran its bound is left hanging; the next step
// gets a new one.
struct Runner {
  HANDLE wake = nullptr;  // auto-reset: a step was handed over
  HANDLE done = nullptr;  // auto-reset: it has returned
  volatile LONG step = -1;
};
Runner runners[maxSteps + 1];
LONG runnersMade = 0;
LONG standby = -1;  // the runner waiting for a step, -1 none

ULONGLONG now() { return GetTickCount64(); }

// How long a round can last: a waiting thread gives up after this.
DWORD roundBoundMs() {
  ULONGLONG total = 1000;
  for (LONG k = 0; k < stepCount; ++k) total += steps[k].boundMs;
  return static_cast<DWORD>(total);
}

void waitForRoundEnd() {
  const ULONGLONG deadline = now() + roundBoundMs();
  while (ownerThread != 0 && now() < deadline) WaitForSingleObject(roundEnded, 50);
}

// The owner runs the steps not claimed yet. False when the watchdog took
// the round over while one of them overran its bound.
bool runOwnedSteps() {
  for (;;) {
    const LONG k = InterlockedIncrement(&nextStep) - 1;
    if (k >= stepCount) return true;
    const LONG ticket = InterlockedIncrement(&ticketsIssued);
    InterlockedExchange(&runningIndex, k);
    InterlockedExchange64(&runningSince, static_cast<LONG64>(now()));
    InterlockedExchange(&runningTicket, ticket);
    if (stepStarted) SetEvent(stepStarted);
    steps[k].run();
    if (InterlockedCompareExchange(&runningTicket, 0, ticket) != ticket) return false;
  }
}

DWORD WINAPI runHandedSteps(void* context) {
  Runner& runner = *static_cast<Runner*>(context);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (;;) {
    WaitForSingleObject(runner.wake, INFINITE);
    steps[runner.step].run();
    SetEvent(runner.done);
  }
}

bool makeRunner() {
  if (runnersMade >= static_cast<LONG>(sizeof runners / sizeof runners[0])) return false;
  Runner& runner = runners[runnersMade];
  runner.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  runner.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE thread = runner.wake && runner.done ? CreateThread(nullptr, safetyThreadStack, runHandedSteps, &runner,
                                                             STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                                             : nullptr;
  if (!thread) return false;
  CloseHandle(thread);
  standby = runnersMade++;
  return true;
}

// Step k on a runner, waited for within its bound. Without any runner left
// it runs here, unbounded: an output left on would be worse.
void runBounded(LONG k) {
  if (standby < 0 && !makeRunner()) {
    steps[k].run();
    return;
  }
  Runner& runner = runners[standby];
  runner.step = k;
  SetEvent(runner.wake);
  if (WaitForSingleObject(runner.done, steps[k].boundMs) != WAIT_OBJECT_0) standby = -1;
}

// The round is the watchdog's: the rest of it, then the end of the process,
// since the thread stuck in the step it gave up never finishes it.
void takeOver() {
  InterlockedExchange(&ownerThread, static_cast<LONG>(GetCurrentThreadId()));
  for (;;) {
    const LONG k = InterlockedIncrement(&nextStep) - 1;
    if (k >= stepCount) break;
    runBounded(k);
  }
  if (!afterTakeover) TerminateProcess(GetCurrentProcess(), stuckStepExitCode);
  afterTakeover();
  InterlockedExchange(&runningTicket, 0);
  InterlockedExchange(&ownerThread, 0);
  SetEvent(roundEnded);
}

// Sleeps until a step starts or the running one reaches its bound.
DWORD WINAPI watchSteps(void*) {
  for (;;) {
    DWORD waitMs = INFINITE;
    const LONG ticket = runningTicket;
    if (ticket > 0) {
      const LONG k = runningIndex;
      const auto since = static_cast<ULONGLONG>(InterlockedCompareExchange64(&runningSince, 0, 0));
      // Index and start are written before their ticket: unchanged ticket,
      // matching index and start.
      if (ticket != runningTicket || k < 0 || k >= stepCount) continue;
      const ULONGLONG elapsed = now() - since;
      if (elapsed >= steps[k].boundMs) {
        if (InterlockedCompareExchange(&runningTicket, takenOver, ticket) == ticket) takeOver();
        continue;
      }
      waitMs = static_cast<DWORD>(steps[k].boundMs - elapsed);
    }
    WaitForSingleObject(stepStarted, waitMs);
  }
}

void endProcess(UINT exitCode) {
  makeInstrumentsSafe();
  TerminateProcess(GetCurrentProcess(), exitCode);
}

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* info) {
  const UINT code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 1;
  endProcess(code);
  return EXCEPTION_EXECUTE_HANDLER;
}

void onTerminate() { endProcess(3); }

void onAbortSignal(int) { endProcess(3); }

}  // namespace

void addSafeStep(SafeStep step, unsigned boundMs) {
  if (!step || stepCount >= maxSteps) return;
  steps[stepCount] = {step, boundMs};
  InterlockedIncrement(&stepCount);
}

void clearSafeSteps() { InterlockedExchange(&stepCount, 0); }

void makeInstrumentsSafe() {
  InterlockedExchange(&outputsLatched, 1);
  const auto me = static_cast<LONG>(GetCurrentThreadId());
  const LONG owner = InterlockedCompareExchange(&ownerThread, me, 0);
  if (owner == 0) {
    ResetEvent(roundEnded);
    InterlockedExchange(&nextStep, 0);
    if (!runOwnedSteps()) {
      waitForRoundEnd();
      return;
    }
    InterlockedExchange(&ownerThread, 0);
    SetEvent(roundEnded);
  } else if (owner == me) {
    // A fault inside this thread's step: the steps after it, then the step
    // is watched again as it was.
    const LONG ticket = runningTicket;
    const LONG index = runningIndex;
    const LONG64 since = InterlockedCompareExchange64(&runningSince, 0, 0);
    if (!runOwnedSteps()) {
      waitForRoundEnd();
      return;
    }
    InterlockedExchange(&runningIndex, index);
    InterlockedExchange64(&runningSince, since);
    InterlockedExchange(&runningTicket, ticket);
  } else {
    waitForRoundEnd();
  }
}

bool outputsLatchedOff() { return outputsLatched != 0; }

void liftOutputLatch() { InterlockedExchange(&outputsLatched, 0); }

void startSafetyWatchdog(void (*ended)()) {
  afterTakeover = ended;
  if (stepStarted) return;
  stepStarted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!stepStarted) return;
  makeRunner();
  if (HANDLE thread =
          CreateThread(nullptr, safetyThreadStack, watchSteps, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)) {
    CloseHandle(thread);
  }
}

void installCrashSafety() {
  startSafetyWatchdog();
  SetUnhandledExceptionFilter(onUnhandledException);
  std::set_terminate(onTerminate);
  std::signal(SIGABRT, onAbortSignal);
}
