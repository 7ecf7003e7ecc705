// Live video on the real main window, read back pixel by pixel, and the
// picture files, as rows of live_display.scenario; the camera is the fake
// pylon runtime's, serving a uniform frame of a known colour.

#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "fake_pylon/fake_pylon_control.h"
#include "imaging_fixture.h"
#include "result_records.h"
#include "results/result_files.h"
#include "services/data_paths.h"
#include "services/program_state.h"
#include "scenario.h"
#include "views/image_files.h"
#include "views/live_display.h"
#include "views/overlays.h"

namespace {

using scenario::Args;

int num(const Args& a, std::size_t i) { return std::stoi(a.at(i)); }
std::string rgb(COLORREF c) { return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," + std::to_string(GetBValue(c)); }

int grabsAtStage = 0;
std::wstring picture;  // the picture file saved last
const std::map<std::string, int*> flags = {
    {"deviceBusy", &deviceBusy}, {"scanRunning", &scanRunning}, {"wideViewShown", &wideViewShown},
    {"idleTicks", &idleTicks}, {"displayBusy", &displayBusy}, {"videoRunning", &videoRunning},
    {"laserOn", &lightSources.laserOn}, {"gain", &camera.gain}};

// The picture the program saved just now, named by the folder's newest match.
std::string saved(const std::wstring& pattern, int result = 1) {
  if (pattern.find(L'*') == std::wstring::npos) picture = std::wstring(dataPaths.measurementFolder) + L"\\" + pattern;
  const std::string bytes = testfiles::readBytes(picture.c_str());
  return std::to_string(result) + (bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0 ? " png" : " other");
}

const scenario::Steps steps = {
    // The laser spot at (600, 500) from the top, 218 um across, the frame
    // 200,100,50 (from the fake's Bayer cells), nothing busy.
    {"==", [](const Args&) {
       videoControl(0);
       camera.shutDown();
       prepareMainWindow();
       EXPECT_TRUE(fakePylon().complete());
       fakePylon().reset(1, roiRegions, 2);
       fakePylon().setColour(200, 100, 100, 50);
       EXPECT_EQ(camera.init(), 1);
       camera.setFieldOfView(218.0);
       fieldOfViewUm = 218.0;
       scanState.laserSpotX = 600;
       scanState.laserSpotY = imageHeightPx - 500;
       cameraAperture = 5;
       deviceBusy = scanRunning = wideViewShown = idleTicks = displayBusy = 0;
       grabsAtStage = fakePylon().grabs();
       return std::string();
     }},
    {"tick", scenario::act([](const Args& a) {
       for (int i = 0; i < (a.size() > 1 ? num(a, 1) : 1); ++i) videoTick(videoTimerId + (a.size() > 2));
     })},
    {"set", [](const Args& a) { return *flags.at(a.at(1)) = num(a, 2), std::string(); }},
    {"get", [](const Args& a) { return std::to_string(*flags.at(a.at(1))); }},
    {"fov", [](const Args& a) { return fieldOfViewUm = std::stod(a.at(1)), std::string(); }},
    {"exposure", [](const Args& a) { return camera.exposureUs = std::stod(a.at(1)), std::string(); }},
    // The fake's frame colour (red, two greens, blue), grabbed.
    {"colour", [](const Args& a) {
       fakePylon().setColour(num(a, 1), num(a, 2), num(a, 3), num(a, 4));
       return camera.grab(1), std::string();
     }},
    {"grabs", [](const Args&) { return std::to_string(fakePylon().grabs() - grabsAtStage); }},
    {"screen", [](const Args& a) { return rgb(screenPixel(num(a, 1), num(a, 2))); }},
    {"red-around", [](const Args& a) { return std::to_string(redAround(screenPixel, num(a, 1), num(a, 2), 6)); }},
    {"edit", [](const Args& a) { return textOf(a.at(1) == "time" ? hTimeEdit : hCurrentEdit); }},
    {"decimals", [](const Args&) {
       const std::string text = textOf(hCurrentEdit);
       return std::to_string(text.size() - text.find('.') - 1);
     }},
    {"show-frame", [](const Args&) { return std::to_string(showFrame(hMainWnd, camera.frameBuffer, 0, 0, 0, 0)); }},
    {"show-camera", [](const Args&) { return std::to_string(showCamera(camera, hMainWnd) != 0); }},
    {"tile", [](const Args& a) { return std::to_string(showTile(hMainWnd, camera.frameBuffer, num(a, 1), num(a, 2), num(a, 3))); }},
    {"rubber-band", [](const Args& a) { return drawRubberBand(hMainWnd, num(a, 1), num(a, 2), num(a, 3), num(a, 4)), std::string(); }},
    {"wide-bar", [](const Args&) {
       HDC dc = GetDC(hMainWnd);
       drawWideScaleBar(dc);
       return ReleaseDC(hMainWnd, dc), std::string();
     }},
    // Live GDI objects gained by 300 ticks with tiles, markers and scan areas.
    {"gdi-churn", [](const Args&) {
       for (int i = 0; i < 20; ++i) videoTick(videoTimerId);
       const int before = gdiObjectCount();
       for (int i = 0; i < 300; ++i) {
         videoTick(videoTimerId);
         if (i % 50 == 0) showTile(hMainWnd, camera.frameBuffer, i % 3, 1, 3);
         drawMarker(hMainWnd, 300, 300, 4, RGB(0, 255, 0));
         drawScanArea(hMainWnd, 10, 10, 50, 50);
       }
       return std::to_string(gdiObjectCount() - before);
     }},
    // A video command, with wide view shown: running/was-running after it,
    // as the globals hold them and as commands 4 and 3 answer; starting the
    // video leaves the wide view.
    {"video", [](const Args& a) {
       wideViewShown = 1;
       videoControl(num(a, 1));
       const std::string state = std::to_string(videoRunning) + "/" + std::to_string(videoWasRunning);
       const bool answers = videoControl(4) == videoRunning && videoControl(3) == videoWasRunning;
       return state + (answers ? "" : " answered otherwise") + (num(a, 1) == 1 && wideViewShown ? " wide" : "");
     }},
    // The saves, each leaving `picture`: result and file signature.
    {"save-camera", [](const Args& a) {
       for (int i = 0; i < 4; ++i) scanState.selectionCopy[i] = num(a, i + 1);
       saveCameraImageCommand();
       // The count skips the numbers already taken in the minute's folder.
       return saved(L"camera(" + std::to_wstring(cameraImageCount - 1) + L").jpg");
     }},
    {"save-window", [](const Args&) {
       const std::wstring folder = dataPaths.measurementFolder;
       for (const std::wstring& name : testfiles::namesMatching(folder + L"\\optic*")) _wremove((folder + L"\\" + name).c_str());
       return saved(L"optic.jpg", saveWindowImage(dataPaths, hMainWnd));
     }},
    {"save-snapshot", [](const Args& a) {
       const int area[4] = {num(a, 1), num(a, 2), num(a, 3), num(a, 4)};
       return saved(L"*", saveViewSnapshot(dataPaths, hMainWnd, 1, "optics", area, &picture));
     }},
    {"save-map-window", [](const Args&) { return saved(L"*", saveMapWindowImage(dataPaths, hMainWnd, "Nerin", &picture)); }},
    {"file", [](const Args& a) { return rgb(Picture(picture).at(num(a, 1), num(a, 2))); }},
    {"file-width", [](const Args&) { return std::to_string(Picture(picture).width()); }},
    {"file-red-around", [](const Args& a) {
       const Picture shown(picture);
       return std::to_string(redAround([&](int x, int y) { return shown.at(x, y); }, num(a, 1), num(a, 2), 6));
     }},
    {"record", [](const Args& a) { return testfiles::recordBeside(picture).value(nlohmann::json::json_pointer(a.at(1)), nlohmann::json()).dump(); }},
    // The measurement folder: kept, or made anew ("new"), with this stamp.
    {"folder", [](const Args& a) {
       if (a.size() > 2) wcscpy(dataPaths.folderStamp, std::wstring(a[2].begin(), a[2].end()).c_str());
       makeMeasurementFolder(dataPaths, a.at(1) == "new");
       const std::wstring made = dataPaths.measurementFolder, under = dataPaths.dataFolder;
       const bool isFolder = GetFileAttributesW(made.c_str()) & FILE_ATTRIBUTE_DIRECTORY;
       const std::string name = made.rfind(under, 0) == 0 ? ui::narrow(made.substr(under.size())) : "elsewhere";
       return (isFolder ? "folder " : "none ") + name;
     }},
    {"stamp-length", [](const Args&) { return std::to_string(wcslen(dataPaths.folderStamp)); }},
};

TEST(LiveDisplay, Scenarios) {
  scenario::runFile(LIVE_DISPLAY_SCENARIO, steps);
  videoControl(0);
  camera.shutDown();
}

}  // namespace
