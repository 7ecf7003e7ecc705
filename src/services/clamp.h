#pragma once
// Limits a setting to its range in place and returns the result.

inline int clampInPlace(int& value, int low, int high) {
  if (value < low) value = low;
  if (value > high) value = high;
  return value;
}

inline double clampInPlace(double& value, double low, double high) {
  if (value < low) value = low;
  if (value > high) value = high;
  return value;
}
