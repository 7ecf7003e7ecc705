// The MindVision build (camera kind 1) against the fake SDK beside this test
// program: the calls of a connection and a snapshot, the crop that reaches
// the screen and the saved picture, each failure's message box (answered by
// pressing its button), and what the camera gives back.

#include "console/configuration_dialog.h"
#include "devices/camera/camera.h"
#include "devices/camera/camera_frame.h"
#include "fake_mindvision/fake_mindvision_control.h"
#include "imaging_fixture.h"
#include "resources/resource_ids.h"
#include "services/data_paths.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "views/image_files.h"
#include "views/live_display.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {

const FakeMindVision& fake() { return fakeMindVision(); }

// What a connection asks of the SDK after CameraSdkInit, the camera opened
// as `handle`: the work buffer is the largest picture (2048 x 1536 x 4), the
// snapshot buffer 1920 x 1200 x 4.
std::string connectionCalls(int handle) {
  const std::string h = std::to_string(handle);
  char window[32];
  std::snprintf(window, sizeof window, "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hMainWnd)));
  return "CameraEnumerateDevice 10\nCameraInit camera0 -1 -1\nCameraGetCapability " + h +
         "\nCameraAlignMalloc 12582912 16\nCameraAlignMalloc 9216000 16\nCameraDisplayInit " + h + " " + window +
         "\nCameraPlay " + h + "\n";
}

std::string releaseCalls(int handle) {
  return "CameraUnInit " + std::to_string(handle) + "\nCameraAlignFree 12582912\nCameraAlignFree 9216000\n";
}

// The frame the fake's snapshot of the given red must give: 1028 rows of
// 1232 pixels from column 75, snapshot row r as memory row r.
std::vector<std::uint8_t> expectedFrame(int red) {
  std::vector<std::uint8_t> frame(frameBytes);
  for (int r = 0; r < frameHeightPx; ++r) {
    for (int x = 0; x < frameWidthPx; ++x) {
      const COLORREF c = fakeSnapColour(x + 75, r, red);
      std::uint8_t* p = &frame[(std::size_t(r) * frameWidthPx + x) * 4];
      p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c), p[3] = 0xFF;
    }
  }
  return frame;
}

bool frameIs(const std::vector<std::uint8_t>& expected) {
  return std::memcmp(expected.data(), camera.frameBuffer, frameBytes) == 0;
}

class MindVisionCamera : public ::testing::Test {
 protected:
  void SetUp() override {
    prepareMainWindow();
    ASSERT_EQ(cameraKind, 1);
    ASSERT_TRUE(fake().complete()) << "MVCAMSDK_X64.dll beside the test program is not the fake";
    camera.shutDown();
    fake().reset(1);
    deviceBusy = scanRunning = wideViewShown = 0;
    displayBusy = 0;
  }
  void TearDown() override {
    videoControl(0);
    camera.shutDown();
  }

  // The message boxes shown so far, "title | text" each.
  std::string boxes() {
    std::lock_guard<std::mutex> hold(boxesLock);
    return shown;
  }

  // Lets live video's timer run until `snaps` more snapshots were asked for
  // (false after 20 s).
  static bool videoSnaps(int snaps) {
    const int until = fake().snaps() + snaps;
    for (const ULONGLONG deadline = GetTickCount64() + 20000; fake().snaps() < until; pumpMessages(20)) {
      if (GetTickCount64() > deadline) return false;
    }
    return true;
  }

 private:
  std::mutex boxesLock;
  std::string shown;
  ui::BoxAnswerer answerer{[this](const std::string& title, const std::string& text) {
    std::lock_guard<std::mutex> hold(boxesLock);
    shown += title + " | " + text;
    return IDOK;
  }};
};

TEST_F(MindVisionCamera, ConnectsSnapsCropsAndGivesEverythingBackInTheSdksOrder) {
  EXPECT_EQ(camera.init(), 1);
  EXPECT_EQ(fake().sdkInits(), 1) << "the SDK is initialised once, before any other call";
  const std::string log = fake().calls();
  const int handle = fake().openHandle();
  ASSERT_NE(handle, 0);
  EXPECT_EQ(log.substr(log.find("CameraEnumerateDevice")), connectionCalls(handle));

  fake().clearLog();
  EXPECT_EQ(camera.configure(CameraSetup::Manual), 1);
  EXPECT_EQ(camera.configure(CameraSetup::Auto), 1);
  EXPECT_EQ(fake().calls(), "") << "nothing to set up on this camera";

  fake().setRed(90);
  cameraAperture = 0;  // no spot circle over the checked pixels
  videoTick(videoTimerId);
  const std::string h = std::to_string(handle);
  EXPECT_EQ(fake().calls(), "CameraSetResolutionForSnap " + h + " 255\nCameraSnapToBuffer " + h +
                                " 1000\nCameraImageProcessEx " + h + " raw 9216000 0x02000000 0\n"
                                "CameraReleaseImageBuffer " + h + " raw\n");
  EXPECT_TRUE(frameIs(expectedFrame(90)));

  // The crop reaches the screen and the saved picture, top row first.
  saveCameraImageCommand();
  const int number = cameraImageCount - 1;  // after those other test programs took this minute
  Picture saved(std::wstring(dataPaths.measurementFolder) + L"\\camera(" + std::to_wstring(number) + L").jpg");
  ASSERT_TRUE(saved.loaded());
  EXPECT_EQ(saved.width(), 1232u);
  for (const POINT& p : {POINT{0, 0}, POINT{1231, 0}, POINT{0, 1027}, POINT{1231, 1027}, POINT{600, 400}}) {
    const COLORREF snapshot = fakeSnapColour(p.x + 75, frameHeightPx - 1 - p.y, 90);
    EXPECT_EQ(screenPixel(p.x, p.y), snapshot) << p.x << "," << p.y;
    EXPECT_EQ(saved.at(p.x, p.y), snapshot) << p.x << "," << p.y;
  }

  fake().clearLog();
  camera.shutDown();
  EXPECT_EQ(fake().calls(), releaseCalls(handle));
  EXPECT_EQ(fake().held(), 0);
  EXPECT_EQ(fake().openHandle(), 0);
  EXPECT_EQ(boxes(), "");
}

