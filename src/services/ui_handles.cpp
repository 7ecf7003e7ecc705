#include "services/ui_handles.h"

HINSTANCE hInstance = nullptr;
HWND hMainWnd = nullptr;
HWND hMapWnd = nullptr;
HWND hConfocalWnd = nullptr;
HWND hIvWnd = nullptr;
HWND hInfoEdit = nullptr;
HWND hProgressEdit = nullptr;
HWND hTimeEdit = nullptr;
HWND hCurrentEdit = nullptr;
HWND hRedEdit = nullptr;
HWND hGreenEdit = nullptr;
HWND hBlueEdit = nullptr;
HWND hFFactorEdit = nullptr;
HWND hXEdit = nullptr;
HWND hYEdit = nullptr;
HWND hZEdit = nullptr;
HWND hScanStepEdit = nullptr;
HWND hScanSpeedEdit = nullptr;
HWND hBiasEdit = nullptr;
HWND hGainEdit = nullptr;
HWND hExposureEdit = nullptr;
HWND hLaserEdit = nullptr;
HWND hLaserPowerEdit = nullptr;
HWND hStartButton = nullptr;

INT_PTR runModalDialog(int resource, DLGPROC procedure) {
  HINSTANCE resources = hInstance ? hInstance : GetModuleHandleW(nullptr);
  return DialogBoxParamW(resources, MAKEINTRESOURCEW(resource), hMainWnd, procedure, 0);
}
