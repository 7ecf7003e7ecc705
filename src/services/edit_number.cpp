#include "services/edit_number.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

bool readEditInt(const char* text, int& value) {
  if (!text) return false;
  char* end = nullptr;
  errno = 0;
  const long long read = std::strtoll(text, &end, 10);
  if (end == text) return false;
  value = read > INT_MAX ? INT_MAX : read < INT_MIN ? INT_MIN : static_cast<int>(read);
  return true;
}

bool readEditFloat(const char* text, float& value) {
  if (!text) return false;
  char* end = nullptr;
  const float read = std::strtof(text, &end);
  if (end == text || std::isnan(read)) return false;
  value = read;
  return true;
}

bool readEditDouble(const char* text, double& value) {
  if (!text) return false;
  char* end = nullptr;
  const double read = std::strtod(text, &end);
  if (end == text || std::isnan(read)) return false;
  value = read;
  return true;
}
