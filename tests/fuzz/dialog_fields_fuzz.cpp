// The Configuration dialog's numeric fields and the changer's step editor,
// each read from at most 10 characters (the defocus from 30) through the
// dialogs' own helpers: the laser spot limited to the picture, the defocus to
// [-30, 30] um and the changer travels to [189, 195], each shown again; the
// bias and the current limit taken as typed and shown. Whatever is typed, a
// value stays in its range, and a shown value read again (as pressing "Set"
// once more does) gives the same setting. Every field is tried on every input.

#include "fuzz_check.h"
#include "shell/scan_geometry.h"
#include "motion/objective_table.h"
#include "shell/dialog_fields.h"
#include "shell/edit_number.h"

#include <cmath>

namespace {

std::string field(const std::string& typed, std::size_t characters = dialogFieldChars) {
  return typed.substr(0, characters);
}

void checkLaserSpot(const std::string& typed) {
  for (const int limit : {imageWidthPx, imageHeightPx}) {
    int spot = -1;
    if (!readLaserSpotField(field(typed).c_str(), limit, spot)) continue;
    require(spot >= 0 && spot <= limit, "the laser spot inside the picture");
    int again = -1;
    require(readLaserSpotField(formatInt(spot).c_str(), limit, again) && again == spot, "the shown spot reads back");
  }
}

void checkDefocus(const std::string& typed) {
  double defocusUm = 0.0;
  if (!readDefocusField(field(typed, 30).c_str(), defocusUm)) return;
  require(defocusUm >= -maxDefocusUm && defocusUm <= maxDefocusUm, "the defocus within [-30, 30] um");
  const std::string shown = formatTenths(defocusUm);
  double again = 99.0;
  require(readDefocusField(field(shown, 30).c_str(), again) && formatTenths(again) == shown,
          "the shown defocus reads back to itself");
}

void checkChangerStep(const std::string& typed) {
  double step = 0.0;
  if (!readChangerStepField(field(typed).c_str(), step)) return;
  require(step >= minChangerStep && step <= maxChangerStep, "a changer travel within its range");
  double again = 0.0;
  // "%g" shows six digits, three decimals here; single precision adds its own.
  require(readChangerStepField(field(formatShortest(step)).c_str(), again) && std::fabs(again - step) <= 5.2e-4,
          "the shown travel reads back");
}

// Bias and current limit: any finite number, shown with "%f" (the limit with
// "%g" where "%f" would show zero). "Set" pressed again reads the shown text
// and must take the setting back, as closely as the text shows it. A value of
// ten integer digits or more fits the field in no format; no bias or limit
// comes near one.
float readBack(const std::string& shown) {
  float again = 0.0f;
  require(readFiniteFloat(field(shown, dialogFieldChars).c_str(), again), "a shown bias or limit reads");
  return again;
}

void checkTakenAsTyped(const std::string& typed) {
  float value = 0.0f;
  if (!readFiniteFloat(field(typed).c_str(), value) || std::fabs(value) >= 1e9f) return;
  const float fixedError = 5e-7f + std::fabs(value) * 1e-6f;
  require(std::fabs(readBack(formatFixed(value)) - value) <= fixedError, "the shown bias reads back");
  const bool small = value != 0.0f && std::fabs(value) < 5e-7f;
  require(std::fabs(readBack(formatFixedKeepingSmall(value)) - value) <= (small ? std::fabs(value) * 5e-4f : fixedError),
          "the shown current limit reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string typed = textOf(data, size);
  checkLaserSpot(typed);
  checkDefocus(typed);
  checkChangerStep(typed);
  checkTakenAsTyped(typed);
  return 0;
}
