#pragma once
// Autofocus: the f-factor that measures focus from the camera frame, the
// focus levels with their search ranges, and the bookkeeping of one sweep
// of Z with its peak test. The window side grabs frames, moves Z, paces the
// samples and shows the texts; everything it decides comes from here.
// Portable: no Win32 here.

#include <cstdint>
#include <string>
#include <vector>

struct FocusSpot {
  int x = 0;
  int y = 0;  // frame row, counted from the bottom
};

struct AutofocusState {
  char text[100] = {};  // the last progress line, shown in "Information"
  int level = 0;        // focus level 0 (far out) .. 6 (in focus)
  int found = 0;        // the last pass found a peak and improved the level
  FocusSpot spotBlue, spotGreen, spotRed;  // window centres, all the laser spot
  float meanBlue = 0.0f, meanGreen = 0.0f, meanRed = 0.0f;  // weighted channel means
  int sampleCount = 0;  // pixels summed for the channel last computed
};

// The f-factor of a frame (imageWidthPx x imageHeightPx, 4 bytes per pixel
// blue, green, red, unused, rows bottom-up) around the laser spot
// (laserSpotX, laserSpotY counted from the bottom): for each channel the
// mean over the 200 x 200 window x = cx - 100 .. cx + 99, y = cy - 100 ..
// cy + 99 of value / max(1, (x - cx)^2 + (y - cy)^2), positions outside the
// frame taken from the nearest edge pixel, the mean in single precision;
// f = blue + green + red. Sets the state's spots, means and sampleCount.
// The window side's focusFactor(state) calls this on the camera's frame and
// shows the result with "%.3f" in the f-factor field.
float focusFactor(AutofocusState& state, const std::uint8_t* frame, int laserSpotX, int laserSpotY);

// Focus level of an f-factor: 0 below 0.0001, 1 below 0.001, 2 below 0.05,
// 3 below 0.1, 4 below 0.2, 5 below 0.3, else 6.
int focusLevel(float f);

// Mean of |F[k] - F[k - 1]| for k = 1 .. i - 1; 0 when i < 2.
float focusNoise(const float* F, int i);

// The search of one level: Z sweeps 2R downward in N samples, and a peak
// counts only above the threshold. Levels above 6 search as 6, below 0 as 0.
struct FocusSearch {
  float rangeUm;   // R
  int samples;     // N
  float threshold;
};
FocusSearch focusSearch(int level);

// One pass's sweep: the samples so far, the best one and the peak test. The
// window side, after moving Z up by R from z0:
//   for i = 0 .. samples() - 1:
//     z = readAxisPosition(Z); if belowFloor(z): end
//     grab, f = focusFactor(...); if add(z, f): found, end
//     show sampleText(...), moveZBy(stepUm()), show bestText(), pace to i * 300 ms
//   end: moveZTo(returnZ())
class FocusSweep {
 public:
  FocusSweep(int level, double startZ);

  const FocusSearch& search() const { return search_; }
  int level() const { return level_; }
  int samples() const { return search_.samples; }
  // The move after each sample: -2R/N um.
  double stepUm() const;
  // The sweep has run more than 1.5 R below its start.
  bool belowFloor(double z) const;

  // Records the next sample; true when the peak test fires: for i >= 2 with
  // noise = focusNoise(F, i), Fmax > threshold, Fmax > Fmin + 2 noise,
  // F[i] < Fmax - 2 noise and i > best index + 10 (so at the earliest on the
  // 11th sample after the best). Samples past samples() are not taken.
  bool add(double z, float f);

  int count() const { return static_cast<int>(f_.size()); }
  int bestIndex() const { return best_; }
  float fMax() const { return fMax_; }
  float fMin() const { return fMin_; }
  // Where Z goes when the pass ends: the Z of the highest f-factor seen, or
  // the start Z when the pass ended before its first sample.
  double returnZ() const;

  // "[%d-%d] Z=%.0f f=%.3f" of the level, the last sample's index, Z and f.
  std::string sampleText() const;
  // "z=%.0f, Fmax=%.3f" of the best Z and the best f-factor.
  std::string bestText() const;

 private:
  int level_;
  FocusSearch search_;
  double startZ_;
  std::vector<float> f_;
  std::vector<double> z_;
  int best_ = -1;
  float fMax_ = 0.0f;
  float fMin_ = 0.0f;
};

// The samples of a pass are paced by the stage, not the computation: after
// sample i the pass waits (pumping messages) until more than i * 300 ms have
// passed since its stopwatch started.
constexpr unsigned focusSamplePeriodMs = 300;
inline bool focusSampleDue(std::uint64_t elapsedMs, int i) {
  return elapsedMs > static_cast<std::uint64_t>(i) * focusSamplePeriodMs;
}

// The end of a pass's text: " Focusing completed" when found, else
// " No peak found", appended to the state's text and cut to 99 characters.
void endFocusText(AutofocusState& state);
