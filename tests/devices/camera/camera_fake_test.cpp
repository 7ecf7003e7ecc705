// The camera through the fake pylon runtime beside this test program:
// connection, the automatic and manual set-ups as feature writes, and what
// each kind of grab outcome leaves in the frame buffer.

#include "devices/camera/camera.h"
#include "devices/camera/camera_frame.h"
#include "fake_pylon/fake_pylon_control.h"
#include "imaging_fixture.h"

#include <cstring>
#include <vector>

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const FakePylon& fake() { return fakePylon(); }

class CameraWithFake : public ::testing::Test {
 protected:
  void SetUp() override {
    prepareMainWindow();
    ASSERT_TRUE(fake().complete()) << "PylonC_v6_3.dll beside the test program is not the fake";
    restart(1, roiRegions, 2);
    camera.gain = 1;
    camera.exposureUs = 100.0;
  }
  void TearDown() override { camera.shutDown(); }

  static void restart(int cameras, int regions, int sfncMajor) {
    camera.shutDown();
    fake().reset(cameras, regions, sfncMajor);
    SetWindowTextA(hInfoEdit, "");
  }
  static void connect() {
    ASSERT_EQ(camera.init(), 1);
    fake().clearLog();
  }
  static std::uint8_t frameByte(int x, int yTop, int channel) {
    return camera.frameBuffer[framePixelOffset(x, yTop) + channel];
  }
  // The drifting test pattern of this phase fills the frame; the camera is
  // said to be missing.
  static void expectTestPattern(int phase) {
    std::vector<std::uint8_t> pattern(frameBytes, 0);
    drawTestPattern(pattern.data(), rawFrameWidth, rawFrameHeight, phase);
    EXPECT_EQ(std::memcmp(pattern.data(), camera.frameBuffer, frameBytes), 0);
    EXPECT_EQ(textOf(hInfoEdit), "No camera detected");
  }
};

TEST_F(CameraWithFake, InitOpensTheFirstCameraOrFailsReleasingWhatItOpened) {
  EXPECT_EQ(camera.init(), 1);
  EXPECT_TRUE(contains(fake().calls(), "create 0\nopen 3\ngrab F 5000\n")) << fake().calls();
  EXPECT_EQ(fake().open(), 2);
  EXPECT_EQ(camera.frameWidth, 1232);
  EXPECT_EQ(camera.frameHeight, 1028);
  // No camera, no first frame within 5000 ms, a refused grab, a refused open.
  const struct {
    int cameras;
    const char* script;
    const char* refused;
  } cases[] = {{0, "", ""}, {1, "T", ""}, {1, "E", ""}, {1, "", "PylonDeviceOpen"}};
  for (const auto& c : cases) {
    restart(c.cameras, roiRegions, 2);
    fake().script(c.script);
    fake().fail(c.refused);
    EXPECT_EQ(camera.init(), 0) << c.cameras << c.script << c.refused;
    EXPECT_EQ(camera.connected, 0);
    EXPECT_EQ(textOf(hInfoEdit), "No camera detected");
    EXPECT_EQ(fake().open(), 0) << "nothing stays opened after a failed init";
  }
}

// The writes that make an area of the sensor whole: offsets to their minimum
// first, then width and height to their maximum.
std::string whole(const std::string& prefix, int minOffsetY) {
  return prefix + "OffsetX=0\n" + prefix + "OffsetY=" + std::to_string(minOffsetY) + "\n" + prefix + "Width=2464\n" +
         prefix + "Height=2056\n";
}

TEST_F(CameraWithFake, AutomaticSetUpWritesTheRegionTargetAndAutoFunctionsByNamingVersion) {
  const std::string sensor = whole("", 2);
  const std::string roi = whole("AutoFunctionROI", 0);
  const std::string roiBrightness =
      "AutoFunctionROISelector=ROI1\nAutoFunctionROIUseBrightness=true\nAutoFunctionROISelector=ROI2\n"
      "AutoFunctionROIUseBrightness=false\nAutoFunctionROISelector=ROI1\n" + roi;
  const std::string roiWhiteBalance =
      "AutoFunctionROISelector=ROI1\nAutoFunctionROIUseWhiteBalance=false\nAutoFunctionROISelector=ROI2\n"
      "AutoFunctionROIUseWhiteBalance=true\n" + roi;
  const std::string aoiAll = "AutoFunctionAOISelector=AOI1\n" + whole("AutoFunctionAOI", 0);
  const struct {
    int regions;
    int sfncMajor;
    const char* lacking;  // an auto function the camera does not have
    std::string expected;
  } cases[] = {
      {roiRegions, 2, "",
       sensor + roiBrightness + "AutoTargetBrightness=0.3\nGainAuto=Continuous\n" + sensor + roiBrightness +
           "AutoTargetBrightness=0.3\nExposureAuto=Continuous\n" + sensor + roiWhiteBalance +
           "BalanceWhiteAuto=Once\n"},
      {aoiRegions, 0, "",
       sensor + aoiAll + "AutoTargetValue=80\nGainAuto=Continuous\n" + sensor + aoiAll +
           "AutoTargetValue=80\nExposureAuto=Continuous\n" + sensor + aoiAll + "BalanceWhiteAuto=Once\n"},
      {noRegions, 3, "GainAuto",
       sensor + "AutoTargetBrightness=0.3\nExposureAuto=Continuous\n" + sensor + "BalanceWhiteAuto=Once\n"},
  };
  for (const auto& c : cases) {
    restart(1, c.regions, c.sfncMajor);
    fake().setWritable(c.lacking, 0);
    connect();
    EXPECT_EQ(camera.configure(CameraSetup::Auto), 1);
    EXPECT_EQ(fake().calls(), c.expected) << "regions " << c.regions << ", SFNC " << c.sfncMajor;
    EXPECT_EQ(textOf(hInfoEdit), "Auto WhiteBalance");
  }
}

