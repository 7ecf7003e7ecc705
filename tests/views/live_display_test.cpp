// Live video on the real main window, read back pixel by pixel, and the
// picture files; the camera is the fake pylon runtime's, serving a uniform
// frame of a known colour.

#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "fake_pylon/fake_pylon_control.h"
#include "imaging_fixture.h"
#include "result_records.h"
#include "results/result_files.h"
#include "services/data_paths.h"
#include "services/program_state.h"
#include "views/image_files.h"
#include "views/live_display.h"
#include "views/overlays.h"

#include <initializer_list>
#include <string>

namespace {

constexpr COLORREF frameColour = RGB(200, 100, 50), black = RGB(0, 0, 0);  // from the fake's Bayer cells
constexpr int spotX = 600, spotYTop = 500;  // the laser spot, counted from the top

struct Px {
  int x, y;
  COLORREF colour;
};

template <typename Source>
void expectPixels(const Source& at, std::initializer_list<Px> pixels) {
  for (const Px& p : pixels) EXPECT_EQ(at(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
}

const std::string pngSignature = "\x89PNG\r\n\x1a\n";

class LiveDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    prepareMainWindow();
    ASSERT_TRUE(fakePylon().complete());
    camera.shutDown();
    fakePylon().reset(1, roiRegions, 2);
    fakePylon().setColour(200, 100, 100, 50);
    ASSERT_EQ(camera.init(), 1);
    camera.setFieldOfView(218.0);
    scanState.laserSpotX = spotX;
    scanState.laserSpotY = imageHeightPx - spotYTop;
    cameraAperture = 5;
    deviceBusy = scanRunning = wideViewShown = idleTicks = displayBusy = 0;
  }
  void TearDown() override {
    videoControl(0);
    camera.shutDown();
  }
};

TEST_F(LiveDisplay, ATickShowsTheFrameScaleBarAndSpotCircleAndShowCameraNoCircleNorWhileBusy) {
  videoTick(videoTimerId);
  // The 50 um bar at 218 um: outline from x = 849 to 1131, rows 973 to 977,
  // white inside.
  expectPixels(screenPixel, {{100, 100, frameColour}, {1231, 1027, frameColour}, {849, 975, pureBlue},
                             {1000, 973, pureBlue}, {1131, 977, pureBlue}, {1000, 975, pureWhite},
                             {848, 975, frameColour}, {1132, 975, frameColour}, {spotX, spotYTop, frameColour}});
  // The circle of radius 5 around the spot, hollow.
  EXPECT_GE(redAround(screenPixel, spotX, spotYTop, 6), 12);
  EXPECT_EQ(textOf(hTimeEdit), "Sleep:1");
  EXPECT_EQ(textOf(hCurrentEdit).find('.'), textOf(hCurrentEdit).size() - 4) << "three decimals";

  fakePylon().setColour(0, 0, 0, 0);
  camera.grab(1);
  displayBusy = 1;
  EXPECT_EQ(showFrame(hMainWnd, camera.frameBuffer, 0, 0, 0, 0), 0);
  EXPECT_EQ(screenPixel(100, 100), frameColour) << "nothing was drawn";
  displayBusy = 0;
  EXPECT_NE(showCamera(camera, hMainWnd), 0);
  EXPECT_EQ(screenPixel(100, 100), black);
  EXPECT_EQ(redAround(screenPixel, spotX, spotYTop, 6), 0) << "the circle the tick drew at the spot is gone";
}

TEST_F(LiveDisplay, TicksAreSkippedWhileBusyScanningOrShowingTheWideView) {
  const int grabs = fakePylon().grabs();
  deviceBusy = 1;
  videoTick(videoTimerId);
  EXPECT_EQ(idleTicks, 0) << "a busy device sequence takes the whole tick";
  deviceBusy = 0;
  for (int* flag : {&scanRunning, &wideViewShown}) {
    *flag = 1;
    videoTick(videoTimerId);
    *flag = 0;
  }
  videoTick(videoTimerId + 1);
  EXPECT_EQ(idleTicks, 3) << "the idle count goes on";
  EXPECT_EQ(fakePylon().grabs(), grabs);
  EXPECT_EQ(deviceBusy, 0);
}

TEST_F(LiveDisplay, RubberBandTileAndWideBarAndGdiObjectsStayFlat) {
  videoTick(videoTimerId);
  const POINT outline[] = {{100, 120}, {250, 120}, {100, 299}, {175, 299}, {299, 200}};
  for (COLORREF shown : {RGB(55, 155, 205), frameColour}) {  // inverted, then restored
    drawRubberBand(hMainWnd, 100, 120, 300, 300);
    for (const POINT& p : outline) EXPECT_EQ(screenPixel(p.x, p.y), shown) << p.x << "," << p.y;
    EXPECT_EQ(screenPixel(175, 200), frameColour) << "inside";
  }

  fakePylon().setColour(0, 0, 0, 0);
  camera.grab(1);
  showCamera(camera, hMainWnd);
  fakePylon().setColour(200, 100, 100, 50);
  camera.grab(1);
  // n = 3: the middle cell spans x 410 .. 820 and y 343 .. 685.
  EXPECT_EQ(showTile(hMainWnd, camera.frameBuffer, 1, 1, 3), 1);
  // 10 um at 89 um across: from x = 1082 to 1220, rows 928 to 932.
  fieldOfViewUm = 89.0;
  HDC dc = GetDC(hMainWnd);
  drawWideScaleBar(dc);
  ReleaseDC(hMainWnd, dc);
  expectPixels(screenPixel, {{615, 514, frameColour}, {412, 345, frameColour}, {405, 514, black},
                             {615, 690, black}, {1150, 930, RGB(255, 255, 0)}, {1150, 928, black}});

  for (int i = 0; i < 20; ++i) videoTick(videoTimerId);
  const int before = gdiObjectCount();
  for (int i = 0; i < 300; ++i) {
    videoTick(videoTimerId);
    if (i % 50 == 0) showTile(hMainWnd, camera.frameBuffer, i % 3, 1, 3);
    drawMarker(hMainWnd, 300, 300, 4, pureGreen);
    drawScanArea(hMainWnd, 10, 10, 50, 50);
  }
  EXPECT_LE(gdiObjectCount(), before + 2) << "before: " << before;
}

TEST_F(LiveDisplay, VideoControlStartsStopsRestoresAndAnswersAndHoursIdleStopItAndTheLaser) {
  const struct {
    int command, running, was;  // videoRunning and videoWasRunning afterwards
  } steps[] = {{0, 0, 0}, {1, 1, 0}, {5, 1, 0}, {6, 1, 0}, {0, 0, 1}, {2, 1, 0}, {1, 1, 1}, {0, 0, 1}, {2, 1, 0}};
  videoControl(0);
  videoControl(0);
  for (const auto& s : steps) {
    wideViewShown = 1;
    videoControl(s.command);
    EXPECT_EQ(videoRunning, s.running) << "command " << s.command;
    EXPECT_EQ(videoWasRunning, s.was) << "command " << s.command;
    EXPECT_EQ(videoControl(4), s.running);
    EXPECT_EQ(videoControl(3), s.was);
    if (s.command == 1) { EXPECT_EQ(wideViewShown, 0) << "starting video leaves the wide view"; }
  }

  videoControl(1);
  lightSources.laserOn = 1;
  idleTicks = 99999;
  videoTick(videoTimerId);
  EXPECT_EQ(videoRunning, 1);
  videoTick(videoTimerId);
  EXPECT_EQ(videoRunning, 0);
  EXPECT_EQ(lightSources.laserOn, 0);
}

TEST_F(LiveDisplay, PicturesAreSavedAsPngWithWhatEachShowsAndTheirRecords) {
  videoTick(videoTimerId);
  const int selection[4] = {100, 120, 300, 220};
  std::copy(std::begin(selection), std::end(selection), scanState.selectionCopy);
  camera.gain = 7;
  camera.exposureUs = 2500.0;
  saveCameraImageCommand();
  const std::wstring folder = dataPaths.measurementFolder;
  // The count skips the numbers of pictures already in the minute's folder
  // (another test program may have saved there): the picture is the last one.
  const std::wstring file = folder + L"\\camera(" + std::to_wstring(cameraImageCount - 1) + L").jpg";
  EXPECT_EQ(testfiles::readBytes(file.c_str()).substr(0, 8), pngSignature);
  Picture saved(file);
  ASSERT_TRUE(saved.loaded());
  auto savedAt = [&](int x, int y) { return saved.at(x, y); };
  EXPECT_EQ(saved.width(), 1232u);
  // Scale bar and scan area, no spot circle, in the file and on the window.
  expectPixels(savedAt, {{50, 50, frameColour}, {1000, 973, pureBlue}, {100, 170, pureGreen}, {200, 120, pureGreen}});
  EXPECT_EQ(redAround(savedAt, spotX, spotYTop, 6), 0);
  EXPECT_EQ(screenPixel(100, 170), pureGreen);
  EXPECT_EQ(redAround(screenPixel, spotX, spotYTop, 6), 0);
  const nlohmann::json record = testfiles::recordBeside(file);
  EXPECT_EQ(record["result"], "camera image");
  EXPECT_EQ(record["settings"]["cameraGain"], 7);
  EXPECT_EQ(record["settings"]["cameraExposureUs"], 2500.0);
  EXPECT_EQ(record["settings"]["fieldOfViewUm"], fieldOfViewUm);
  EXPECT_EQ(record["devices"]["camera"], "connected");

  // The window image is what the window shows, spot circle included.
  videoTick(videoTimerId);
  for (const std::wstring& name : testfiles::namesMatching(folder + L"\\optic*")) _wremove((folder + L"\\" + name).c_str());
  ASSERT_EQ(saveWindowImage(dataPaths, hMainWnd), 1);
  const std::wstring window = folder + L"\\optic.jpg";
  Picture shown(window);
  EXPECT_EQ(shown.at(100, 100), frameColour);
  EXPECT_GE(redAround([&](int x, int y) { return shown.at(x, y); }, spotX, spotYTop, 6), 12);
  EXPECT_EQ(testfiles::recordBeside(window)["result"], "window image");

  // The view snapshot has the scan area drawn on its copy only.
  const int area[4] = {10, 20, 110, 120};
  std::wstring snapshot, mapImage;
  EXPECT_EQ(saveViewSnapshot(dataPaths, hMainWnd, 1, "optics", area, &snapshot), 1);
  EXPECT_EQ(Picture(snapshot).at(10, 70), pureGreen);
  EXPECT_EQ(screenPixel(10, 70), frameColour);
  EXPECT_EQ(saveMapWindowImage(dataPaths, hMainWnd, "Nerin", &mapImage), 1);
  EXPECT_EQ(testfiles::readBytes(mapImage.c_str()).substr(0, 8), pngSignature);
}

TEST_F(LiveDisplay, TheMeasurementFolderIsKeptUntilANewOneIsForced) {
  makeMeasurementFolder(dataPaths, false);
  EXPECT_NE(GetFileAttributesW(dataPaths.measurementFolder) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  wcscpy(dataPaths.folderStamp, L"kept");
  makeMeasurementFolder(dataPaths, false);
  EXPECT_EQ(std::wstring(dataPaths.measurementFolder), std::wstring(dataPaths.dataFolder) + L"\\kept");
  makeMeasurementFolder(dataPaths, true);
  EXPECT_EQ(std::wstring(dataPaths.folderStamp).size(), 12u) << "a new stamp of the minute";
}

}  // namespace
