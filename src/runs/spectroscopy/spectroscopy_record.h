#pragma once
// The one measurement record shared by the I-V and the time-evolution
// windows: settings, the arrays of the last run and a scratch text. The
// window handles that belong with it (the first edit of the window created
// last, the "Off time" and "repeat" edits, the time-evolution window) live
// on the window side. Portable: no Win32 here.

#include <vector>

struct SpectroscopyRecord {
  float voltageRange = 0.5f;  // V, I-V sweep amplitude
  wchar_t title[100] = L"Time Evolution Measurement X: Time(s) vs. Y: Photocurrent (uA)";
  int pointsPerBranch = 50;   // N: points of one quarter of the I-V sweep
  int repeatCount = 3;        // on/off cycles of a time evolution
  int pointIndex = 0;         // I-V: point being measured; time evolution: samples stored
  float onTime = 5.0f;        // s, laser-on phase
  float offTime = 2.0f;       // s, laser-off phase
  std::vector<float> voltages = std::vector<float>(200);  // I-V voltages, V
  std::vector<float> currents = std::vector<float>(200);  // uA, both measurements
  std::vector<float> times = std::vector<float>(200);     // time-evolution time stamps, s
  char text[104] = {};        // scratch for the texts the runs draw
};
