#pragma once
// The I-V sweep's plan: the voltage range typed by the operator, the 4 x N
// voltages of the three branches (0 up to +range, +range down to -range,
// -range back toward 0) and the texts the sweep shows. The window side sends
// each voltage to the sourcemeter, reads the current (amperesToMicroamperes
// of devices/measurement/current_units.h) and draws.
// Portable: no Win32 here.

#include "runs/spectroscopy/spectroscopy_record.h"

#include <string>

inline constexpr const char* ivFinishedText = "I-V curve measurement finished.        ";

// runIvCurve's reading of the range edit: when the text reads with "%f" the
// range is clamped to [0.01, 10.0] V, stored in the record and shown back
// with "%.2f", and the step is range / N (float). Otherwise (empty or not a
// number) the step stays 0.01 V and the stored range is kept, even when the
// two do not match.
struct IvRangeEdit {
  bool converted = false;
  float step = 0.01f;  // V between points
  std::string shown;   // text for the edit when converted
};
IvRangeEdit readIvRangeEdit(SpectroscopyRecord& record, const char* editText);

// Points of a sweep: 4 x N.
inline int ivPointCount(const SpectroscopyRecord& record) { return 4 * record.pointsPerBranch; }

// Makes voltages and currents hold 4 x N values and clears those, so a
// stopped sweep leaves 0 in the points it did not reach instead of an older
// sweep's values. False when the memory is not there (do not sweep).
bool prepareIvSweep(SpectroscopyRecord& record);

// Voltage of point k (float arithmetic, the branch index times the step):
// k < N: k step; k < 3N: range - (k - N) step; else -range + (k - 3N) step.
float ivSweepVoltage(int k, float range, float step, int pointsPerBranch);

// "V=%f,I=%f" for the Information line.
std::string ivPointText(float volts, float microamperes);
