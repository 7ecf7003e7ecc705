// The stage against the fake controller library beside this program and the
// board against the emulated one (arduino_emulator.py runs this program), as
// the scenarios of motion.scenario. The real main window takes the texts.
// Also run beside no controller library and beside one that lacks an entry
// point (NERIN_MOTION_WITHOUT_FAKE: nothing here touches a library then).

#include "devices/motion/arduino_link.h"
#include "arduino_emulator_client.h"
#include "scenario.h"
#include "services/instrument_safety.h"
#include "services/objective_table.h"
#include "services/vendor_library.h"
#include "program_run.h"
#include "stage_fixture.h"
#include "ui_driver.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

using arduino_emulator::board;
using scenario::act;
using scenario::Args;
using scenario::str;

const bool withFake = std::getenv("NERIN_MOTION_WITHOUT_FAKE") == nullptr;
StageAxis& axis(const Args& a) { return a.at(1) == "X" ? stageX : a.at(1) == "Y" ? stageY : stageZ; }
using scenario::num;
// A whole number; a speed left out is the default speed.
int whole(const Args& a, std::size_t i) { return i < a.size() ? std::stoi(a[i]) : defaultStageSpeed; }
// An argument with {fake} as the fake library's folder.
std::wstring expanded(const std::string& text) {
  std::wstring out(text.begin(), text.end());
  if (const std::size_t at = out.find(L"{fake}"); at != std::wstring::npos)
    out.replace(at, 6, ui::windowsPathOf(STAGE_FAKE_DIR));
  return out;
}

// Which enumerated controller an axis holds ("-": simulated; "?": a name
// kept without its controller, or a controller on the wrong axis).
std::string held(const StageAxis& a, int number) {
  if (a.deviceNumber == 0) return a.deviceName[0] ? "?" : "-";
  const int index = a.deviceId - fakeXimc().deviceId(0);  // the fake's names end in COM21, COM22, COM23
  const bool named = std::string(a.deviceName).ends_with("COM" + std::to_string(21 + index));
  return a.deviceNumber == number && named ? str(index) : "?";
}

bool ticked(int id) { return IsDlgButtonChecked(hMainWnd, id) == BST_CHECKED; }
std::string lamp(int on, int off) { return ticked(on) == ticked(off) ? "?" : ticked(on) ? "on" : "off"; }

// Everything sent before a marker has arrived once the marker has.
std::string sentBeforeMarker() {
  sendLine("marker");
  std::string bytes;
  ui::eventually([&] { return (bytes = board().received()).size() >= 7 && bytes.ends_with("marker\n"); }, 10000);
  board().clear();
  return bytes.substr(0, bytes.size() - std::min<std::size_t>(bytes.size(), 7));
}

// The bytes received, a line repeated at once shown once.
std::string receivedRuns() {
  std::string out, line, last;
  std::istringstream in(board().received());
  while (std::getline(in, line)) if (line != last) out += (last = line) + "\n";
  return out;
}

ULONGLONG timerStart = 0;
std::thread clicker;
std::atomic<bool> clickPosted{false};
bool offMidMove = false;
char deadPort[MAX_PATH];

