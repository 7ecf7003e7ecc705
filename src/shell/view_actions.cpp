#include "shell/view_actions.h"

#include "motion/arduino_link.h"
#include "motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "shell/message_pump.h"
#include "shell/program_state.h"
#include "shell/reporting.h"
#include "shell/ui_handles.h"

#include <windows.h>

int setViewMode(int sample) {
  if (!devicesFree()) return 0;
  {
    DeviceBusyScope busy;
    if (sample) {
      CheckRadioButton(hMainWnd, IDC_LASER_VIEW, IDC_SAMPLE_VIEW, IDC_SAMPLE_VIEW);
      setLaser(0);
      setIlluminationLevel(1);
      // Back from the laser focus to the sample focus.
      if (scanState.sampleView == 0) moveZBy(-lightSources.laserFocusOffsetUm);
      scanState.sampleView = 1;
    } else {
      CheckRadioButton(hMainWnd, IDC_LASER_VIEW, IDC_SAMPLE_VIEW, IDC_LASER_VIEW);
      setLaser(1);
      setIlluminationLevel(0);
      if (scanState.sampleView == 1) moveZBy(lightSources.laserFocusOffsetUm);
      scanState.sampleView = 0;
    }
    refreshPositionFields();
    pumpMessages(10);
  }
  if (hMainWnd) SetFocus(hMainWnd);
  return 0;
}
