// The Configuration dialog's numeric fields, each read from at most 10
// characters (the defocus from 30) with "%d" or "%f": the laser spot limited
// to the picture, the defocus limited to [-30, 30] um and shown again, and
// the fields taken as typed (bias, current limit, aperture, GPIB address,
// COM port, step and position), whose values are shown with "%f" or "%d".
// Every field is tried on every input.

#include "fuzz_check.h"
#include "mapping/scan_geometry.h"
#include "shell/clamp.h"
#include "shell/edit_number.h"

#include <cmath>
#include <cstdio>

namespace {

std::string firstCharacters(const std::string& text, std::size_t count) { return text.substr(0, count); }

std::string formatted(const char* format, double value) {
  const int length = std::snprintf(nullptr, 0, format, value);
  require(length > 0, "a value formats");
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, value);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void checkLaserSpot(const std::string& typed) {
  for (const int limit : {imageWidthPx, imageHeightPx}) {
    int spot = 0;
    if (!readEditInt(firstCharacters(typed, 10).c_str(), spot)) continue;
    clampInPlace(spot, 0, limit);
    require(spot >= 0 && spot <= limit, "the laser spot inside the picture");
  }
}

void checkDefocus(const std::string& typed) {
  float read = 0.0f;
  if (!readEditFloat(firstCharacters(typed, 30).c_str(), read)) return;
  double defocusUm = read;
  clampInPlace(defocusUm, -30.0, 30.0);
  const std::string shown = formatted("%.1f", defocusUm);
  float again = 0.0f;
  require(readEditFloat(shown.c_str(), again), "the shown defocus reads");
  double defocusAgain = again;
  clampInPlace(defocusAgain, -30.0, 30.0);
  require(formatted("%.1f", defocusAgain) == shown, "the shown defocus reads back to itself");
}

void checkTakenAsTyped(const std::string& typed) {
  const std::string text = firstCharacters(typed, 10);
  float value = 0.0f;
  if (readEditFloat(text.c_str(), value)) {
    require(!std::isnan(value), "a bias or limit is a number");
    require(!formatted("%f", value).empty(), "a bias or limit shows");
  }
  int whole = 0;
  if (readEditInt(text.c_str(), whole)) require(!formatted("%.0f", whole).empty(), "a whole number shows");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string typed = textOf(data, size);
  checkLaserSpot(typed);
  checkDefocus(typed);
  checkTakenAsTyped(typed);
  return 0;
}
