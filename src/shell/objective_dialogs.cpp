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

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

INT_PTR runDialog(int resource, DLGPROC procedure) {
  HINSTANCE resources = hInstance ? hInstance : GetModuleHandleW(nullptr);
  return DialogBoxParamW(resources, MAKEINTRESOURCEW(resource), hMainWnd, procedure, 0);
}

}  // namespace

void runObjectiveSelectionDialog() { runDialog(IDD_OBJECTIVE_SELECTION, objectiveSelectionProc); }

int runAboutDialog() { return static_cast<int>(runDialog(IDD_ABOUT, aboutProc)); }
