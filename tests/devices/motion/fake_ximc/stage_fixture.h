#pragma once
// A fixture for stage tests with the fake controller library: the real main
// window (for the Information box and the position fields), the three axes
// closed and back at their start state, and the fake reset.

#include "devices/motion/stage_axis.h"
#include "fake_ximc_control.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <string>

inline void closeAllAxes() {
  closeStageAxis(stageX);
  closeStageAxis(stageY);
  closeStageAxis(stageZ);
  stageX = StageAxis();
  stageY = StageAxis();
  stageZ = StageAxis();
}

// The Information box of the main window, or a stand-in child edit when the
// window has none yet, so that the texts shown can be read back.
inline void ensureInfoBox() {
  if (hInfoEdit && IsWindow(hInfoEdit)) return;
  hInfoEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 300, 20, hMainWnd,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
}

inline std::string infoText() {
  char text[256] = {};
  GetWindowTextA(hInfoEdit, text, sizeof text);
  return text;
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class StageWithFake : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureTestMainWindow();
    ensureInfoBox();
    ASSERT_TRUE(fake().complete()) << "libximc.dll beside the test program is not the fake";
    closeAllAxes();
    fake().reset(3);
    scanRunning = 0;
    stopRequested = 0;
    SetWindowTextA(hInfoEdit, "");
  }
  void TearDown() override { closeAllAxes(); }

  static const FakeXimc& fake() { return fakeXimc(); }

};
