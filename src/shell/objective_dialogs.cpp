#include "shell/objective_dialogs.h"

#include "motion/objective_table.h"
#include "resources/resource_ids.h"
#include "shell/ui_handles.h"

#include <windows.h>

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

}  // namespace

void runObjectiveSelectionDialog() {
  HINSTANCE resources = hInstance ? hInstance : GetModuleHandleW(nullptr);
  DialogBoxParamW(resources, MAKEINTRESOURCEW(IDD_OBJECTIVE_SELECTION), hMainWnd,
                  objectiveSelectionProc, 0);
}
