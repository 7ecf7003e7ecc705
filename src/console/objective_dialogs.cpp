#include "console/objective_dialogs.h"

#include "console/dialog_fields.h"
#include "resources/resource_ids.h"
#include "runs/objective/objective_changer.h"
#include "services/objective_table.h"
#include "services/settings_files.h"
#include "services/ui_handles.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

int chosenObjective = 0;

namespace {

INT_PTR CALLBACK objectiveSelectionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id >= IDC_OBJECTIVE_5X && id <= IDC_OBJECTIVE_100X) {
        chosenObjective = id - IDC_OBJECTIVE_5X;
        return TRUE;
      }
      if (id == IDOK) {
        // Both equal: applying the objective afterwards turns no motor.
        objectiveSettings.previous = objectiveSettings.current = chosenObjective;
        EndDialog(dialog, 0);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// The field of each travel, in the order of changerSteps.
constexpr int changerStepFields[changerStepCount] = {IDC_CHANGER_STEP_5X_10X, IDC_CHANGER_STEP_10X_20X,
                                                     IDC_CHANGER_STEP_20X_50X, IDC_CHANGER_STEP_50X_100X};

void showChangerSteps(HWND dialog) {
  for (int k = 0; k < changerStepCount; ++k) {
    SetDlgItemTextA(dialog, changerStepFields[k], formatShortest(objectiveSettings.changerSteps[k]).c_str());
  }
}

INT_PTR CALLBACK objectiveStepProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      showChangerSteps(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          for (int k = 0; k < changerStepCount; ++k) {
            char text[30] = {};
            GetDlgItemTextA(dialog, changerStepFields[k], text, sizeof text);
            readChangerStepField(text, objectiveSettings.changerSteps[k]);
          }
          showChangerSteps(dialog);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

void runObjectiveSelectionDialog() { runModalDialog(IDD_OBJECTIVE_SELECTION, objectiveSelectionProc); }

void runObjectiveStepDialog() { runModalDialog(IDD_OBJECTIVE_STEPS, objectiveStepProc); }

int runAboutDialog() { return static_cast<int>(runModalDialog(IDD_ABOUT, aboutProc)); }

void loadObjectiveFile() {
  // A first line that does not parse asks about the objective the table
  // already holds (50X at start).
  int index = objectiveSettings.current;
  double steps[changerStepCount];
  std::copy(std::begin(objectiveSettings.changerSteps), std::end(objectiveSettings.changerSteps), steps);
  if (!readObjectiveFile(index, steps)) return;

  if (MessageBoxA(hMainWnd, objectiveQuestion(index), "Confirmation", MB_YESNO) == IDYES) {
    // Every index outside 0..3 was asked as 100X, so that is what the
    // operator confirmed; the table is never indexed outside 0..4.
    const int confirmed = isObjectiveIndex(index) ? index : objectiveCount - 1;
    objectiveSettings.current = objectiveSettings.previous = confirmed;
  } else {
    runObjectiveSelectionDialog();
  }
  selectObjective(objectiveSettings.current);
  std::copy(steps, steps + changerStepCount, objectiveSettings.changerSteps);
}
