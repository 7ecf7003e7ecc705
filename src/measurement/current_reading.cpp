#include "measurement/current_reading.h"

#include "measurement/test_current.h"
#include "shell/program_state.h"

namespace {
TestCurrentSource testSource;
}

float readCurrent() {
  switch (currentEquipment) {
    case 0:
      return testCurrentUa(testSource.next());
    default:
      // NI-DAQ is not supported; the GPIB and USB meters are read by the
      // measurement subsystem as it is built.
      return 0.0f;
  }
}
