#pragma once
// The time evolution: the photocurrent sampled as fast as the meter answers
// through `repeatCount` cycles of a laser-on and a laser-off phase. Here are
// the edits' rules, the sample store and the cycles themselves, run through
// the devices the caller hands in (on Windows: readCurrent, setLaser,
// stopwatch, pumpMessages and drawCurve; in the tests, fakes), so the timing
// can be checked without a meter or a clock. Portable: no Win32 here.

#include "runs/spectroscopy/spectroscopy_record.h"

#include <cstdint>
#include <functional>
#include <string>

inline constexpr const char* timeEvoStartedText = "Time Evolution Measurement has started.   ";
inline constexpr const char* timeEvoCompletedText = "Time Evolution Measurement has completed.        ";

// The "On time" and "Off time" edits: read with "%d", clamped to
// [0, 10000] s and stored; the text to show back is "%f" of it (5.000000).
// The "repeat" edit: "%d", clamped to [0, 200], shown back with "%d". Each
// returns the text to show, or empty when the edit did not read and the
// stored value stays.
std::string readPhaseTimeEdit(const char* editText, float& seconds);
std::string readRepeatEdit(const char* editText, int& repeatCount);

// C = trunc(repeat x (trunc(on) + off) x 20) and P = trunc((trunc(on) + off)
// x 20), in float: the store and phase sizes of a meter read 20 times a
// second (420 and 140 with the defaults). The store starts at C (up to a
// first block) and grows beyond it as samples arrive.
int timeEvoCapacity(const SpectroscopyRecord& record);
int timeEvoPhaseLimit(const SpectroscopyRecord& record);

// A phase lasts its set time whatever the meter's rate; it also ends after
// this many samples, a bound no real meter reaches (1000 per second of
// phase, and never below P or 1), so a clock that stands still cannot make
// a phase run forever.
long long phaseSampleGuard(float phaseSeconds, int phaseLimit);

struct TimeEvolutionDevices {
  std::function<float()> readCurrent;                    // uA
  std::function<int(int mode)> setLaser;                 // 1 on, 0 off
  std::function<std::uint64_t(bool reset)> stopwatch;    // reset: restart (0); else ms since the reset
  std::function<int(unsigned durationMs)> pumpMessages;  // 0 when the operator confirmed the stop
  std::function<void(const SpectroscopyRecord&)> drawCurve;  // times/currents, samples 0 .. pointIndex - 1
};

enum class TimeEvolutionEnd {
  completed,    // every cycle ran; the laser is off
  stopped,      // the operator stopped it; the laser is as it was
  storeFull,    // the store could not grow (memory); the samples so far are kept
};

// The run between its start and finish texts: sizes the store, sets
// pointIndex and the time offset to 0, then for each cycle: restart the
// stopwatch, laser on, the on phase; restart, laser off, the off phase. Per
// sample: read the current, take t from the stopwatch (after the reading),
// store the current and (t + offset) / 1000 s, pump 10 ms (a confirmed stop
// ends the run without counting that sample), count it; the phase ends once
// t >= its length in ms (or at the guard), else every tenth stored sample
// redraws. A phase adds the t of its last sample to the offset.
TimeEvolutionEnd runTimeEvolutionCycles(SpectroscopyRecord& record, const TimeEvolutionDevices& devices);
