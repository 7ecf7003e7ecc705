#pragma once
// Window handles shared by every subsystem. The controls are created with the
// main window; until then the handles are null and writes to them do nothing.

#include <windows.h>

extern HINSTANCE hInstance;
extern HWND hMainWnd;

// Child windows.
extern HWND hMapWnd;       // "Nerin View"
extern HWND hConfocalWnd;
extern HWND hIvWnd;

// Controls of the main window.
extern HWND hInfoEdit;     // "Information"
extern HWND hProgressEdit; // "Progress"
extern HWND hTimeEdit;     // "Time/estimated"
extern HWND hCurrentEdit;  // "I_ph (uA)"
extern HWND hRedEdit;
extern HWND hGreenEdit;
extern HWND hBlueEdit;
extern HWND hFFactorEdit;  // "f-factor"
extern HWND hXEdit;
extern HWND hYEdit;
extern HWND hZEdit;
extern HWND hScanStepEdit;
extern HWND hScanSpeedEdit;
extern HWND hBiasEdit;
extern HWND hGainEdit;
extern HWND hExposureEdit;
extern HWND hLaserEdit;
extern HWND hLaserPowerEdit;
extern HWND hStartButton;

// Runs a dialog from the program's resources modally, owned by the main
// window (the resources of this executable when no instance was stored yet).
INT_PTR runModalDialog(int resource, DLGPROC procedure);
