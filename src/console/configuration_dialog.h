#pragma once
// The "Configuration" dialog: where the operator chooses and connects the
// devices (current meter, Arduino, stage, camera) and edits the settings
// that have no field in the main window. It changes the program state only;
// Config.txt takes the settings at the next normal exit.

#include <windows.h>

INT_PTR CALLBACK configurationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally, owned by the main window, until "Done" (or Esc).
void runConfigurationDialog();
