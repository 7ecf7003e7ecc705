#include "devices/measurement/current_reading.h"

#include "devices/measurement/current_units.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/test_current.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "services/program_state.h"

namespace {
TestCurrentSource testSource;
}

float readCurrent() {
  switch (currentEquipment) {
    case 0:
      return testCurrentUa(testSource.next());
    case 2:
      return amperesToMicroamperes(readGpibMultimeter());
    case 3:
      return amperesToMicroamperes(readGpibSourcemeter());
    case 4:
      return amperesToMicroamperes(readUsbSourcemeter());
    default:
      return 0.0f;  // 1: NI-DAQ is not supported; anything else reads nothing
  }
}

void applyBiasToSourcemeter(float biasV) {
  if (currentEquipment == 3) configureGpibSourcemeter(biasV, currentLimit);
  if (currentEquipment == 4) configureUsbSourcemeter(biasV, currentLimit);
}
