#pragma once
// Live video: the frame buffer put on the main window with the scale bar and
// the laser-spot circle (views/overlays.h) on every tick of the 100 ms
// timer, and the tiles of the wide-view mosaic. All drawing goes straight
// into the window outside WM_PAINT; the next tick or redraw restores
// whatever covered it.

#include <windows.h>

#include <cstdint>

class Camera;

extern int videoRunning;     // the video timer runs
extern int videoWasRunning;  // videoRunning as the last start or stop found it
extern int displayBusy;      // a frame is being put on the screen

constexpr UINT_PTR videoTimerId = 1;
constexpr UINT videoTimerPeriodMs = 100;

// 0 stop, 1 start, 2 restore what the last start or stop found, 3 did video
// run before the last start or stop, 4 does video run, 7 grab and show one
// frame; other values only give the focus back to the main window. 3 and 4
// answer 1 or 0, the others 0.
int videoControl(int command);

// One timer message of the main window (any timer id).
void videoTick(UINT_PTR timerId = videoTimerId);

// Puts a frame (1232 x frameHeight, bottom-up) into the window with the scale
// bar and a spot circle of the given radius at (spotX, spotY), counted from
// the top; with saveImage also saves it as a camera image. Returns non-zero on
// success, 0 when a display is already in progress or a GDI step failed.
int showFrame(HWND window, const std::uint8_t* pixels, int saveImage, int spotX, int spotY, int radius);
// The camera's own frame, without a spot circle.
int showCamera(Camera& camera, HWND window);
// A frame reduced to 1/n into cell (column, row) of an n x n mosaic.
int showTile(HWND window, const std::uint8_t* pixels, int column, int row, int tilesPerSide);

// "Auto" button and "Camera auto setting": the automatic set-up, a grab, the
// stored gain and exposure written back into their fields, and the picture
// shown.
void cameraAutoSetting();
