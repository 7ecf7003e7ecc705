#include "services/device_faults.h"

namespace {

struct Note {
  bool failed = false;
  std::string detail;
};
Note notes[faultyDeviceCount];
bool outOfService[faultyDeviceCount] = {};

struct DeviceTexts {
  const char* title;
  const char* what;         // followed by ": " and the detail
  const char* consequence;  // what it means for the run and the operator
};

// In the order of FaultyDevice.
constexpr DeviceTexts texts[faultyDeviceCount] = {
    {"Scanner Error", "The stage did not follow its commands",
     "The run was ended there. The stage may not be where the position fields show it."},
    {"Arduino Error", "The serial link to the Arduino failed",
     "The laser and the lamp are no longer switched by the program and may still be on. "
     "Check the cable, then reconnect the port in the Configuration dialog."},
    {"GPIB Error", "The current meter on GPIB failed",
     "Readings from then on are 0, and a sourcemeter may still apply its bias. "
     "Reconnect the meter in the Configuration dialog."},
    {"USB Error", "The USB sourcemeter failed",
     "Readings from then on are 0, and it may still apply its bias. "
     "Reconnect it in the Configuration dialog."},
    {"Camera Error", "The camera stopped delivering frames",
     "The picture shows the test pattern from then on. Reconnect the camera in the Configuration dialog."},
};

}  // namespace

void noteDeviceFault(FaultyDevice device, const std::string& detail) {
  outOfService[static_cast<int>(device)] = true;
  Note& note = notes[static_cast<int>(device)];
  if (note.failed) return;
  note.failed = true;
  note.detail = detail;
}

bool deviceFailed(FaultyDevice device) { return notes[static_cast<int>(device)].failed; }

std::string deviceFaultDetail(FaultyDevice device) { return notes[static_cast<int>(device)].detail; }

bool anyDeviceFailed() {
  for (const Note& note : notes) {
    if (note.failed) return true;
  }
  return false;
}

void noteDeviceConnected(FaultyDevice device) { outOfService[static_cast<int>(device)] = false; }

bool deviceOutOfService(FaultyDevice device) { return outOfService[static_cast<int>(device)]; }

void clearDeviceFaults() {
  for (Note& note : notes) note = Note{};
}

std::vector<DeviceFaultMessage> deviceFaultMessages() {
  std::vector<DeviceFaultMessage> messages;
  for (int i = 0; i < faultyDeviceCount; ++i) {
    if (!notes[i].failed) continue;
    const DeviceTexts& t = texts[i];
    std::string text = t.what;
    if (!notes[i].detail.empty()) text += ": " + notes[i].detail;
    messages.push_back({t.title, text + ".\n" + t.consequence});
  }
  return messages;
}