TEST_F(CameraWithFake, ManualSetUpReopensAndWritesTheStoredValuesARefusedWriteDisconnects) {
  connect();
  camera.gain = 7;
  camera.exposureUs = 1234.5;
  EXPECT_EQ(camera.configure(CameraSetup::Manual), 1);
  EXPECT_EQ(fake().calls(),
            "close\nopen 3\nGainAuto=Off\nGain=7\nExposureAuto=Off\nExposureTime=1234.5\nBalanceWhiteAuto=Off\n");
  EXPECT_EQ(textOf(hInfoEdit), "exposure time: 1234.5");

  fake().fail("ExposureTime");
  EXPECT_EQ(camera.configure(CameraSetup::Manual), 0);
  EXPECT_EQ(camera.connected, 0);
  EXPECT_EQ(textOf(hInfoEdit), "No camera detected");
  EXPECT_EQ(fake().open(), 0);
  fake().clearLog();
  EXPECT_EQ(camera.configure(CameraSetup::Auto), 0);
  EXPECT_EQ(fake().calls(), "") << "without a camera the set-up touches nothing";
}

TEST_F(CameraWithFake, EachGrabOutcomeLeavesTheRightPicture) {
  enum Picture { previous, fresh, testPattern };
  const struct {
    const char* script;
    Picture picture;
    int grabs;
  } cases[] = {
      {"XXXXXXXXXX", previous, 10},  // ten failed attempts: the last good picture stays
      {"XXXXXXXXXF", fresh, 10},     // the tenth attempt still counts
      {"SSF", fresh, 3},             // a frame of another size is not shown
      {"T", testPattern, 1},         // a frame that does not come within 5000 ms
      {"XE", testPattern, 2},        // a refused grab
  };
  for (const auto& c : cases) {
    restart(1, roiRegions, 2);
    fake().setColour(200, 100, 100, 50);
    connect();
    camera.grab(1);
    fake().setColour(10, 20, 40, 250);
    fake().script(c.script);
    const int grabsBefore = fake().grabs();
    const int phase = camera.testPatternPhase;
    camera.grab(1);
    EXPECT_EQ(fake().grabs() - grabsBefore, c.grabs) << c.script;
    EXPECT_EQ(camera.connected, c.picture == testPattern ? 0 : 1) << c.script;
    if (c.picture == testPattern) {
      expectTestPattern(phase);
      EXPECT_EQ(camera.testPatternPhase, phase + 1);
      continue;
    }
    // Bottom right blue, middle green (20 + 40) / 2, top left red.
    EXPECT_EQ(frameByte(1231, 1027, 0), c.picture == fresh ? 250 : 50) << c.script;
    EXPECT_EQ(frameByte(600, 500, 1), c.picture == fresh ? 30 : 100) << c.script;
    EXPECT_EQ(frameByte(0, 0, 2), c.picture == fresh ? 10 : 200) << c.script;
  }
}

// The main window's tests type a gain above 36 and an exposure below 100 and
// see the automatic setting show the stored values.
TEST_F(CameraWithFake, TypedGainAndExposureAreLimitedShownStoredAndApplied) {
  const struct {
    void (*apply)(const char*);
    HWND* field;
    const char* typed;
    const char* shown;
    const char* written;  // the feature write, empty when nothing is applied
  } cases[] = {
      {applyGain, &hGainEdit, "12", "12", "Gain=12"},
      {applyGain, &hGainEdit, "0", "1", "Gain=1"},
      {applyGain, &hGainEdit, "abc", "1", ""},
      {applyExposure, &hExposureEdit, "600000", "500000", "ExposureTime=500000"},
      {applyExposure, &hExposureEdit, "2500", "2500", "ExposureTime=2500"},
  };
  connect();
  for (const auto& c : cases) {
    fake().clearLog();
    c.apply(c.typed);
    EXPECT_EQ(textOf(*c.field), c.shown) << c.typed;
    const std::string log = fake().calls();
    EXPECT_EQ(contains(log, std::string(c.written) + "\n") && contains(log, "grab F"), *c.written != 0)
        << c.typed << "\n" << log;
    if (!*c.written) {
      EXPECT_EQ(log, "") << c.typed;
    }
  }
  EXPECT_EQ(camera.gain, 1);
  EXPECT_EQ(camera.exposureUs, 2500.0);
}

}  // namespace
