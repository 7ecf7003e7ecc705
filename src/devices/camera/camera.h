#pragma once
// The one camera of the microscope and its frame buffer: the picture from
// which the live display, the saved images and the measurements take their
// pixels. Without a working camera every grab draws the drifting test
// pattern instead, so everything downstream always has a picture.

#include <windows.h>

#include <cstdint>

// Which back end this build talks to: 0 a Basler camera through the pylon C
// runtime, 1 a MindVision camera (CMake option NERIN_CAMERA_KIND).
extern const int cameraKind;

enum class CameraSetup {
  Auto = 1,    // continuous automatic gain and exposure, one white balance
  Manual = 4,  // `gain` and `exposureUs` as stored
};

class Camera {
 public:
  Camera();
  ~Camera();
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  // 1 when a camera is ready, 0 otherwise (then "No camera detected").
  int init();
  // Applies a set-up; only the Basler back end has anything to set. Without a
  // camera it only reports "No camera detected". Returns 1 when it succeeded.
  int configure(CameraSetup mode);
  // Puts a new picture into the frame buffer: a camera frame, the test
  // pattern when there is no camera or it fails, or the previous picture
  // when ten attempts brought no good frame. `frames` is always 1.
  void grab(int frames);
  // The camera's present gain and exposure become the stored ones (within
  // the ranges of their fields), so that a manual set-up keeps the picture
  // the automatic controls reached. Nothing changes without a camera.
  void takePresentSettings();
  // The picture width in micrometres for the live scale bar.
  void setFieldOfView(double micrometres) { scaleBarFieldUm = micrometres; }
  // At exit (and by the destructor): releases the camera and the runtime.
  void shutDown();

  int frameWidth = 1232;
  int frameHeight = 1028;
  int framePixels = 1232 * 1028;
  int gain = 1;              // applied by the manual set-up, 1 .. 36
  double exposureUs = 100.0; // applied by the manual set-up, 100 .. 500000
  int connected = 0;         // 1 once init succeeded; 0 after any failure
  // 1232 x 1028 pixels of blue, green, red, spare; rows bottom-up. Allocated
  // once, never moves (other parts may keep the pointer); null only when
  // the allocation failed.
  std::uint8_t* frameBuffer = nullptr;
  long long rawBytes = 2464LL * 2056;
  int rawWidth = 2464;
  int rawHeight = 2056;
  int blueOnly = 0;            // keep only blue in converted frames
  double scaleBarFieldUm = 218.0;
  int testPatternPhase = 0;
  HPEN scaleBarPen = nullptr;  // the live scale bar's pen while it is drawn
  char statusText[100] = {};   // status messages and the scale-bar label are formatted here

 private:
  void fail();
  void showTestPattern();

  std::uint8_t* rawFrame = nullptr;  // the camera's Bayer frame, allocated at the first connection
};

extern Camera camera;

// Enter in the "Gain" field: the typed number limited to 1 .. 36, stored,
// shown, and applied with the manual set-up and a grab. Text that is not a
// number leaves the stored value, which the field shows again.
void applyGain(const char* typed);
// Enter in the "Expo." field: the same with 100 .. 500000 microseconds.
void applyExposure(const char* typed);
