#include "console/objective_dialogs.h"
#include "resources/resource_ids.h"
#include "services/data_paths.h"
#include "services/objective_table.h"
#include "services/settings_files.h"
#include "test_files.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>

namespace {

void writeFile(const wchar_t* path, const char* text) { ASSERT_TRUE(testfiles::writeBytes(path, text)); }

class ObjectiveStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureTestMainWindow();
    objectiveSettings = ObjectiveTable{};
  }
  void TearDown() override { _wremove(dataPaths.objectiveFile); }
};

TEST_F(ObjectiveStartup, SelectionDialogTakes5XFirstThenTheLastClickedObjective) {
  ui::DialogAnswerer first(L"Objetive lens selection", {IDOK});
  runObjectiveSelectionDialog();
  ASSERT_TRUE(first.finish());
  EXPECT_EQ(objectiveSettings.current, 0);
  EXPECT_EQ(objectiveSettings.previous, 0);

  ui::DialogAnswerer clicked(L"Objetive lens selection", {IDC_OBJECTIVE_20X, IDOK});
  runObjectiveSelectionDialog();
  ASSERT_TRUE(clicked.finish());
  EXPECT_EQ(objectiveSettings.current, 2);
  EXPECT_EQ(objectiveSettings.previous, 2);

  objectiveSettings.current = objectiveSettings.previous = 3;
  ui::DialogAnswerer again(L"Objetive lens selection", {IDOK});
  runObjectiveSelectionDialog();
  ASSERT_TRUE(again.finish());
  EXPECT_EQ(objectiveSettings.current, 2) << "the last click survives between showings";

  ui::DialogAnswerer cancelled(L"Objetive lens selection", {IDC_OBJECTIVE_100X, IDCANCEL});
  runObjectiveSelectionDialog();
  ASSERT_TRUE(cancelled.finish());
  EXPECT_EQ(objectiveSettings.current, 2);
}

TEST_F(ObjectiveStartup, SelectionDialogShowsItsKoreanButtonsAndTheFiveObjectives) {
  std::wstring ok, cancel, radio;
  std::thread inspector([&] {
    HWND dialog = ui::waitForWindow(L"Objetive lens selection", 30000);
    if (!dialog) return;
    wchar_t text[64];
    GetDlgItemTextW(dialog, IDOK, text, 64);
    ok = text;
    GetDlgItemTextW(dialog, IDCANCEL, text, 64);
    cancel = text;
    GetDlgItemTextW(dialog, IDC_OBJECTIVE_100X, text, 64);
    radio = text;
    ui::pressButton(dialog, IDCANCEL);
  });
  runObjectiveSelectionDialog();
  inspector.join();
  EXPECT_EQ(ok, L"\uD655\uC778");
  EXPECT_EQ(cancel, L"\uCDE8\uC18C");
  EXPECT_EQ(radio, L"100X");
}

TEST_F(ObjectiveStartup, TheSavedObjectiveIsAskedAboutAndNoOpensTheSelectionDialog) {
  const struct {
    const char* file;
    int answer;
    const char* asked;
    int taken;
    double steps[4];
  } cases[] = {
      // An index out of the table is taken as 100X; the steps are limited.
      {"objective:7\nstep:200,100,192.5,190\n", IDYES, "100X", 4, {195, 189, 192.5, 190}},
      // An unreadable first line: the objective already in the table.
      {"garbled\n", IDYES, "50X", 3, {192, 192, 192, 192}},
      // No: the selection dialog, where 50X is chosen.
      {"objective:1\nstep:192,192,192,192\n", IDNO, "10X", 3, {192, 192, 192, 192}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    objectiveSettings = ObjectiveTable{};
    writeFile(dataPaths.objectiveFile, c.file);
    ui::DialogAnswerer question(L"Confirmation", {c.answer});
    std::optional<ui::DialogAnswerer> selection;
    if (c.answer == IDNO) selection.emplace(L"Objetive lens selection", std::vector<int>{IDC_OBJECTIVE_50X, IDOK});
    loadObjectiveFile();
    ASSERT_TRUE(question.finish());
    if (selection) {
      ASSERT_TRUE(selection->finish());
    }
    EXPECT_EQ(ui::narrow(question.text()), std::string("Is the current objective lens ") + c.asked + "?\n");
    EXPECT_EQ(objectiveSettings.current, c.taken);
    EXPECT_EQ(objectiveSettings.previous, c.taken);
    for (int k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(objectiveSettings.changerSteps[k], c.steps[k]) << k;
  }
}

TEST_F(ObjectiveStartup, MissingFileAsksNothing) {
  _wremove(dataPaths.objectiveFile);
  // A question would block loadObjectiveFile: one that appears is answered
  // at once, so that the test fails instead of hanging.
  std::string asked;
  {
    ui::BoxAnswerer answering([&asked](const std::string& title, const std::string&) {
      asked = title;
      return IDYES;
    });
    loadObjectiveFile();
  }
  EXPECT_EQ(asked, "");
  EXPECT_EQ(objectiveSettings.current, 3);
}

}  // namespace
