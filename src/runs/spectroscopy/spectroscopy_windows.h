#pragma once
// The window side of the spectroscopy record: the I-V and time-evolution
// windows' edit fields and the time-evolution window, beside the one
// process-wide record they edit.

#include "runs/spectroscopy/spectroscopy_record.h"

#include <windows.h>

struct SpectroscopyWindows {
  HWND firstEdit = nullptr;    // "Voltage Range (+/- V)" or "On time", of the window created last
  HWND offTimeEdit = nullptr;  // "Off time"
  HWND repeatEdit = nullptr;   // "repeat"
  HWND timeWindow = nullptr;   // the time-evolution window (the I-V window is hIvWnd)
  // Each run reads the edit of its own window: with both windows open, the
  // sweep must not take its range from "On time", nor the time evolution
  // its on time from the range.
  HWND rangeEdit = nullptr;    // "Voltage Range (+/- V)"
  HWND onTimeEdit = nullptr;   // "On time"
};

extern SpectroscopyRecord spectroscopy;
extern SpectroscopyWindows spectroscopyWindows;
