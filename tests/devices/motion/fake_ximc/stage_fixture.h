#pragma once
// For tests of the stage with the fake controller library: the three axes
// closed and back at their start state, and the Information box of the real
// main window read back.

#include "devices/motion/stage_axis.h"
#include "fake_ximc_control.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

inline void closeAllAxes() {
  for (StageAxis* axis : {&stageX, &stageY, &stageZ}) closeStageAxis(*axis), *axis = StageAxis();
}

// The Information box of the main window, or a stand-in child edit when the
// window has none yet, so that the texts shown can be read back.
inline void ensureInfoBox() {
  if (hInfoEdit && IsWindow(hInfoEdit)) return;
  hInfoEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 300, 20, hMainWnd,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
}

inline std::string infoText() { return ui::textOf(hInfoEdit); }
