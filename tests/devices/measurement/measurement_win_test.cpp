// The meters through the access layer, as the rows of a scenario file: the
// GPIB ones against the fake driver (or none) beside this program, the USB
// sourcemeter against a fake of its COM driver registered in the test prefix.
// Linked with the camera's scenarios into one program (tests/devices).
// Every action's standard output is kept for the "printed" step.

#include "devices/measurement/current_reading.h"
#include "devices/measurement/gpib_access.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/gpib_status.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "fake_gpib/fake_gpib_control.h"
#include "fake_keithley/fake_keithley_control.h"
#include "program_run.h"
#include "scenario.h"
#include "services/instrument_safety.h"
#include "services/program_state.h"

#include <thread>

namespace {

using scenario::act;
using scenario::Args;
using scenario::str;

std::wstring keithleyPath() { return ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL); }
const FakeKeithley& usb() { return fakeKeithley(keithleyPath()); }
float real(const Args& a, std::size_t i) { return std::stof(a.at(i)); }

std::string printed;
ULONGLONG timerStart = 0;
// An action whose standard output (the program's diagnostics) is caught;
// its result as text.
template <typename F> scenario::Steps::mapped_type said(F f) {
  return [f](const Args& a) {
    testing::internal::CaptureStdout();
    auto result = f(a);
    std::fflush(stdout);
    printed = testing::internal::GetCapturedStdout();
    std::ostringstream text;  // a float reading to its own precision
    text.precision(std::is_same_v<decltype(result), float> ? 7 : 12);
    return text << result, text.str();
  };
}

// The make-safe step on its own thread while another (this one) holds the
// loader's lock, as a crashed thread may: "1" when it ended without it.
std::string offUnderLoaderLock() {
  LONG(WINAPI * lock)(ULONG, ULONG*, ULONG_PTR*) = nullptr;
  LONG(WINAPI * unlock)(ULONG, ULONG_PTR) = nullptr;
  fakes::bindControl(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock", lock);
  fakes::bindControl(GetModuleHandleW(L"ntdll.dll"), "LdrUnlockLoaderLock", unlock);
  HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr), go = CreateEventW(nullptr, TRUE, FALSE, nullptr),
         done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // The round's thread must be running before the lock is taken: a new
  // thread's start needs the lock too, and CreateThread returns before it.
  std::thread round([&] { SetEvent(running), WaitForSingleObject(go, INFINITE), switchGpibSourcemeterOffNow(), SetEvent(done); });
  WaitForSingleObject(running, 10000);
  ULONG_PTR cookie = 0;
  lock(0, nullptr, &cookie), SetEvent(go);
  const bool ended = WaitForSingleObject(done, 10000) == WAIT_OBJECT_0;
  unlock(0, cookie), round.join();
  for (HANDLE h : {running, go, done}) CloseHandle(h);
  return ended ? "1" : "0";
}

// A make-safe round whose first step hangs: the watchdog's own thread (in
// COM as the driver needs) switches the USB output off; "1" when it did.
std::string watchdogRound() {
  static const HANDLE takenOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  static const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  clearSafeSteps();
  startSafetyWatchdog([] { SetEvent(takenOver); });
  addSafeStep([] { WaitForSingleObject(release, 30000); }, 100);
  addSafeStep(switchUsbSourcemeterOffNow, 3000);
  std::thread round(makeInstrumentsSafe);
  const bool took = WaitForSingleObject(takenOver, 10000) == WAIT_OBJECT_0;
  SetEvent(release), round.join(), clearSafeSteps(), liftOutputLatch();
  return took ? "1" : "0";
}

