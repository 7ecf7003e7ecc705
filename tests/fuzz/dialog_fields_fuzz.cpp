// The Configuration dialog's numeric fields and the changer's step editor,
// each read from at most 10 characters (the defocus from 30) through the
// dialogs' own helpers: the laser spot limited to the picture, the defocus to
// [-30, 30] um, the changer travels to [189, 195] and the bias to the main
// window's range, each shown again; the current limit taken as typed and
// shown with its digits. Whatever is typed, a
// value stays in its range, and a shown value read again (as pressing "Set"
// once more does) gives the same setting. Every field is tried on every input.

#include "console/dialog_fields.h"
#include "fuzz_check.h"
#include "services/edit_field_values.h"
#include "services/edit_number.h"
#include "services/fixed_format.h"
#include "services/objective_table.h"
#include "services/scan_geometry.h"

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

// Bias and current limit, shown as the dialog shows them and read again,
// as pressing "Set" once more does: the bias within the main window's range
// and back as closely as "%f" shows it, the limit back exactly when ten
// characters can hold it (and as closely as they can otherwise).
float readBack(const std::string& shown) {
  float again = 0.0f;
  require(readFiniteFloat(field(shown, dialogFieldChars).c_str(), again), "a shown bias or limit reads");
  return again;
}

void checkBiasAndLimit(const std::string& typed) {
  float bias = 0.0f;
  if (readBiasField(field(typed).c_str(), bias)) {
    require(bias >= static_cast<float>(minBiasV) && bias <= static_cast<float>(maxBiasV), "the bias within range");
    require(std::fabs(readBack(formatFixed(bias)) - bias) <= 5e-7f + std::fabs(bias) * 1e-6f,
            "the shown bias reads back");
  }
  float limit = 0.0f;
  if (!readFiniteFloat(field(typed).c_str(), limit) || std::fabs(limit) >= 1e9f) return;
  const std::string shown = keptDigitsText(limit, dialogFieldChars);
  require(shown.size() <= static_cast<std::size_t>(dialogFieldChars), "the limit fits its field");
  require(std::fabs(readBack(shown) - limit) <= std::fabs(limit) * 5e-4f, "the shown current limit reads back");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string typed = textOf(data, size);
  checkLaserSpot(typed);
  checkDefocus(typed);
  checkChangerStep(typed);
  checkBiasAndLimit(typed);
  return 0;
}
