#pragma once
// The fixed layout of the main window: the column of controls to the right
// of the camera picture, the light-source controls, the numeric edit fields
// that act on Enter, and the child windows created on demand.

#include <windows.h>

struct SpectroscopyRecord;
struct SpectroscopyWindows;

// The controls of the main column, with the settings in force written into
// their fields; called while the main window is being created.
void createMainControls(HWND mainWindow);
// The "illum." and "laser" controls, right after the main column.
void createLightControls(HWND mainWindow);

// The "IV Curve" window and its controls, created and shown when it does not
// exist; an existing window keeps what its fields hold.
void ensureIvWindow(const SpectroscopyRecord& record, SpectroscopyWindows& windows);
// The same for the time-evolution window.
void ensureTimeWindow(const SpectroscopyRecord& record, SpectroscopyWindows& windows);
