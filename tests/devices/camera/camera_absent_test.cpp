// No camera runtime anywhere: the camera is simulated by the drifting test
// pattern, and start-up's camera steps do not stop the program.

#include "devices/camera/camera.h"
#include "devices/camera/camera_frame.h"
#include "imaging_fixture.h"
#include "views/live_display.h"

#include <cstring>
#include <vector>

namespace {

TEST(CameraAbsent, InitReportsNoCameraAndGrabsDrawTheDriftingTestPattern) {
  prepareMainWindow();
  EXPECT_EQ(camera.init(), 0);
  EXPECT_EQ(camera.connected, 0);
  EXPECT_EQ(textOf(hInfoEdit), "No camera detected");
  EXPECT_EQ(camera.configure(CameraSetup::Manual), 0);

  std::vector<std::uint8_t> expected(frameBytes, 0);
  const int phase = camera.testPatternPhase;
  camera.grab(1);
  drawTestPattern(expected.data(), rawFrameWidth, rawFrameHeight, phase);
  EXPECT_EQ(std::memcmp(expected.data(), camera.frameBuffer, frameBytes), 0);
  camera.grab(1);
  EXPECT_EQ(camera.testPatternPhase, phase + 2);
  EXPECT_NE(std::memcmp(expected.data(), camera.frameBuffer, frameBytes), 0) << "the pattern drifts";

  // Live video runs on the pattern.
  videoControl(1);
  EXPECT_EQ(videoControl(4), 1);
  videoTick(videoTimerId);
  const std::size_t o = framePixelOffset(100, 100);
  EXPECT_EQ(screenPixel(100, 100),
            RGB(camera.frameBuffer[o + 2], camera.frameBuffer[o + 1], camera.frameBuffer[o]));
  videoControl(0);
}

}  // namespace
