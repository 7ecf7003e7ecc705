#pragma once
// The Z creep correction of a map scan: the sample drifts out of focus over
// a long scan, and the f-factor of the frames taken at each point shows it.
// These are the decisions; the window side measures the f-factor and moves
// Z. Portable: no Win32 here.

struct ZCreepTracker {
  double referenceZ = 0.0;  // um, Z at the start of the scan
  int direction = 1;        // +1 or -1: the way the next small correction goes
  int counter = 0;          // points spent in the low band
  float highLevel = 0.0f;   // 0.85, 0.7 and 0.6 of the starting f-factor
  float midLevel = 0.0f;
  float lowLevel = 0.0f;
};

// startZCreepTracking after the caller has read Z and averaged five
// f-factors into f0: counter 0, direction +1, the three levels from f0.
void startZCreepTracking(ZCreepTracker& tracker, double referenceZ, float f0);

// What correctZCreep does about the f-factor f of the frame just taken.
struct ZCreepAction {
  enum Kind { none, moveBy, moveToReference } kind = none;
  double distanceUm = 0.0;  // for moveBy: direction * 0.1 um
};

// Above the high level nothing moves; between mid and high Z moves 0.1 um in
// the current direction; between low and mid the direction is reversed
// every 20 points and Z moves every third point; below low Z goes back to
// the reference and the search starts over.
ZCreepAction zCreepStep(ZCreepTracker& tracker, float f);
