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

#include <cstdio>
#include <string>

namespace {

constexpr COLORREF frameColour = RGB(200, 100, 50);  // from the fake's Bayer cells
constexpr int spotX = 600, spotYTop = 500;           // the laser spot, counted from the top

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
    deviceBusy = scanRunning = wideViewShown = 0;
    idleTicks = 0;
    displayBusy = 0;
  }
  void TearDown() override {
    videoControl(0);
    camera.shutDown();
  }
};

TEST_F(LiveDisplay, ATickPutsTheFrameScaleBarAndSpotCircleOnTheWindow) {
  videoTick(videoTimerId);
  EXPECT_EQ(screenPixel(100, 100), frameColour);
  EXPECT_EQ(screenPixel(1231, 1027), frameColour);
  // The 50 um bar at 218 um: outline from x = 849 to 1131, rows 973 to 977,
  // white inside.
  EXPECT_EQ(screenPixel(849, 975), pureBlue);
  EXPECT_EQ(screenPixel(1000, 973), pureBlue);
  EXPECT_EQ(screenPixel(1131, 977), pureBlue);
  EXPECT_EQ(screenPixel(1000, 975), pureWhite);
  EXPECT_EQ(screenPixel(848, 975), frameColour);
  EXPECT_EQ(screenPixel(1132, 975), frameColour);
  // The circle of radius 5 around the spot, hollow.
  EXPECT_GE(redAround(screenPixel, spotX, spotYTop, 6), 12);
  EXPECT_EQ(screenPixel(spotX, spotYTop), frameColour);
  EXPECT_EQ(textOf(hTimeEdit), "Sleep:1");
  EXPECT_EQ(textOf(hCurrentEdit).find('.'), textOf(hCurrentEdit).size() - 4) << "three decimals";
}

TEST_F(LiveDisplay, TicksAreSkippedWhileBusyScanningOrShowingTheWideView) {
  const int grabs = fakePylon().grabs();
  deviceBusy = 1;
  videoTick(videoTimerId);
  EXPECT_EQ(idleTicks, 0) << "a busy device sequence takes the whole tick";
  deviceBusy = 0;
  scanRunning = 1;
  videoTick(videoTimerId);
  scanRunning = 0;
  wideViewShown = 1;
  videoTick(videoTimerId);
  wideViewShown = 0;
  videoTick(videoTimerId + 1);
  EXPECT_EQ(idleTicks, 3) << "the idle count goes on";
  EXPECT_EQ(fakePylon().grabs(), grabs);
  EXPECT_EQ(deviceBusy, 0);
}

TEST_F(LiveDisplay, ShowFrameRefusesWhileAnotherDisplayIsInProgress) {
  videoTick(videoTimerId);
  fakePylon().setColour(0, 0, 0, 0);
  camera.grab(1);
  displayBusy = 1;
  EXPECT_EQ(showFrame(hMainWnd, camera.frameBuffer, 0, 0, 0, 0), 0);
  EXPECT_EQ(screenPixel(100, 100), frameColour) << "nothing was drawn";
  displayBusy = 0;
  EXPECT_NE(showCamera(camera, hMainWnd), 0);
  EXPECT_EQ(screenPixel(100, 100), RGB(0, 0, 0));
  EXPECT_EQ(redAround(screenPixel, 0, 0, 6), 0) << "radius 0: no circle where showCamera would draw one";
}

TEST_F(LiveDisplay, RubberBandInvertsItsOutlineAndTwiceRestoresThePicture) {
  videoTick(videoTimerId);
  const POINT outline[] = {{100, 120}, {250, 120}, {100, 299}, {175, 299}, {299, 200}};
  const POINT inside = {175, 200};
  drawRubberBand(hMainWnd, 100, 120, 300, 300);
  for (const POINT& p : outline) EXPECT_EQ(screenPixel(p.x, p.y), RGB(55, 155, 205)) << p.x << "," << p.y;
  EXPECT_EQ(screenPixel(inside.x, inside.y), frameColour);
  drawRubberBand(hMainWnd, 100, 120, 300, 300);
  for (const POINT& p : outline) EXPECT_EQ(screenPixel(p.x, p.y), frameColour) << p.x << "," << p.y;
}

