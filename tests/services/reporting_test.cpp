#include "services/reporting.h"

#include "devices/motion/stage_axis.h"
#include "services/program_state.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ui::textOf;

// The position fields of the main window itself, and its elapsed time.
TEST(Reporting, PositionFieldsAreRewrittenOnlyWhenTheirAxisMovedAndTheElapsedTimeShowsTheEstimate) {
  ensureTestMainWindow();
  const auto fields = [] { return textOf(hXEdit) + " " + textOf(hYEdit) + " " + textOf(hZEdit); };
  stageX.positionUm = 12.34;
  stageY.positionUm = -3.0;
  stageZ.positionUm = 7.0;
  refreshPositionFields();
  EXPECT_EQ(fields(), "12.3 -3.0 7.0");
  // The operator is typing into X and Y; only Y's axis moves.
  SetWindowTextA(hXEdit, "15");
  SetWindowTextA(hYEdit, "7");
  stageY.positionUm = 4.56;
  refreshPositionFields();
  EXPECT_EQ(fields(), "15 4.6 7.0");
  EXPECT_EQ(GetFocus(), hMainWnd);
  // Shown on purpose (Escape, "Pos.(um)"), the typed text goes.
  showPositionField(hXEdit);
  EXPECT_EQ(textOf(hXEdit), "12.3");
  stageX = stageY = stageZ = StageAxis{};

  scanState.expectedMinutes = 12;
  EXPECT_EQ(stopwatch(true), 0u);
  showElapsed();
  EXPECT_EQ(textOf(hTimeEdit), "0M/12M ");
}

TEST(MainWindow, HasTheMenuAndTheProgramIcon) {
  HWND main = ensureTestMainWindow();
  HMENU menu = GetMenu(main);
  wchar_t caption[64] = {};
  GetMenuStringW(menu, 0, caption, 64, MF_BYPOSITION);
  EXPECT_EQ(GetMenuItemCount(menu), 5);
  EXPECT_STREQ(caption, L"File(&F)");
  EXPECT_NE(GetClassLongPtrW(main, GCLP_HICON), 0);
  WNDCLASSEXW plot = {sizeof plot};
  for (const wchar_t* name : {L"Nerin", L"CFI", L"IV"})
    EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), name, &plot)) << ui::narrow(name);
}

}  // namespace
