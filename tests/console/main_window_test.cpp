// The main window, the Configuration dialog and the objective dialogs worked
// as an operator works them, as the scenarios of main_window.scenario. This
// thread is the program's: it runs the program's own loop step, as the
// program does, and every modal dialog's loop. The scenario runs on a second
// thread, the operator's: it hands keys, clicks and mouse buttons to the
// program's thread as that thread's own messages (so that nothing depends on
// which window has the keyboard focus on a busy desktop), works the dialogs
// through their controls and answers the message boxes. The fake controller
// library, GPIB driver and camera runtime lie beside this program; the
// Arduino is the emulated board behind a COM port.

#include "arduino_emulator_client.h"
#include "console_rows.h"
#include "console/app.h"
#include "console/configuration_dialog.h"
#include "console/objective_dialogs.h"
#include "console/remote/remote_key.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/motion/arduino_link.h"
#include "fake_gpib_control.h"
#include "fake_pylon_control.h"
#include "main_window_loop.h"
#include "runs/objective/objective_changer.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "services/data_paths.h"
#include "services/instrument_safety.h"
#include "services/message_pump.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "stage_fixture.h"
#include "views/jog_pad.h"
#include "views/live_display.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>

namespace {

using arduino_emulator::board;
using scenario::Args;
using scenario::str;
using namespace mainwindow;

constexpr DWORD kTimeout = 30000;
constexpr UINT kRun = WM_APP + 1, kMark = WM_APP + 2;
using scenario::arg;
double num(const Args& a, std::size_t i) { return i < a.size() ? std::stod(a[i]) : 0.0; }

// The program's thread runs what the operator's hands it through this window.
std::atomic<int> markSeen{0};
int marks = 0;
LRESULT CALLBACK relayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRun) (*reinterpret_cast<std::function<void()>*>(lParam))(), delete reinterpret_cast<std::function<void()>*>(lParam);
  if (message == kMark) markSeen = static_cast<int>(wParam);
  return message >= WM_APP ? 0 : DefWindowProcW(window, message, wParam, lParam);
}
HWND relay() {  // a message-only window of the program's thread
  static const HWND window = [] {
    const HWND relay = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(relay, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(relayProc));
    return relay;
  }();
  return window;
}
// Everything handed over before has been handled, with what it set off:
// no wait of the program and no device sequence is under way (but the one a
// row holds), though a message box may be open. Twice: a modal loop that is
// ending takes one more message before it returns.
int heldBusy = 0;
bool settledOnce() {
  PostMessageW(relay(), kMark, ++marks, 0);
  return ui::eventually([] { return markSeen == marks && pumpActive == 0 && deviceBusy == heldBusy; }, kTimeout);
}
bool settled() { return settledOnce() && settledOnce(); }
// Runs on the program's thread: at once and waited for, or posted (for what
// opens a modal dialog) and waited for only until it is settled.
void onProgram(std::function<void()> f, bool wait = true) {
  auto* call = new std::function<void()>(std::move(f));
  DWORD_PTR ignored = 0;
  wait ? (void)SendMessageTimeoutW(relay(), kRun, 0, reinterpret_cast<LPARAM>(call), SMTO_NORMAL, kTimeout, &ignored)
       : (void)PostMessageW(relay(), kRun, 0, reinterpret_cast<LPARAM>(call));
  settled();
}

// A key as the program's loop step receives it from the keyboard, with Ctrl
// held or as Alt+character.
void key(HWND window, WORD vk, const std::string& how = "") {
  BYTE keys[256] = {};
  keys[VK_CONTROL] = how == "ctrl" ? 0x80 : 0, keys[VK_MENU] = how == "alt" ? 0x80 : 0;
  SetKeyboardState(keys);
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  MSG down = {window, static_cast<UINT>(how == "alt" ? WM_SYSCHAR : WM_KEYDOWN), vk, how == "alt" ? 0x20000001 : 1 | scan, 0, {}};
  MSG up = {window, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001) | scan, 0, {}};
  dispatchProgramMessage(accelerators(), down);
  if (how != "alt") dispatchProgramMessage(accelerators(), up);
  keys[VK_CONTROL] = keys[VK_MENU] = 0;
  SetKeyboardState(keys), drain();
}