const scenario::Steps steps = {
    {"==", act([](const Args&) {
       closeAllAxes();
       if (withFake) fakeXimc().reset(3);
       scanRunning = stopRequested = 0, objectiveSettings.current = 3;
       liftOutputLatch(), closeArduino();
       arduinoLink = ArduinoLink{}, lightSources = LightSources{};
       for (HWND edit : {hInfoEdit, hProgressEdit, hLaserEdit, hLaserPowerEdit}) SetWindowTextA(edit, "");
       EXPECT_TRUE(board().reset());
     })},
    // the stage
    {"controllers", act([](const Args& a) { closeAllAxes(), fakeXimc().reset(whole(a, 1)); })},
    // a setting of the fake controller library in words (fake_ximc_control.h)
    {"ximc", act([](const Args& a) { fakeXimc().control(scenario::rest(a, 1)); })},
    {"connect", [](const Args& a) { return str(connectStage(whole(a, 1), whole(a, 2))); }},
    // "wiring count order" first connects that many controllers in that order.
    {"wiring", [](const Args& a) {
       if (a.size() > 2) closeAllAxes(), fakeXimc().reset(whole(a, 1)), connectStage(whole(a, 2), 500), fakeXimc().clearLog();
       return held(stageX, 1) + " " + held(stageY, 2) + " " + held(stageZ, 3);
     }},
    {"calls", [](const Args&) { return fakeXimc().calls(); }},
    {"loaded", [](const Args&) { return str(GetModuleHandleA("libximc.dll") != nullptr); }},
    {"exports", [](const Args& a) {
       HMODULE library = LoadLibraryA("libximc.dll");
       const bool found = library && GetProcAddress(library, a.at(1).c_str());
       return FreeLibrary(library), str(found);
     }},
    // Where the library is looked for: the folder started from and PATH.
    {"cd", [](const Args& a) { return str(SetCurrentDirectoryW(expanded(a.at(1)).c_str())); }},
    {"env", act([](const Args& a) { SetEnvironmentVariableW(expanded(a.at(1)).c_str(), expanded(a.at(2)).c_str()); })},
    {"load", [](const Args& a) {
       HMODULE library = a.at(1) == "vendor" ? loadVendorLibrary(L"libximc.dll", VendorSearch::alsoPath)
                                             : LoadLibraryW(L"libximc.dll");
       return FreeLibrary(library), str(library != nullptr);
     }},
    {"clear", act([](const Args&) { fakeXimc().clearLog(), board().clear(); })},
    {"close", act([](const Args&) { closeAllAxes(); })},
    {"move", [](const Args& a) { return str(moveAxisTo(axis(a), num(a, 2), whole(a, 3))); }},
    {"start", [](const Args& a) { return str(startAxisMove(axis(a), num(a, 2))); }},
    {"z-to", act([](const Args& a) { moveZTo(num(a, 1)); })},
    // The position and the running flag (7 when left untouched).
    {"read-moving", [](const Args& a) {
       int running = 7;
       return str(readAxisPositionAndMotion(axis(a), running)) + " " + str(running);
     }},
    {"close-axis", act([](const Args& a) { closeStageAxis(axis(a)); })},
    {"by", act([](const Args& a) { a[1] == "Z" ? moveZBy(num(a, 2)) : moveAxisBy(axis(a), num(a, 2)); })},
    {"xy", [](const Args& a) { return str(moveAxesTo(stageX, stageY, num(a, 1), num(a, 2), whole(a, 3))); }},
    {"xy-by", act([](const Args& a) { a.size() > 3 ? moveAxesBy(stageX, stageY, num(a, 1), num(a, 2), whole(a, 3))
                                                   : moveXYBy(num(a, 1), num(a, 2)); })},
    {"pos", [](const Args& a) { return str(axis(a).positionUm); }},
    {"read", [](const Args& a) { return str(readAxisPosition(axis(a))); }},
    {"limits", [](const Args& a) { return str(axis(a).atLeftLimit) + " " + str(axis(a).atRightLimit); }},
    {"zero-steps", [](const Args& a) { return str(axis(a).zeroSteps); }},
    {"stop", act([](const Args& a) { stopAxis(axis(a)); })},
    {"at", [](const Args& a) { return str(static_cast<double>(fakeXimc().position(whole(a, 1)))); }},
    {"moving", [](const Args& a) { return str(fakeXimc().isMoving(whole(a, 1))); }},
    {"enumerations", [](const Args&) { return str(fakeXimc().openEnumerations()); }},
    {"info", [](const Args&) { return ui::textOf(hInfoEdit); }},
    {"timer", act([](const Args&) { timerStart = GetTickCount64(); })},
    {"ms", [](const Args&) { return str(static_cast<double>(GetTickCount64() - timerStart)); }},
    {"click-when-moving", act([](const Args& a) {
       clicker = std::thread([index = whole(a, 1)] {
         clickPosted = ui::eventually([&] { return fakeXimc().isMoving(index) != 0; }, 10000) &&
                       PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
       });
     })},
    {"clicked", [](const Args&) { return clicker.join(), str(clickPosted); }},
    // the board
    {"board", [](const Args& a) {
       std::string request;
       for (const std::string& word : a) request += (request.empty() ? "" : " ") + arduino_emulator::escape(word);
       const std::string answer = board().request(request.substr(6));
       EXPECT_EQ(answer.rfind("OK", 0), 0u) << answer;
       return answer;
     }},
    {"arduino", [](const Args& a) {
       if (!connectArduino(board().comPort() + (a.size() > 1 ? whole(a, 1) : 0))) return std::string("0");
       const bool sent = board().waitForReceived(arduino_emulator::connectionBytes) && board().clear();
       return sent ? std::string("1") : "connection bytes " + board().lastReceived;
     }},
    {"arduino-missing", [](const Args&) {
       ui::DialogAnswerer answer(L"Warning", {IDOK});
       const bool connected = connectArduino(board().comPort() + 50);
       return str(connected) + str(answer.finish()) + " " + ui::narrow(answer.text());
     }},
    {"link", [](const Args&) { return str(arduinoLink.offline) + " " + str(arduinoLink.comPort - board().comPort()); }},
    {"sent", [](const Args&) { return sentBeforeMarker(); }},
    {"received", [](const Args&) { return receivedRuns(); }},
    {"state", [](const Args&) { return board().state(); }},
    {"laser", [](const Args& a) { return str(setLaser(whole(a, 1))); }},
    {"illumination", [](const Args& a) { return str(setIllumination(whole(a, 1))); }},
    {"lamp-level", [](const Args& a) { return str(setIlluminationLevel(whole(a, 1))); }},
    {"laser-level", act([](const Args& a) { setLaserLevel(num(a, 1)); })},
    {"lights", [](const Args&) {
       return "laser " + lamp(laserOnButton, laserOffButton) + " " + str(lightSources.laserOn) + " illumination " +
              lamp(illuminationOnButton, illuminationOffButton);
     }},
    {"laser-shown", [](const Args&) { return ui::textOf(hLaserEdit) + " V " + ui::textOf(hLaserPowerEdit) + " uW"; }},
    {"objective", act([](const Args& a) { objectiveSettings.current = whole(a, 1); })},
    {"speed", act([](const Args& a) { setMotorSpeed(whole(a, 1), whole(a, 2)); })},
    {"acceleration", act([](const Args& a) { setMotorAcceleration(whole(a, 1), whole(a, 2)); })},
    {"goto", [](const Args& a) { return str(moveMotorTo(whole(a, 1), num(a, 2))); }},
    {"query", [](const Args& a) { return str(queryMotorPosition(whole(a, 1))); }},
    {"zero-motor", act([](const Args& a) { zeroMotor(whole(a, 1)); })},
    {"line", [](const Args& a) { return str(sendLine(a.at(1).c_str())); }},
    {"reply-line", [](const Args&) { return readReplyLine(); }},
    {"motor", [](const Args& a) {
       const int i = whole(a, 1);
       const ArduinoLink& l = arduinoLink;
       return str(l.positionUm[i]) + " in " + str(l.lowerLimitUm[i]) + " " + str(l.upperLimitUm[i]) + " at " +
              str(l.speedUm[i]) + " moving " + str(l.moving[i]);
     }},
    {"progress", [](const Args&) { return ui::textOf(hProgressEdit); }},
    {"safe", act([](const Args&) { makeInstrumentsSafe(); })},
    {"unlatch", act([](const Args&) { liftOutputLatch(); })},
    {"digital", act([](const Args& a) { setDigitalOutput(whole(a, 1), whole(a, 2)); })},
    // "Off" asked while a move waits for its replies (the window's button,
    // served by the wait's message pump).
    {"off-during-next-move", act([](const Args&) {
       SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR timer, DWORD) {
         KillTimer(nullptr, timer);
         offMidMove = arduinoLink.moving[3] != 0;
         setLaser(0), setIllumination(0), sendLine("mid-move");
       });
     })},
    {"off-was-mid-move", [](const Args&) { return str(offMidMove); }},
    // The port stops taking data: a handle that cannot be written.
    {"port-dies", act([](const Args&) {
       char folder[MAX_PATH];
       GetTempPathA(MAX_PATH, folder), GetTempFileNameA(folder, "ard", 0, deadPort), CloseHandle(arduinoLink.portHandle);
       arduinoLink.portHandle = CreateFileA(deadPort, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
     })},
    // A port opened without sharing could not be opened again while the
    // dead handle lives.
    {"dead-port-closed", [](const Args&) {
       HANDLE exclusive = CreateFileA(deadPort, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
       const bool closed = exclusive != INVALID_HANDLE_VALUE && CloseHandle(exclusive);
       return DeleteFileA(deadPort), str(closed);
     }},
};

TEST(Motion, Scenarios) {
  ASSERT_TRUE(board().connected()) << "run under arduino_emulator.py";
  ensureTestMainWindow();
  ASSERT_TRUE(!withFake || fakeXimc().complete()) << "libximc.dll beside the test program is not the fake";
  for (const std::string& file : scenario::files("NERIN_MOTION_SCENARIO", {MOTION_SCENARIO}))
    scenario::runFile(file, steps);
  closeAllAxes();
  closeArduino();
}

}  // namespace