TEST_F(LiveDisplay, ATileTakesItsCellOfTheMosaicAndTheWideBarIsYellow) {
  fakePylon().setColour(0, 0, 0, 0);
  camera.grab(1);
  showCamera(camera, hMainWnd);
  fakePylon().setColour(200, 100, 100, 50);
  camera.grab(1);
  // n = 3: the middle cell spans x 410 .. 820 and y 343 .. 685.
  EXPECT_EQ(showTile(hMainWnd, camera.frameBuffer, 1, 1, 3), 1);
  EXPECT_EQ(screenPixel(615, 514), frameColour);
  EXPECT_EQ(screenPixel(412, 345), frameColour);
  EXPECT_EQ(screenPixel(405, 514), RGB(0, 0, 0));
  EXPECT_EQ(screenPixel(615, 690), RGB(0, 0, 0));

  fieldOfViewUm = 89.0;
  HDC dc = GetDC(hMainWnd);
  drawWideScaleBar(dc);
  ReleaseDC(hMainWnd, dc);
  // 10 um at 89 um across: from x = 1082 to 1220, rows 928 to 932.
  EXPECT_EQ(screenPixel(1150, 930), RGB(255, 255, 0));
  EXPECT_EQ(screenPixel(1150, 928), RGB(0, 0, 0));
}

