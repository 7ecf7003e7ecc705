#include "runs/spectroscopy/iv_sweep.h"

#include "services/edit_number.h"

#include <algorithm>
#include <cstdio>
#include <exception>

IvRangeEdit readIvRangeEdit(SpectroscopyRecord& record, const char* editText) {
  IvRangeEdit edit;
  float range = 0.0f;
  if (!readEditFloat(editText, range)) return edit;
  record.voltageRange = std::clamp(range, 0.01f, 10.0f);
  edit.converted = true;
  edit.step = record.voltageRange / static_cast<float>(std::max(1, record.pointsPerBranch));
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(record.voltageRange));
  edit.shown = text;
  return edit;
}

bool prepareIvSweep(SpectroscopyRecord& record) {
  const auto n = static_cast<size_t>(std::max(0, ivPointCount(record)));
  try {
    if (record.voltages.size() < n) record.voltages.resize(n);
    if (record.currents.size() < n) record.currents.resize(n);
  } catch (const std::exception&) {
    return false;
  }
  std::fill_n(record.voltages.begin(), n, 0.0f);
  std::fill_n(record.currents.begin(), n, 0.0f);
  return true;
}

float ivSweepVoltage(int k, float range, float step, int pointsPerBranch) {
  const int n = pointsPerBranch;
  if (k < n) return static_cast<float>(k) * step;
  if (k < 3 * n) return range - static_cast<float>(k - n) * step;
  return -range + static_cast<float>(k - 3 * n) * step;
}

std::string ivPointText(float volts, float microamperes) {
  char text[128];
  std::snprintf(text, sizeof text, "V=%f,I=%f", static_cast<double>(volts), static_cast<double>(microamperes));
  return text;
}