const scenario::Steps steps = {
    {"==", act([](const Args&) {
       if (GetModuleHandleA("ni4882.dll") && fakeGpib().complete()) fakeGpib().reset();
       currentEquipment = 4, usbCurrentLimit = 1e-5f;
     })},
    // the GPIB meters; "read" is readCurrent with that equipment chosen;
    // "bus" and "usb-calls" give the calls since the fake was last reset, and
    // reset it (replies, failures, modes and readings set before go too)
    {"gpib-fake", [](const Args&) { return str(fakeGpib().complete()); }},
    // a setting of the fake GPIB driver in words (fake_gpib_control.h)
    {"gpib", act([](const Args& a) { fakeGpib().control(scenario::rest(a, 1)); })},
    {"bus", [](const Args&) { const std::string calls = fakeGpib().calls(); return fakeGpib().reset(), calls; }},
    {"multimeter", said([](const Args& a) { return openGpibMultimeter(std::stoi(a.at(1))); })},
    {"sourcemeter", said([](const Args& a) { return openGpibSourcemeter(std::stoi(a.at(1))); })},
    {"configure", said([](const Args& a) { return configureGpibSourcemeter(real(a, 1), real(a, 2)), 0; })},
    {"close", said([](const Args&) { return closeGpibSourcemeter(), 0; })},
    {"off-now", said([](const Args&) { return switchGpibSourcemeterOffNow(), 0; })},
    {"read", said([](const Args& a) { return currentEquipment = std::stoi(a.at(1)), readCurrent(); })},
    {"ibdev", said([](const Args& a) { return ibdev(0, std::stoi(a.at(1)), 0, gpibTimeout10s, 1, 0); })},
    {"ibtrg", said([](const Args&) { return ibtrg(fakeGpibDevice); })},
    {"ibclr", said([](const Args&) { return ibclr(fakeGpibDevice); })},
    // the driver's status: Ibsta Iberr Ibcnt, and whether binding failed
    {"status", [](const Args&) {
       return str(Ibsta()) + " " + str(Iberr()) + " " + str(Ibcnt()) + " bind " + str(gpibBindFailed);
     }},
    {"loaded", [](const Args& a) { return str(GetModuleHandleA(a.at(1).c_str()) != nullptr); }},
    {"off-under-loader-lock", [](const Args&) { return offUnderLoaderLock(); }},
    // The lowest and highest of many simulated readings.
    {"simulated", [](const Args& a) {
       currentEquipment = 0;
       float low = 1, high = -1;
       for (int i = 0; i < 100000; ++i) low = std::min(low, readCurrent()), high = std::max(high, readCurrent());
       return str(a.at(1) == "low" ? low : high);
     }},
    {"printed", [](const Args&) { return printed; }},
    {"timer", act([](const Args&) { timerStart = GetTickCount64(); })},
    {"ms", [](const Args&) { return str(static_cast<double>(GetTickCount64() - timerStart)); }},
    // the USB sourcemeter
    {"usb-register", [](const Args&) { return str(registerFakeKeithley(keithleyPath()) && usb().complete()); }},
    {"usb-unregister", act([](const Args&) { unregisterFakeKeithley(); })},
    // a setting of the fake sourcemeter driver in words (fake_keithley_control.h)
    {"usb", act([](const Args& a) { usb().control(scenario::rest(a, 1)); })},
    {"usb-calls", [](const Args&) { const std::string calls = usb().calls(); return usb().reset(), calls; }},
    {"usb-references", [](const Args&) { return str(usb().references()); }},
    // A fresh fake with this call failing in this mode, opened and closed.
    {"usb-open-with", said([](const Args& a) {
       usb().reset(), usb().control("mode", a.at(1), a.at(2));
       const int opened = openUsbSourcemeter(0.0f);
       return closeUsbSourcemeter(), opened;
     })},
    {"usb-open", said([](const Args& a) { return openUsbSourcemeter(real(a, 1)); })},
    {"usb-configure", said([](const Args& a) { return configureUsbSourcemeter(real(a, 1), real(a, 2)), 0; })},
    {"usb-read", said([](const Args&) { return readUsbSourcemeter(); })},
    {"usb-close", said([](const Args&) { return closeUsbSourcemeter(), 0; })},
    {"usb-off-now", said([](const Args&) { return switchUsbSourcemeterOffNow(), 0; })},
    {"usb-watchdog-off", [](const Args&) { return watchdogRound(); }},
};

TEST(Measurement, Scenarios) {
  for (const std::string& file : scenario::files("NERIN_MEASUREMENT_SCENARIO", {MEASUREMENT_SCENARIO}))
    scenario::runFile(file, steps);
  closeUsbSourcemeter();
  unregisterFakeKeithley();
  currentEquipment = 4;
}

}  // namespace
