#include "console/dialog_fields.h"

#include "services/clamp.h"
#include "services/edit_field_values.h"
#include "services/edit_number.h"
#include "services/objective_table.h"

#include <algorithm>

#include <cmath>
#include <cstdio>

bool readFiniteFloat(const char* text, float& value) {
  float read = 0.0f;
  if (!readEditFloat(text, read) || !std::isfinite(read)) return false;
  value = read;
  return true;
}

namespace {

std::string formatted(const char* format, double value) {
  char text[400];  // room for "%f" of the largest double: the text is never cut mid-number
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string formatInt(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return text;
}

std::string formatFixed(double value) { return formatted("%f", value); }
std::string formatTenths(double value) { return formatted("%.1f", value); }
std::string formatShortest(double value) { return formatted("%g", value); }

bool readBiasField(const char* text, float& biasV) {
  float read = 0.0f;
  if (!readFiniteFloat(text, read)) return false;
  // A slip such as "50" must not reach the sourcemeter as 50 V.
  biasV = static_cast<float>(std::clamp(static_cast<double>(read), minBiasV, maxBiasV));
  return true;
}

bool readLaserSpotField(const char* text, int limit, int& spot) {
  int read = 0;
  if (!readEditInt(text, read)) return false;
  spot = clampInPlace(read, 0, limit);
  return true;
}

bool readDefocusField(const char* text, double& defocusUm) {
  float read = 0.0f;
  if (!readFiniteFloat(text, read)) return false;
  double value = read;
  defocusUm = clampInPlace(value, -maxDefocusUm, maxDefocusUm);
  return true;
}

bool readChangerStepField(const char* text, double& step) {
  float read = 0.0f;
  if (!readFiniteFloat(text, read)) return false;
  // The limits are exact in single precision, so limiting the widened value
  // keeps the single-precision number the operator typed.
  double value = read;
  step = clampInPlace(value, minChangerStep, maxChangerStep);
  return true;
}