const std::map<std::string, HWND*> fields = {
    NAMED(&hXEdit), NAMED(&hYEdit), NAMED(&hZEdit), NAMED(&hScanSpeedEdit), NAMED(&hScanStepEdit),
    NAMED(&hGainEdit), NAMED(&hExposureEdit), NAMED(&hLaserEdit), NAMED(&hBiasEdit), NAMED(&hTimeEdit),
    {"&firstEdit", &spectroscopyWindows.firstEdit}, {"&offTimeEdit", &spectroscopyWindows.offTimeEdit},
    {"&repeatEdit", &spectroscopyWindows.repeatEdit}};
HWND field(const std::string& name) { return *fields.at("&" + name); }

// The program's settings and state the rows set and read.
struct Value { std::function<double()> get; std::function<void(double)> set; };
template <typename T> Value of(T& v) {
  return {[&v] { return static_cast<double>(v); }, [&v](double x) { v = static_cast<T>(x); }};
}
const std::map<std::string, Value> values = {
    {"speed", of(scanSpeed)}, {"step", of(scanState.stepUm)}, {"view-um", of(fieldOfViewUm)}, {"equipment", of(currentEquipment)},
    {"focus-offset", of(lightSources.laserFocusOffsetUm)}, {"laser-level", of(lightSources.laserLevel)},
    {"bias", of(biasVoltage)}, {"limit", of(currentLimit)}, {"axis-order", of(standaConfig)},
    {"offline", of(arduinoLink.offline)}, {"spot-x", of(scanState.laserSpotX)}, {"spot-y", of(scanState.laserSpotY)},
    {"defocus", of(scanState.defocusUm)}, {"x", of(stageX.positionUm)}, {"y", of(stageY.positionUm)}, {"z", of(stageZ.positionUm)},
    {"gpib-device", of(gpibDevice)}, {"gpib-address", of(gpibAddress)}, {"com-port", of(arduinoComPort)}, {"busy", of(deviceBusy)},
    {"scanning", of(scanRunning)}, {"aperture", of(cameraAperture)}, {"objective", of(objectiveSettings.current)},
    {"previous", of(objectiveSettings.previous)}, {"confocal", of(confocalEnabled)}, {"creep", of(zCreepCorrection)},
    {"gain", of(camera.gain)}, {"exposure", of(camera.exposureUs)}, {"video", of(videoRunning)}, {"sample-view", of(scanState.sampleView)},
    {"travel-1", of(objectiveSettings.changerSteps[0])}, {"travel-2", of(objectiveSettings.changerSteps[1])},
    {"travel-3", of(objectiveSettings.changerSteps[2])}, {"travel-4", of(objectiveSettings.changerSteps[3])}};

// What the program does on its thread at a row's word (with a number).
const std::map<std::string, std::function<void(double)>> actions = {
    {"camera-off", [](double) { camera.shutDown(); }}, {"grab", [](double) { camera.grab(1); }},
    {"video", [](double on) { videoControl(static_cast<int>(on)); }}, {"z-at", [](double um) { setAxisPosition(stageZ, um); }},
    {"gpib-sourcemeter", [](double address) { openGpibSourcemeter(static_cast<int>(address)); }},
    {"gpib-multimeter", [](double address) { openGpibMultimeter(static_cast<int>(address)); }},
    {"safety", [](double) { installInstrumentSafety(); }}, {"end-session", [](double) { SendMessageW(hMainWnd, WM_ENDSESSION, TRUE, 0); }},
    {"configuration", [](double) { runConfigurationDialog(); }}, {"step-editor", [](double) { runObjectiveStepDialog(); }},
    {"selection", [](double) { runObjectiveSelectionDialog(); }}, {"load-objective", [](double) { loadObjectiveFile(); }},
    {"select-objective", [](double k) { selectObjective(static_cast<int>(k)); }},
    {"refresh-positions", [](double) { refreshPositionFields(); }}, {"show-x", [](double) { showPositionField(hXEdit); }},
    {"elapsed", [](double minutes) { scanState.expectedMinutes = static_cast<int>(minutes), stopwatch(true), showElapsed(); }},
    {"close-iv", [](double) { DestroyWindow(hIvWnd); }}, {"close-time", [](double) { DestroyWindow(spectroscopyWindows.timeWindow); }},
    // The board and stage the Configuration dialog starts from: neither connected.
    {"unconnected", [](double) {
       closeArduino(), arduinoLink = ArduinoLink{}, closeAllAxes(), fakeXimc().reset(0), fakeGpib().reset();
       gpibDevice = currentEquipment = 0, arduinoComPort = 12;
     }},
};

