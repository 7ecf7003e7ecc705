#pragma once
// What failed during a run, so that the operator is told when it ends. A run
// that meets a device failure goes on or ends as it would after a stop, but
// never reports success silently: the device layers note each failure of
// their device as they meet it (a call that returns an error, a move that
// does not arrive), the command that starts a run clears the notes, runs ask
// whether a device they cannot go on without has failed, and the command
// reports the notes once the data are saved and the devices are left as safe
// as they can be (reportDeviceFaults, services/reporting.h).
// Portable: no Win32 here.

#include <string>
#include <vector>

enum class FaultyDevice { stage, arduino, gpib, usbSourcemeter, camera };
inline constexpr int faultyDeviceCount = 5;

// The first detail noted for a device since the last clear is kept: later
// failures of the same device mostly follow from the first.
void noteDeviceFault(FaultyDevice device, const std::string& detail);
bool deviceFailed(FaultyDevice device);
// The detail of a failure noted since the last clear; empty when none.
std::string deviceFaultDetail(FaultyDevice device);
bool anyDeviceFailed();
void clearDeviceFaults();

// A device that failed stays out of service, whatever runs come after,
// until it is connected again: the records of later runs must not call it
// connected. The device layers note every successful connection.
void noteDeviceConnected(FaultyDevice device);
bool deviceOutOfService(FaultyDevice device);

// What the operator is shown: one message per failed device, in the order of
// FaultyDevice, with the title of that device's errors.
struct DeviceFaultMessage {
  const char* title;
  std::string text;
};
std::vector<DeviceFaultMessage> deviceFaultMessages();
