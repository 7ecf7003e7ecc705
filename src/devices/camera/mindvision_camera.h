#pragma once
// The MindVision back end of the camera (the build with cameraKind 1): the
// vendor's SDK, MVCAMSDK_X64.dll, bound at run time. It shows its own
// message boxes when a camera is missing or a snapshot fails.

#include <windows.h>

#include <cstdint>

// The SDK's records, kept as the sizes of its x64 layout; only the fields
// named below are read or written.
struct MindVisionState {
  unsigned char deviceList[10][260] = {};  // tSdkCameraDevInfo[10]
  int deviceCount = 10;                    // in: capacity of deviceList, out: cameras found
  int initStatus = 0;
  int snapWidth = 1920;
  int snapHeight = 1200;
  unsigned char capability[344] = {};      // tSdkCameraCapbility
  unsigned char* workBuffer = nullptr;
  int displayStatus = 0;
  int handle = 0;
  unsigned char frameHead[64] = {};        // tSdkFrameHead
  unsigned char* rawFrame = nullptr;
  unsigned char* snapBuffer = nullptr;     // 1920 x 1200 x 4 bytes: the processed snapshot
  int connected = 0;                       // 1 from CameraInit on, until it fails or the camera is released
};
extern MindVisionState mindVision;

// Enumerate, initialise, allocate and start the camera's own display on the
// main window. A camera opened by an earlier call is released first, so that
// it can be opened again. False when no camera is found, it does not
// initialise, or its snapshot buffer cannot be allocated; the message box
// saying so comes once for a run of failed connections that fail alike.
bool mindVisionConnect(HWND mainWindow);

// One snapshot cropped into the frame buffer: 1028 rows of 1232 pixels from
// 75 pixels in. A failed snapshot leaves the frame buffer as it was; its
// message box comes once, and again only after a snapshot has succeeded.
void mindVisionGrab(std::uint8_t* frameBuffer);

// Closes the camera and gives its buffers back to the SDK; nothing happens
// when none is open. At exit, and before every new connection.
void mindVisionRelease();
