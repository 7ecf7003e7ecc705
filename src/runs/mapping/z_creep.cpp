#include "runs/mapping/z_creep.h"

void startZCreepTracking(ZCreepTracker& tracker, double referenceZ, float f0) {
  tracker.counter = 0;
  tracker.referenceZ = referenceZ;
  tracker.direction = 1;
  tracker.highLevel = static_cast<float>(0.85 * f0);
  tracker.midLevel = static_cast<float>(0.7 * f0);
  tracker.lowLevel = static_cast<float>(0.6 * f0);
}

ZCreepAction zCreepStep(ZCreepTracker& t, float f) {
  if (f > t.highLevel) {
    t.counter = 0;
    return {};
  }
  if (f > t.midLevel) {
    t.counter = 0;
    return {ZCreepAction::moveBy, t.direction * 0.1};
  }
  if (f > t.lowLevel) {
    if (t.counter % 20 == 0) t.direction = -t.direction;
    ++t.counter;
    if (t.counter % 3 == 0) return {ZCreepAction::moveBy, t.direction * 0.1};
    return {};
  }
  t.direction = 1;
  t.counter = 0;
  return {ZCreepAction::moveToReference, 0.0};
}