TEST_F(LiveDisplay, GdiObjectsStayFlatOverManyTicks) {
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

TEST_F(LiveDisplay, VideoControlStartsStopsRestoresAndAnswers) {
  const struct {
    int command;
    int running;  // videoRunning afterwards
    int was;      // videoWasRunning afterwards
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
    if (s.command == 1) {
      EXPECT_EQ(wideViewShown, 0) << "starting video leaves the wide view";
    }
  }
}

TEST_F(LiveDisplay, AfterHoursWithoutInputVideoStopsAndTheLaserGoesOff) {
  videoControl(1);
  lightSources.laserOn = 1;
  idleTicks = 99999;
  videoTick(videoTimerId);
  EXPECT_EQ(videoRunning, 1);
  videoTick(videoTimerId);
  EXPECT_EQ(videoRunning, 0);
  EXPECT_EQ(lightSources.laserOn, 0);
}

std::string firstBytes(const std::wstring& path, size_t count) {
  std::FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return "<missing>";
  std::string bytes(count, '\0');
  bytes.resize(std::fread(&bytes[0], 1, count, f));
  std::fclose(f);
  return bytes;
}

const std::string pngSignature = "\x89PNG\r\n\x1a\n";

TEST_F(LiveDisplay, SaveCameraImageWritesThePngWithScaleBarAndScanAreaButNoSpot) {
  videoTick(videoTimerId);
  const int selection[4] = {100, 120, 300, 220};
  for (int i = 0; i < 4; ++i) scanState.selectionCopy[i] = selection[i];
  const int counted = cameraImageCount;
  camera.gain = 7;
  camera.exposureUs = 2500.0;
  saveCameraImageCommand();
  // The count skips the numbers of pictures already in the minute's folder
  // (another test program may have saved there): the picture is the last one.
  ASSERT_GT(cameraImageCount, counted);
  const int number = cameraImageCount - 1;
  const std::wstring file =
      std::wstring(dataPaths.measurementFolder) + L"\\camera(" + std::to_wstring(number) + L").jpg";
  EXPECT_EQ(firstBytes(file, 8), pngSignature);
  Picture saved(file);
  ASSERT_TRUE(saved.loaded());
  auto savedAt = [&](int x, int y) { return saved.at(x, y); };
  EXPECT_EQ(saved.width(), 1232u);
  EXPECT_EQ(saved.at(50, 50), frameColour);
  EXPECT_EQ(saved.at(1000, 973), pureBlue);
  EXPECT_EQ(saved.at(100, 170), pureGreen);
  EXPECT_EQ(saved.at(200, 120), pureGreen);
  EXPECT_EQ(redAround(savedAt, spotX, spotYTop, 6), 0);
  // The window shows what was saved.
  EXPECT_EQ(screenPixel(100, 170), pureGreen);
  EXPECT_EQ(redAround(screenPixel, spotX, spotYTop, 6), 0);
  const nlohmann::json record = testfiles::recordBeside(file);
  EXPECT_EQ(record["result"], "camera image");
  EXPECT_EQ(record["settings"]["cameraGain"], 7);
  EXPECT_EQ(record["settings"]["cameraExposureUs"], 2500.0);
  EXPECT_EQ(record["settings"]["fieldOfViewUm"], fieldOfViewUm);
  EXPECT_EQ(record["devices"]["camera"], "connected");
}

TEST_F(LiveDisplay, WindowImagesAreNumberedByTheNamesAlreadyInTheFolder) {
  videoTick(videoTimerId);
  makeMeasurementFolder(dataPaths, false);
  const std::wstring folder = dataPaths.measurementFolder;
  for (const wchar_t* name : {L"\\optic.jpg", L"\\optic_0.jpg", L"\\optic_1.jpg"}) {
    std::wstring path = folder + name;
    _wremove(path.c_str());
    _wremove((path += L".json").c_str());
  }
  for (int i = 0; i < 3; ++i) saveWindowImage(dataPaths, hMainWnd);
  for (const wchar_t* name : {L"\\optic.jpg", L"\\optic_0.jpg", L"\\optic_1.jpg"}) {
    EXPECT_EQ(firstBytes(folder + name, 8), pngSignature) ;
    Picture saved(folder + name);
    EXPECT_EQ(saved.at(100, 100), frameColour);
    EXPECT_GE(redAround([&](int x, int y) { return saved.at(x, y); }, spotX, spotYTop, 6), 12)
        << "the window image is what the window shows, spot circle included";
    EXPECT_EQ(testfiles::recordBeside(folder + name)["result"], "window image");
  }
  EXPECT_EQ(firstBytes(folder + L"\\optic_2.jpg", 8), "<missing>");
}

TEST_F(LiveDisplay, TheMeasurementFolderIsKeptUntilANewOneIsForced) {
  makeMeasurementFolder(dataPaths, false);
  const std::wstring made = dataPaths.measurementFolder;
  EXPECT_NE(GetFileAttributesW(made.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  wcscpy(dataPaths.folderStamp, L"kept");
  makeMeasurementFolder(dataPaths, false);
  EXPECT_EQ(std::wstring(dataPaths.measurementFolder), std::wstring(dataPaths.dataFolder) + L"\\kept");
  makeMeasurementFolder(dataPaths, true);
  EXPECT_EQ(std::wstring(dataPaths.folderStamp).size(), 12u) << "a new stamp of the minute";
}

TEST_F(LiveDisplay, ViewSnapshotsAndMapWindowImagesCountUpAcrossSaves) {
  videoTick(videoTimerId);
  const int area[4] = {10, 20, 110, 120};
  const int snapshot = viewSnapshotCount;
  const int mapImage = windowImageCount;
  EXPECT_EQ(saveViewSnapshot(dataPaths, hMainWnd, 1, "optics", area), 1);
  EXPECT_EQ(saveViewSnapshot(dataPaths, hMainWnd, 1, "optics", area), 1);
  EXPECT_EQ(saveMapWindowImage(dataPaths, hMainWnd, "Nerin"), 1);
  const std::wstring folder = dataPaths.measurementFolder;
  const std::wstring second = folder + L"\\optics(" + std::to_wstring(snapshot + 1) + L").jpg";
  EXPECT_EQ(firstBytes(second, 8), pngSignature);
  Picture saved(second);
  EXPECT_EQ(saved.at(10, 70), pureGreen) << "the scan area is drawn on the copy";
  EXPECT_EQ(screenPixel(10, 70), frameColour) << "but not on the window";
  EXPECT_EQ(firstBytes(folder + L"\\Nerin(" + std::to_wstring(mapImage) + L").jpg", 8), pngSignature);
  EXPECT_EQ(viewSnapshotCount, snapshot + 2);
  EXPECT_EQ(windowImageCount, mapImage + 1);
}

}  // namespace
