#include "runs/spectroscopy/time_evolution.h"

#include "services/edit_number.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

namespace {

constexpr size_t firstStoreBlock = 65536;  // samples allocated before the store grows
// The count stays an int: a run of weeks at 100 readings a second is still
// far below this.
constexpr int maxStoredSamples = 1 << 30;

// A float sample count as an int, 0 for anything that is not a count.
int countOf(float value) {
  if (!(value > 0.0f)) return 0;
  return value < 2147483520.0f ? static_cast<int>(value) : 2147483520;
}

float phaseSamplesPerCycle(const SpectroscopyRecord& r) {
  return (std::trunc(r.onTime) + r.offTime) * 20.0f;
}

// Room for sample pointIndex in both arrays; false when the store is full.
bool roomForSample(SpectroscopyRecord& r) {
  if (r.pointIndex >= maxStoredSamples) return false;
  const auto i = static_cast<size_t>(r.pointIndex);
  if (i < r.times.size() && i < r.currents.size()) return true;
  const size_t size = std::max({i + 1, 2 * r.times.size(), size_t{1024}});
  try {
    r.times.resize(size);
    r.currents.resize(size);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace

std::string readPhaseTimeEdit(const char* editText, float& seconds) {
  int value = 0;
  if (!readEditInt(editText, value)) return {};
  seconds = static_cast<float>(std::clamp(value, 0, 10000));
  char text[32];
  std::snprintf(text, sizeof text, "%f", static_cast<double>(seconds));
  return text;
}

std::string readRepeatEdit(const char* editText, int& repeatCount) {
  int value = 0;
  if (!readEditInt(editText, value)) return {};
  repeatCount = std::clamp(value, 0, 200);
  return std::to_string(repeatCount);
}

int timeEvoCapacity(const SpectroscopyRecord& record) {
  return countOf(static_cast<float>(record.repeatCount) * phaseSamplesPerCycle(record));
}

int timeEvoPhaseLimit(const SpectroscopyRecord& record) { return countOf(phaseSamplesPerCycle(record)); }

long long phaseSampleGuard(float phaseSeconds, int phaseLimit) {
  const long long perSecond = phaseSeconds > 0.0f ? static_cast<long long>(std::min(phaseSeconds, 1e7f) * 1000.0f) : 0;
  return std::max({perSecond, static_cast<long long>(phaseLimit), 1LL});
}

TimeEvolutionEnd runTimeEvolutionCycles(SpectroscopyRecord& record, const TimeEvolutionDevices& devices) {
  try {
    const auto first = std::min(static_cast<size_t>(timeEvoCapacity(record)), firstStoreBlock);
    record.times.assign(first, 0.0f);
    record.currents.assign(first, 0.0f);
  } catch (const std::exception&) {
    return TimeEvolutionEnd::storeFull;
  }
  record.pointIndex = 0;
  long long offsetMs = 0;
  const int phaseLimit = timeEvoPhaseLimit(record);

  enum class Phase { over, stopped, storeFull };
  const auto runPhase = [&](float seconds) {
    const long long guard = phaseSampleGuard(seconds, phaseLimit);
    std::uint64_t t = 0;
    for (long long taken = 0; taken < guard; ++taken) {
      if (!roomForSample(record)) return Phase::storeFull;
      const auto i = static_cast<size_t>(record.pointIndex);
      record.currents[i] = devices.readCurrent();
      t = devices.stopwatch(false);
      record.times[i] = static_cast<float>(static_cast<long long>(t) + offsetMs) / 1000.0f;
      if (devices.pumpMessages(10) == 0) return Phase::stopped;
      ++record.pointIndex;
      if (static_cast<double>(t) >= static_cast<double>(seconds) * 1000.0) break;
      if (record.pointIndex % 10 == 0) devices.drawCurve(record);
    }
    offsetMs += static_cast<long long>(t);
    return Phase::over;
  };

  for (int cycle = 0; cycle < record.repeatCount; ++cycle) {
    for (const int laser : {1, 0}) {
      devices.stopwatch(true);
      devices.setLaser(laser);
      switch (runPhase(laser ? record.onTime : record.offTime)) {
        case Phase::over:
          break;
        case Phase::stopped:
          return TimeEvolutionEnd::stopped;
        case Phase::storeFull:
          return TimeEvolutionEnd::storeFull;
      }
    }
  }
  return TimeEvolutionEnd::completed;
}
