// The camera as the rows of a scenario file, built three times: beside the
// fake pylon runtime, as the MindVision build (camera kind 1) beside the fake
// MindVision SDK, and beside no runtime at all (the first and the last with
// the meters' scenarios, tests/devices). The real main window shows
// the picture; message boxes are answered by pressing their OK button.

#include "console/configuration_dialog.h"
#include "devices/camera/camera.h"
#include "devices/camera/camera_frame.h"
#include "fake_mindvision/fake_mindvision_control.h"
#include "fake_pylon/fake_pylon_control.h"
#include "imaging_fixture.h"
#include "resources/resource_ids.h"
#include "scenario.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "views/image_files.h"
#include "views/live_display.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

using scenario::act;
using scenario::Args;
using scenario::str;

int whole(const Args& a, std::size_t i) { return std::stoi(a.at(i)); }
std::size_t pixelAt(const Args& a) { return framePixelOffset(whole(a, 1), whole(a, 2)); }  // x, y from the top
int control(const Args& a) { return a.at(1) == "camera-init" ? IDC_CAMERA_INIT : IDC_CAMERA_CONNECTED; }
std::string rgb(COLORREF c) { return str(GetRValue(c)) + " " + str(GetGValue(c)) + " " + str(GetBValue(c)); }

// A fake that lacks a control ends the test at once: a call through a null
// control would crash it and wait for the time-out.
template <typename Fake> const Fake& checked(const Fake& fake, const char* library) {
  if (!fake.complete()) std::fprintf(stderr, "%s beside the program is not the fake\n", library), std::exit(1);
  return fake;
}
const FakePylon& pylon() { return checked(fakePylon(), "PylonC_v6_3.dll"); }
const FakeMindVision& mv() { return checked(fakeMindVision(), "MVCAMSDK_X64.dll"); }

HWND dialog = nullptr;
std::unique_ptr<Picture> saved;
std::mutex boxesLock;
std::string boxes;  // "title | text" of each box since the last look

// Lets live video's timer run until `n` more snapshots were asked for.
bool videoSnaps(int n) {
  const int until = mv().snaps() + n;
  return ui::eventually([until] { return pumpMessages(20), mv().snaps() >= until; }, 20000);
}

const scenario::Steps steps = {
    {"==", act([](const Args&) {
       videoControl(0), camera.shutDown();
       camera.gain = 1, camera.exposureUs = 100.0, deviceBusy = scanRunning = wideViewShown = 0, displayBusy = 0;
       camera.testPatternPhase = 0;
       SetWindowTextA(hInfoEdit, "");
     })},
    {"init", [](const Args&) { return str(camera.init()); }},
    {"connected", [](const Args&) { return str(camera.connected); }},
    {"configure", [](const Args& a) {
       return str(camera.configure(a.at(1) == "auto" ? CameraSetup::Auto : CameraSetup::Manual));
     }},
    {"shut-down", act([](const Args&) { camera.shutDown(); })},
    {"grab", act([](const Args&) { camera.grab(1); })},
    {"info", [](const Args&) { return textOf(hInfoEdit); }},
    {"size", [](const Args&) { return str(camera.frameWidth) + " x " + str(camera.frameHeight); }},
    // the phase of the test pattern drawn next
    {"phase", [](const Args&) { return str(camera.testPatternPhase); }},
    // One byte of the frame at (x, y from the top): channel 0 blue, 1 green, 2 red.
    {"pixel", [](const Args& a) { return str(camera.frameBuffer[pixelAt(a) + whole(a, 3)]); }},
    {"screen", [](const Args& a) { return rgb(screenPixel(whole(a, 1), whole(a, 2))); }},
    // The screen shows the frame's colour at (x, y).
    {"shown", [](const Args& a) {
       const std::uint8_t* p = &camera.frameBuffer[pixelAt(a)];
       return str(screenPixel(whole(a, 1), whole(a, 2)) == RGB(p[2], p[1], p[0]));
     }},
    {"video", [](const Args& a) { return str(videoControl(whole(a, 1))); }},
    {"tick", act([](const Args&) { cameraAperture = 0, videoTick(videoTimerId); })},
    {"gain", act([](const Args& a) { camera.gain = whole(a, 1); })},
    {"exposure", act([](const Args& a) { camera.exposureUs = std::stod(a.at(1)); })},
    {"type-gain", [](const Args& a) { return applyGain(a.size() > 1 ? a[1].c_str() : ""), textOf(hGainEdit); }},
    {"type-exposure", [](const Args& a) { return applyExposure(a.at(1).c_str()), textOf(hExposureEdit); }},
    {"stored", [](const Args&) { return str(camera.gain) + " " + str(camera.exposureUs); }},
    {"save", act([](const Args&) {
       saveCameraImageCommand();  // numbered after what other programs saved this minute
       saved = std::make_unique<Picture>(std::wstring(dataPaths.measurementFolder) + L"\\camera(" +
                                         std::to_wstring(cameraImageCount - 1) + L").jpg");
     })},
    {"saved-width", [](const Args&) { return saved->loaded() ? str(saved->width()) : "none"; }},
    {"saved", [](const Args& a) { return rgb(saved->at(whole(a, 1), whole(a, 2))); }},
    {"boxes", [](const Args&) { std::scoped_lock hold(boxesLock); return std::exchange(boxes, std::string()); }},
    {"dialog", act([](const Args&) {
       dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONFIGURATION), hMainWnd,
                                   configurationDialogProc, 0);
     })},
    {"press", [](const Args& a) { return str(ui::pressButton(dialog, control(a))); }},
    {"ticked", [](const Args& a) { return str(IsDlgButtonChecked(dialog, control(a)) == BST_CHECKED); }},
    {"close-dialog", act([](const Args&) { DestroyWindow(dialog); })},
    // the fake pylon runtime: a setting in words (fake_pylon_control.h)
    {"pylon", act([](const Args& a) { pylon().control(scenario::rest(a, 1)); })},
    // The calls since the last look.
    {"pylon-calls", [](const Args&) { const std::string calls = pylon().calls(); return pylon().clearLog(), calls; }},
    {"pylon-open", [](const Args&) { return str(pylon().open()); }},
    {"pylon-grabs", [](const Args&) { return str(pylon().grabs()); }},
    // the fake MindVision SDK: a setting in words (fake_mindvision_control.h)
    {"mv", act([](const Args& a) { mv().control(scenario::rest(a, 1)); })},
    // The calls since the last look (the fake writes the open camera's handle H).
    {"mv-calls", [](const Args&) { const std::string calls = mv().calls(); return mv().clearLog(), calls; }},
    {"held", [](const Args&) { return str(mv().held()); }},
    {"open-handle", [](const Args&) { return str(mv().openHandle() != 0); }},
    {"video-snaps", [](const Args& a) { return str(videoSnaps(whole(a, 1))); }},
};

TEST(Camera, Scenarios) {
  prepareMainWindow();
  ui::BoxAnswerer answerer([](const std::string& title, const std::string& text) {
    std::lock_guard<std::mutex> hold(boxesLock);
    boxes += title + " | " + text;
    return IDOK;
  });
  for (const std::string& file : scenario::files("NERIN_CAMERA_SCENARIO", {CAMERA_SCENARIO}))
    scenario::runFile(file, steps);
  videoControl(0);
  camera.shutDown();
}

}  // namespace
