#include "views/view_mode.h"

#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/live_display.h"

#include <windows.h>

int setViewMode(int sample) {
  if (!devicesFree()) return 0;
  return enterViewMode(sample);
}

int enterViewMode(int sample) {
  {
    DeviceBusyScope busy;
    if (sample) {
      CheckRadioButton(hMainWnd, IDC_LASER_VIEW, IDC_SAMPLE_VIEW, IDC_SAMPLE_VIEW);
      setLaser(0);
      setIlluminationLevel(1);
      camera.configure(CameraSetup::Auto);
      videoControl(0);
      // Back from the laser focus to the sample focus.
      if (scanState.sampleView == 0) moveZBy(-lightSources.laserFocusOffsetUm);
      scanState.sampleView = 1;
    } else {
      camera.takePresentSettings();
      CheckRadioButton(hMainWnd, IDC_LASER_VIEW, IDC_SAMPLE_VIEW, IDC_LASER_VIEW);
      setLaser(1);
      setIlluminationLevel(0);
      camera.configure(CameraSetup::Manual);
      videoControl(0);
      if (scanState.sampleView == 1) moveZBy(lightSources.laserFocusOffsetUm);
      scanState.sampleView = 0;
    }
    refreshPositionFields();
    pumpMessages(10);
    videoControl(1);
  }
  if (hMainWnd) SetFocus(hMainWnd);
  return 0;
}
