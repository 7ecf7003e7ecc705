#include "services/edit_field_values.h"

#include "services/clamp.h"
#include "services/edit_number.h"

#include <cstdio>

std::optional<int> guardedIntField(const char* text, int low, int high) {
  int value = 0;
  if (!readEditInt(text, value)) return std::nullopt;
  return clampInPlace(value, low, high);
}

std::optional<double> guardedDoubleField(const char* text, double low, double high) {
  double value = 0.0;
  if (!readEditDouble(text, value)) return std::nullopt;
  return clampInPlace(value, low, high);
}

int intFieldOr(const char* text, int fallback, int low, int high) {
  int value = fallback;
  readEditInt(text, value);
  return clampInPlace(value, low, high);
}

double floatFieldOr(const char* text, double fallback, double low, double high) {
  float read = 0.0f;
  double value = readEditFloat(text, read) ? read : fallback;
  return clampInPlace(value, low, high);
}

bool zMoveNeedsWarning(int targetUm, double presentUm) { return targetUm - presentUm >= zWarningRiseUm; }

std::string zWarningText(int targetUm, double workingDistanceUm) {
  char text[200];
  std::snprintf(text, sizeof text,
                "Are you sure the distance from objective lens to sample greater than %d um.\n"
                "                          - Working Distance: %g um",
                targetUm, workingDistanceUm);
  return text;
}