// Everything the board received since it was last read: the marker sent
// last has arrived once everything before it has.
std::string boardBytes() {
  onProgram([] { sendLine("marker"); });
  std::string bytes;
  ui::eventually([&] { return (bytes = board().received()).ends_with("marker\n"); }, kTimeout);
  return board().clear(), bytes.substr(0, bytes.size() - std::min<std::size_t>(bytes.size(), 7));
}
std::string logOf(const std::string& device, bool clear) {
  if (device == "board") return boardBytes();
  const std::string calls = device == "stage" ? fakeXimc().calls() : device == "gpib" ? fakeGpib().calls() : fakePylon().calls();
  if (clear) device == "stage" ? fakeXimc().clearLog() : device == "gpib" ? fakeGpib().reset() : fakePylon().clearLog();
  return calls;
}

// The message boxes and dialogs the operator expects, answered in the order
// they were announced; what each said is read in that order.
std::deque<std::function<std::string()>> expected;


// A box or dialog a failed row left open is closed, so that the next
// scenario (and the end of the run) is not held by it.
DWORD programThread = GetCurrentThreadId();
void closeLeftOpen() {
  EnumThreadWindows(programThread, [](HWND w, LPARAM) {
    wchar_t name[16] = {};
    if (GetClassNameW(w, name, 16) && IsWindowVisible(w) && !wcscmp(name, L"#32770"))
      ADD_FAILURE() << "left open: " << ui::textOf(w), PostMessageW(w, WM_COMMAND, IDCANCEL, 0), PostMessageW(w, WM_CLOSE, 0, 0);
    return TRUE;
  }, 0);
}

// Who may open the file, as the system lists it (Wine derives the list from
// the file's Unix mode, the system account "SY" included; a file made
// without a list would show Everyone, "WD").
std::string whoMayOpen(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  LPSTR text = nullptr;
  GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr, &descriptor);
  ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
  const std::string list = text ? text : "no list";
  return LocalFree(text), LocalFree(descriptor), list;
}

// What the program does at a row's word: "do" waits for it, "open" (a modal
// dialog) only until it is settled.
std::string act(const Args& a) {
  return onProgram([&action = actions.at(a.at(1)), n = num(a, 2)] { action(n); }, a[0] == "do"), std::string();
}

