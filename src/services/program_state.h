#pragma once
// State shared by every subsystem: operator settings, camera geometry,
// run-state flags and the scan state. One thread uses all of it; the guards
// deviceBusy and scanRunning keep handlers that the message pump dispatches
// from starting a second device sequence in the middle of one.
// Portable: the window handles live in services/ui_handles.h.

#include "services/scan_geometry.h"

// Operator-visible settings (Config.txt and the Configuration dialog).
extern int currentEquipment;   // 0 Arduino (test values), 1 NI-DAQ, 2 GPIB multimeter, 3 GPIB sourcemeter, 4 USB sourcemeter
extern int standaConfig;       // axis order of the stage controllers, 0..5
extern int arduinoComPort;     // COM port number of the Arduino
extern int gpibAddress;        // GPIB primary address of the meter
extern int scanSpeed;          // um/s
extern float biasVoltage;      // V, applied during a map scan
extern float currentLimit;     // A, sourcemeter compliance
extern int confocalEnabled;    // record R, G, B per map point
extern int zCreepCorrection;   // "Z creep correction"
extern int cameraAperture;     // px, half-size of the window averaged around the laser spot

// The names of currentEquipment and standaConfig, in the order of their
// indices, as the Configuration dialog lists them and the records write them.
inline constexpr const char* equipmentNames[] = {"Arduino", "NI-DAQ", "GPIB Multimeter", "GPIB Sourcemeter",
                                                 "USB Sourcemeter"};
inline constexpr const char* axisOrderNames[] = {"XYZ", "XZY", "YXZ", "YZX", "ZXY", "ZYX"};

// Camera geometry: the width of the picture in um for the mounted objective.
extern double fieldOfViewUm;
extern double fieldOfViewHeightUm;

// Run-state flags (0 = false).
extern int deviceBusy;      // a stage or meter sequence is under way
extern int scanRunning;     // a long run is under way
extern int stopRequested;   // the operator confirmed the stop question
extern int wideViewShown;   // the camera area shows the wide-view mosaic
// The program is to end (the session ends, or the main window was closed
// during a run): a run under way, or one started after, ends at its next
// wait as after a confirmed stop (the message pump sets stopRequested).
extern int programEnding;

// Neither a device sequence nor a long run is under way, so a handler may
// start one: its commands cannot interleave with a move waiting in the pump.
inline bool devicesFree() { return !deviceBusy && !scanRunning; }

// Marks a device sequence for as long as it lives.
class DeviceBusyScope {
 public:
  DeviceBusyScope() { deviceBusy = 1; }
  ~DeviceBusyScope() { deviceBusy = 0; }
  DeviceBusyScope(const DeviceBusyScope&) = delete;
  DeviceBusyScope& operator=(const DeviceBusyScope&) = delete;
};

// Input state of the main window.
struct PixelPoint {
  int x = 0;
  int y = 0;
};
extern int idleTicks;
extern unsigned char areaDragActive;
extern PixelPoint dragStart;
extern PixelPoint dragEnd;

extern ScanState scanState;

// Takes the picture width in um of the objective now mounted, derives the
// height from it and recomputes the scan geometry, which depends on both:
// the only way the field of view is set.
void applyFieldOfView(double widthUm);
