#include "devices/measurement/gpib_instruments.h"

#include "devices/measurement/gpib_access.h"
#include "devices/measurement/gpib_status.h"
#include "devices/measurement/reply_number.h"
#include "services/device_faults.h"
#include "services/fixed_format.h"
#include "services/instrument_safety.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int gpibBoardIndex = 0;
int gpibDevice = 0;
int gpibSourcemeterDevice = -1;

namespace {

constexpr size_t kReplyCapacity = 100;
constexpr int gpibTimeoutOption = 0x0003;  // IbcTMO of ibconfig
constexpr int gpibTimeout1s = 11;          // T1s

// True (after reporting it) when the last bus call failed. The operator is
// told at the end of the run; the report itself goes to standard output.
bool failed(const char* message) {
  if (!(Ibsta() & gpibErr)) return false;
  const long error = static_cast<long>(static_cast<int>(Iberr()));
  reportGpibError(message);
  noteDeviceFault(FaultyDevice::gpib, std::string(message) + ", Iberr() = " + std::to_string(error));
  return true;
}

int openGpibDevice(int primaryAddress) {
  // No secondary address, 10 s timeout, EOI with the last byte, no EOS character.
  gpibDevice = ibdev(gpibBoardIndex, primaryAddress, 0, gpibTimeout10s, 1, 0);
  if (failed("ibdev Error")) return 0;
  ibclr(gpibDevice);
  if (failed("ibclr Error")) return 0;
  noteDeviceConnected(FaultyDevice::gpib);
  return 1;
}

// Reads one reply into reply (kReplyCapacity + 1 bytes) and terminates it
// after the bytes received. The buffer starts empty, so a read that failed
// parses as 0.
void readReply(char* reply) {
  ibrd(gpibDevice, reply, kReplyCapacity);
  failed("ibrd Error");
  reply[replyEnd(Ibcnt(), kReplyCapacity)] = '\0';
}

}  // namespace

int openGpibMultimeter(int primaryAddress) {
  if (!openGpibDevice(primaryAddress)) return 0;
  // The meter's own command set: each sent with its terminating zero.
  ibwrt(gpibDevice, "REN", 4);
  if (failed("ibwrt Error")) return 0;
  ibwrt(gpibDevice, "F3X", 4);
  if (failed("ibwrt Error")) return 0;
  return 1;
}

int openGpibSourcemeter(int primaryAddress) {
  if (!openGpibDevice(primaryAddress)) return 0;
  gpibSourcemeterDevice = gpibDevice;
  return 1;
}

void gpibWrite(const char* text) {
  ibwrt(gpibDevice, text, std::strlen(text));
  failed("ibwrt Error");
  Sleep(10);
}

void configureGpibSourcemeter(float biasV, float limitA) {
  // Once the program is ending the output is never switched on again.
  if (outputsLatchedOff()) return;
  char command[80];
  gpibWrite(":SOUR:VOLT:RANG 1");
  std::snprintf(command, sizeof command, ":SOUR:VOLT %f", static_cast<double>(biasV));
  gpibWrite(command);
  // Every digit of the limit: "%f" would send one below 0.5 uA as 0.000000.
  gpibWrite((":SOUR:VOLT:ILIM " + keptDigitsText(limitA)).c_str());
  gpibWrite(":SENSe:FUNCtion \"Current\"");
  gpibWrite(":SENSe:Curr:RANG 1E-6");
  gpibWrite(":COUN 1");
  gpibWrite(":OUTP ON");
  Sleep(100);
}

float readGpibSourcemeter() {
  gpibWrite(":READ?");
  char reply[kReplyCapacity + 1] = {};
  readReply(reply);
  return parseReplyNumber(reply, true);
}

float readGpibMultimeter() {
  // After "REN" and "F3X" the meter answers every read with its latest reading.
  char reply[kReplyCapacity + 1] = {};
  readReply(reply);
  std::printf("%s\n", reply);
  return parseReplyNumber(reply, false);
}

void closeGpibSourcemeter() {
  gpibWrite(":OUTP OFF");
  ibonl(gpibDevice, 0);
  if (gpibDevice == gpibSourcemeterDevice) gpibSourcemeterDevice = -1;
  failed("ibonl Error");
}

void switchGpibSourcemeterOffNow() {
  const int device = gpibSourcemeterDevice;
  const GpibRoundCalls calls = gpibRoundCalls;
  if (device < 0 || !gpibBound || !calls.ibwrt) return;
  // An instrument that does not answer holds the write for the bus time-out.
  if (calls.ibconfig) calls.ibconfig(device, gpibTimeoutOption, gpibTimeout1s);
  static constexpr char outputOff[] = ":OUTP OFF";
  calls.ibwrt(device, outputOff, sizeof outputOff - 1);
  if (calls.ibconfig) calls.ibconfig(device, gpibTimeoutOption, gpibTimeout10s);
}

void reportGpibError(const char* message) {
  const std::string report =
      formatGpibReport(message, Ibsta(), static_cast<long>(static_cast<int>(Iberr())), Ibcnt());
  std::fputs(report.c_str(), stdout);
  std::fflush(stdout);
  ibonl(gpibDevice, 0);
  if (gpibDevice == gpibSourcemeterDevice) gpibSourcemeterDevice = -1;
}