const scenario::Steps steps = withDialogSteps({
    {"==", [](const Args&) {
       for (auto& finish : expected) finish();
       expected.clear();
       closeLeftOpen();
       heldBusy = 0;
       onProgram([] {
         closeArduino(), closeGpibSourcemeter(), closeAllAxes(), liftOutputLatch(), SetWindowTextA(hInfoEdit, "");
         fakePylon().reset(1, noRegions, 2), camera.init(), camera.gain = 1, camera.exposureUs = 100.0;
         scanState = makeInitialScanState(), scanState.laserSpotX = scanState.laserSpotY = 0, fieldOfViewUm = 89.0;
         deviceBusy = scanRunning = programEnding = stopRequested = currentEquipment = standaConfig = zCreepCorrection = 0;
         scanSpeed = 500, gpibAddress = 18, arduinoComPort = 12, biasVoltage = 0.0f, currentLimit = 1e-4f;
         confocalEnabled = 1, cameraAperture = 5, objectiveSettings = ObjectiveTable{}, lightSources = LightSources{};
         fakeXimc().reset(3), connectStage(0, 500), fakeXimc().clearLog(), fakeGpib().reset();
         board().reset(), connectArduino(board().comPort());
       });
       board().waitForReceived(arduino_emulator::connectionBytes), board().clear();
       dialog = hMainWnd;  // "press" and "checked" work the main window's buttons until a dialog row names one
       return _wremove(dataPaths.objectiveFile), std::string();
     }},
    {"set", [](const Args& a) {
       if (a.at(1) == "busy") heldBusy = static_cast<int>(num(a, 2));
       return onProgram([&] { values.at(a.at(1)).set(num(a, 2)); }), std::string();
     }},
    {"get", [](const Args& a) { return str(values.at(a.at(1)).get()); }},
    {"do", act},
    {"open", act},
    // The operator clicks into the field, replaces its text and presses
    // Return (or the key named): the field shows what it took.
    {"type", [](const Args& a) {
       const HWND f = field(a.at(1));
       onProgram([f, text = arg(a, 2), last = arg(a, 3)] {
         SetFocus(f), SendMessageW(f, EM_SETSEL, 0, -1);
         for (char c : text) key(f, LOBYTE(VkKeyScanA(c)));
         key(f, last == "escape" ? VK_ESCAPE : VK_RETURN);
       });
       return ui::textOf(f);
     }},
    {"put", [](const Args& a) { return SetWindowTextA(field(a.at(1)), arg(a, 2).c_str()), std::string(); }},
    {"text", [](const Args& a) { return ui::textOf(field(a.at(1))); }},
    {"key", [](const Args& a) {
       const std::map<std::string, WORD> keys = {{"left", VK_LEFT}, {"page-up", VK_PRIOR}, {"/", '/'}, {"?", '?'}};
       return onProgram([vk = keys.at(a.at(1)), how = arg(a, 2)] { key(hMainWnd, vk, how); }, false), std::string();
     }},
    {"command", [](const Args& a) { return SendMessageW(hMainWnd, WM_COMMAND, controlId(a.at(1)), 0), std::string(); }},
    // A right click on the camera picture, at (x, y) from its top left.
    {"right-click", [](const Args& a) {
       const LPARAM at = MAKELPARAM(std::stoi(a.at(1)), std::stoi(a.at(2)));
       PostMessageW(hMainWnd, WM_RBUTTONDOWN, MK_RBUTTON, at), PostMessageW(hMainWnd, WM_RBUTTONUP, 0, at);
       return settled(), std::string();
     }},
    // The left button held on a jog pad button until the controller of its
    // axis has gone n steps: the um each move went, whether the pad held the
    // mouse (a release off the window still reaches it), and whether the
    // moves ended with the release (the press is over once settled).
    {"hold", [](const Args& a) {
       const int controller = a.at(1) == "+Z" ? 2 : 0;
       const JogButton button = controller == 2 ? jogPlusZ : jogMinusX;
       const JogPad pad;
       PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pad.buttons[button][0] + 25, pad.buttons[button][1] + 20));
       ui::eventually([&] { return std::llabs(fakeXimc().position(controller)) >= std::stoll(a.at(2)) * 256; }, kTimeout);
       GUITHREADINFO held = {};
       held.cbSize = sizeof held;
       GetGUIThreadInfo(programThread, &held);
       PostMessageW(hMainWnd, WM_LBUTTONUP, 0, 0);
       const bool ended = settled();
       const int moves = scenario::occurrences(fakeXimc().calls(), "command_move " + std::to_string(11 + controller));
       const StageAxis& axis = controller == 2 ? stageZ : stageX;
       return str(axis.positionUm / std::max(moves, 1)) + (held.hwndCapture == hMainWnd ? " held" : " not held") +
              (ended ? "" : ", still moving after the release");
     }},
    {"log", [](const Args& a) { return logOf(a.at(1), true); }},
    {"count", [](const Args& a) { return str(scenario::occurrences(logOf(a.at(1), false), scenario::rest(a, 2))); }},
    {"pylon", [](const Args& a) {
       if (a.at(1) == "colour") fakePylon().setColour(std::stoi(a.at(2)), std::stoi(a.at(3)), std::stoi(a.at(3)), std::stoi(a.at(4)));
       else if (a.at(1) == "cameras") fakePylon().reset(std::stoi(a.at(2)), roiRegions, 2);
       else fakePylon().control("value", a.at(1), a.at(2));
       return std::string();
     }},
    {"stage", [](const Args& a) { return fakeXimc().reset(std::stoi(a.at(1))), std::string(); }},
    {"stage-id", [](const Args& a) { return str(fakeXimc().deviceId(std::stoi(a.at(1))) == stageX.deviceId ? 1 : 0); }},
    {"enumerations", [](const Args&) { return str(fakeXimc().openEnumerations()); }}, {"info", [](const Args&) { return infoText(); }},
    {"gpib-fail", [](const Args& a) { return fakeGpib().reset(), fakeGpib().control("fail", a.at(1), 0x8000 /* ERR */, 0, 0), std::string(); }},
    {"board-users", [](const Args&) { return board().request("USERS"); }},
    // The menu's first title and its count, the icon.
    {"menu", [](const Args&) {
       char caption[64] = {};
       GetMenuStringA(GetMenu(hMainWnd), 0, caption, 64, MF_BYPOSITION);
       return caption + (" " + str(GetMenuItemCount(GetMenu(hMainWnd)))) + (GetClassLongPtrW(hMainWnd, GCLP_HICON) ? " icon" : "");
     }},
    {"file", [](const Args& a) {
       const wchar_t* path = a.at(1) == "config" ? dataPaths.configFile : dataPaths.objectiveFile;
       if (a.size() > 2) a[2] == "-" ? (void)_wremove(path) : (void)testfiles::writeBytes(path, a[2].c_str());
       return testfiles::readBytes(path);
     }},
    // The window's title, place, size, style, tool-window bit and owner; "again": the one the last row found.
    {"window", [](const Args& a) {
       static std::map<std::string, HWND> found;
       const HWND w = a.at(1) == "iv" ? hIvWnd : spectroscopyWindows.timeWindow;
       const HWND before = std::exchange(found[a[1]], IsWindow(w) ? w : nullptr);
       RECT r = {};
       char text[128];
       GetWindowRect(w, &r);
       std::snprintf(text, sizeof text, " %ld,%ld %ldx%ld %lu %ld%s%s", r.left, r.top, r.right - r.left, r.bottom - r.top,
                     static_cast<unsigned long>(GetWindowLongW(w, GWL_STYLE)), GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW,
                     GetWindow(w, GW_OWNER) == hMainWnd ? " owned" : "", w == before ? " again" : "");
       return IsWindow(w) ? ui::textOf(w) + text : std::string("none");
     }},
    // remote-key new | held | access: a fresh key written into a folder of
    // its own (its digits, whether it is new and the last one in the file),
    // or while someone holds the old file open (then the folder goes); who
    // may open the file.
    {"remote-key", [](const Args& a) {
       static std::string last;
       wchar_t temp[MAX_PATH];
       GetTempPathW(MAX_PATH, temp);
       const std::wstring folder = std::wstring(temp) + L"remote_key_test", path = folder + L"\\remote.key";
       if (a.at(1) == "access") return whoMayOpen(path);
       CreateDirectoryW(folder.c_str(), nullptr);
       const HANDLE held = a[1] != "held" ? INVALID_HANDLE_VALUE
                           : CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
       const RemoteKey key = writeFreshRemoteKey(folder);
       const std::string file = testfiles::readBytes(path.c_str()), was = last;
       if (held != INVALID_HANDLE_VALUE) CloseHandle(held), DeleteFileW(path.c_str()), RemoveDirectoryW(folder.c_str());
       last = key.hex.empty() ? was : key.hex;
       return (key.hex.empty() ? key.error : std::to_string(key.hex.size()) + " digits" + (key.hex == was ? "" : " new")) +
              (file == last ? ", the last in the file" : "");
     }},
    // Announces a message box or dialog and the buttons that answer it; "_"
    // in a title is a blank.
    {"expect", [](const Args& a) {
       std::vector<int> buttons;
       for (std::size_t i = 2; i < a.size(); ++i) buttons.push_back(controlId(a[i]));
       auto box = std::make_shared<ui::DialogAnswerer>(title(a.at(1)), buttons, kTimeout);
       return expected.push_back([box] { return box->finish() ? ui::narrow(box->text()) : "<no box>"; }), std::string();
     }},
    // What the box announced first said, once answered; with none announced,
    // what the dialog worked with says.
    {"said", [](const Args&) {
       if (expected.empty()) return ui::narrow(ui::staticTexts(dialog));
       const std::string said = expected.front()();
       expected.pop_front();
       return settled(), said;
     }},
}, settled);

TEST(MainWindow, Scenarios) {
  ASSERT_TRUE(board().connected()) << "run under arduino_emulator.py";
  ASSERT_TRUE(fakeXimc().complete() && fakeGpib().complete() && fakePylon().complete())
      << "the stage library, GPIB driver or camera runtime beside the test program is not the fake";
  ensureTestMainWindow(), ensureInfoBox(), relay();
  std::atomic<bool> done{false};
  std::thread operatorThread([&] {
    scenario::run("main_window.scenario", testfiles::readBytes(ui::windowsPathOf(MAIN_WINDOW_SCENARIO).c_str()), steps);
    steps.at("==")({});  // the next program in this prefix starts as it would have: no Objective.txt
    onProgram([] { closeArduino(), closeGpibSourcemeter(), closeAllAxes(); });
    done = true;
  });
  pumpUntil([&] { return done.load(); }, INFINITE);
  operatorThread.join();
}

}  // namespace
