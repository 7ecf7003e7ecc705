#include "runs/objective/objective_changer.h"

#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/objective_plan.h"
#include "devices/motion/stage_axis.h"
#include "services/instrument_safety.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/settings_files.h"
#include "services/ui_handles.h"
#include "views/jog_pad.h"
#include "views/live_display.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr int turretAxis = 3;
constexpr int firstObjectiveRadio = 9;  // radio buttons "5" .. "100" are ids 9 .. 13
constexpr int turretEnablePin = 4;

}  // namespace

int selectObjective(int index) {
  if (!isObjectiveIndex(index)) return 0;
  // Once the program is ending the turret stays, and so does the objective
  // on record.
  if (deviceBusy || outputsLatchedOff()) return 0;
  deviceBusy = 1;

  CheckRadioButton(hMainWnd, firstObjectiveRadio, firstObjectiveRadio + objectiveCount - 1,
                   firstObjectiveRadio + index);
  applyFieldOfView(objectiveSettings.objectiveFieldOfViewUm[index]);
  camera.setFieldOfView(fieldOfViewUm);
  lightSources.laserFocusOffsetUm = static_cast<int>(objectiveSettings.dzUm[index]);
  jogPad.jogStepUm = jogStepForObjective(index);
  objectiveSettings.current = index;

  if (objectiveSettings.current != objectiveSettings.previous) {
    setDigitalOutput(turretEnablePin, 5);
    setMotorAcceleration(turretAxis, 1000);
    setMotorSpeed(turretAxis, 1000);

    const ObjectiveChangePlan plan = planObjectiveChange(objectiveSettings);
    moveXYBy(plan.stageShiftXUm, plan.stageShiftYUm);
    moveAxisBy(stageZ, plan.focusShiftUm);
    // A move refused by the turret's travel limits is reported by the link;
    // the change still completes, as the turret may already be where it
    // should be.
    for (double move : plan.turretMoves) moveMotorBy(turretAxis, move);

    Sleep(100);
    objectiveSettings.previous = objectiveSettings.current;

    std::snprintf(objectiveSettings.statusText, sizeof objectiveSettings.statusText, "Obj. Motor:%.1f",
                  arduinoLink.positionUm[turretAxis]);
    showInfo(objectiveSettings.statusText);
    refreshPositionFields();
    videoControl(1);
    saveObjectiveFile();
  }

  deviceBusy = 0;
  return 0;
}

void adjustObjectiveMotor(double distance) {
  moveMotorBy(turretAxis, distance);
  Sleep(10);
  zeroMotor(turretAxis);
}