TEST_F(MindVisionCamera, EachFailedConnectionSaysSoOnceAndLeavesTheTestPattern) {
  const std::string noImageBuffer = "Error | No Image buffer allocated\n";
  const struct {
    int cameras;
    const char* failing;
    int nth;
    int times;
    int connected;
    std::string boxes;
  } cases[] = {
      {0, "", 0, 0, 0, "Error | No camera was found\n"},
      {0, "", 0, 0, 0, ""},  // tried again (video on, a run's end) and failed alike: said already
      {1, "CameraInit", 1, 0, 0, "Error | Fail to initialize camera\n"},
      {1, "CameraEnumerateDevice", 1, 0, 0, "Error | No camera was found\n"},
      {1, "CameraAlignMalloc", 1, 1, 1, noImageBuffer},  // the work buffer: the camera goes on
      {1, "CameraAlignMalloc", 2, 0, 0, noImageBuffer},  // the snapshot buffer: nothing could be shown
      {0, "", 0, 0, 0, "Error | No camera was found\n"},
  };
  std::vector<std::uint8_t> pattern(frameBytes);
  for (const auto& c : cases) {
    camera.shutDown();
    fake().reset(c.cameras);
    fake().fail(c.failing, c.nth, c.times);
    const std::string before = boxes();
    SetWindowTextA(hInfoEdit, "");
    EXPECT_EQ(camera.init(), c.connected) << c.failing << c.nth;
    EXPECT_EQ(boxes().substr(before.size()), c.boxes) << c.failing << c.nth;
    fake().fail("", 0, 0);
    const int phase = camera.testPatternPhase;
    camera.grab(1);
    if (c.connected) {
      EXPECT_TRUE(frameIs(expectedFrame(200)));
      continue;
    }
    EXPECT_EQ(textOf(hInfoEdit), "No camera detected");
    EXPECT_EQ(fake().held(), 0) << "a failed connection keeps nothing";
    EXPECT_EQ(fake().openHandle(), 0);
    for (std::size_t i = 3; i < frameBytes; i += 4) pattern[i] = camera.frameBuffer[i];
    drawTestPattern(pattern.data(), rawFrameWidth, rawFrameHeight, phase);
    EXPECT_TRUE(std::memcmp(pattern.data(), camera.frameBuffer, frameBytes) == 0) << c.failing << c.nth;
  }
}

TEST_F(MindVisionCamera, FailedSnapshotsKeepThePictureAndSaySoOncePerRunOfFailures) {
  ASSERT_EQ(camera.init(), 1);
  camera.grab(1);
  const std::vector<std::uint8_t> previous = expectedFrame(200), fresh = expectedFrame(10);
  ASSERT_TRUE(frameIs(previous));
  const std::string failed = "Error Code: | CameraSnapToBuffer failed!\n";
  fake().setRed(10);
  fake().fail("CameraSnapToBuffer", 1, 0);
  videoControl(1);  // the real 100 ms timer, which also fires while a box is up
  EXPECT_TRUE(videoSnaps(5));
  EXPECT_EQ(boxes(), failed);
  EXPECT_TRUE(frameIs(previous));

  fake().fail("", 0, 0);
  EXPECT_TRUE(videoSnaps(2));
  EXPECT_TRUE(frameIs(fresh));
  fake().fail("CameraSnapToBuffer", 1, 0);
  EXPECT_TRUE(videoSnaps(5));
  EXPECT_EQ(boxes(), failed + failed) << "a new run of failures is told again";
  EXPECT_TRUE(frameIs(fresh));
  EXPECT_EQ(camera.connected, 1);
  EXPECT_EQ(fake().held(), 2) << "no snapshot kept from the SDK";
}

TEST_F(MindVisionCamera, ASecondCameraInitializeInTheDialogReopensTheCamera) {
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONFIGURATION), hMainWnd,
                                   configurationDialogProc, 0);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(ui::pressButton(dialog, IDC_CAMERA_INIT));
  const int first = fake().openHandle();
  fake().clearLog();
  ASSERT_TRUE(ui::pressButton(dialog, IDC_CAMERA_INIT));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_CAMERA_CONNECTED), BST_CHECKED);
  DestroyWindow(dialog);
  EXPECT_EQ(fake().calls(), releaseCalls(first) + connectionCalls(fake().openHandle()));
  EXPECT_EQ(boxes(), "");
  EXPECT_EQ(fake().held(), 2);
}

}  // namespace
