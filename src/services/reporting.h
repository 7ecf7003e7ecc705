#pragma once
// The small routines every subsystem uses to report to the operator.

#include <windows.h>

#include <cstdint>
#include <vector>

// Writes the text into a box unless it shows it already: the boxes are
// written at every point of a map scan, and each write repaints.
void setTextIfChanged(HWND box, const char* text);

bool showInfo(const char* text);       // one-line status in "Information"
void showProgress(const char* text);   // "Progress"
void showElapsed();                    // "%dM/%dM " of the stopwatch and the estimate
// reset true: restart and return 0; false: milliseconds since the last reset
// (since the first call if never reset).
std::uint64_t stopwatch(bool reset);
// The positions the X, Y, Z fields show, given once by the stage side (this
// service knows no device); until then the fields are left alone.
void showPositionsOf(const double* xUm, const double* yUm, const double* zUm);
// Rewrites the X, Y, Z position fields whose axis moved since last shown,
// then gives the keyboard focus to the main window.
bool refreshPositionFields();
// Tells the operator what failed since the notes of services/device_faults.h
// were cleared, one message box per failed device, and clears the notes.
void reportDeviceFaults();
// Told what a run reports as it ends (every run ends with the report,
// failures or none), before the first message box: the remote control
// learns here that its run is over. Null tells nobody.
struct DeviceFaultMessage;
using FaultReportHook = void (*)(const std::vector<DeviceFaultMessage>& messages);
void setFaultReportHook(FaultReportHook hook);
// Rewrites one of the X, Y, Z position fields with its axis' position,
// whatever the field holds (what the operator typed is dropped).
void showPositionField(HWND field);
