// The whole program with its devices (fake controller library and GPIB
// driver beside it, the emulated board behind its COM port) ending in the
// middle of a map scan: by a crash inside the controller library, and by
// the operator closing the main window. The scan is 12 x 10 points of
// 1.4 um on 50X; the fake sourcemeter answers the nth reading after its
// output went on with n nA, so every run of the scan reads the same values.

#include "arduino_emulator_client.h"
#include "fake_log_file.h"
#include "program_run.h"
#include "resources/resource_ids.h"
#include "result_records.h"
#include "runs/mapping/map_journal.h"
#include "services/data_paths.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeout = 60000;
constexpr int kWidth = 12, kHeight = 10;
// The scan's moves are counted in the controller library: 3 of the focus,
// 6 of the approach, 12 + 13 + 13 for rows 0 to 2; the 48th starts X on its
// way to row 3 and the 49th, Y's, crashes while X is moving.
constexpr char kCrashInRowThree[] = "command_move 49";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The dated measurement folders of the data folder.
std::vector<std::wstring> measurementFolders() {
  std::vector<std::wstring> folders;
  for (const std::wstring& name : testfiles::namesMatching(std::wstring(dataPaths.dataFolder) + L"\\*", true))
    if (name != L"Data_Detail") folders.push_back(std::wstring(dataPaths.dataFolder) + L"\\" + name);
  return folders;
}

void removeMeasurementFolders() {
  for (const std::wstring& folder : measurementFolders()) {
    for (const std::wstring& file : testfiles::namesMatching(folder + L"\\*")) DeleteFileW((folder + L"\\" + file).c_str());
    RemoveDirectoryW(folder.c_str());
  }
}

// The one measurement folder there is; empty when there is not exactly one.
std::wstring onlyFolder() {
  const std::vector<std::wstring> folders = measurementFolders();
  return folders.size() == 1 ? folders[0] : std::wstring();
}

std::string fileText(const std::wstring& folder, const wchar_t* name) {
  return testfiles::readBytes((folder + L"\\" + name).c_str());
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    result.push_back(text.substr(at, end - at));
  return result;
}

// The rows of the "Nerin" journal in the folder, -1 when there is none.
int journalRows(const std::wstring& folder) {
  const std::string text = fileText(folder, L"Nerin.journal");
  MapJournal journal;
  return text != "<missing>" && readMapJournal(text, journal) ? static_cast<int>(journal.rows.size()) : -1;
}

class SafeExit : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board.connected()) << "run under arduino_emulator.py";
    const std::string config = "step:1.4, scan_speed:500, laser shift:(616,514), Ammeter:3, GPIB:18, Standa:0, arduino:" +
                               std::to_string(board.comPort()) + "\n";
    ASSERT_TRUE(testfiles::writeBytes(dataPaths.configFile, config.c_str()));
    _wremove(dataPaths.objectiveFile);  // 50X, not asked
    SetEnvironmentVariableA("FAKE_XIMC_DEVICES", "3");
    SetEnvironmentVariableA("FAKE_GPIB_COUNTED_READS", "1");
    removeMeasurementFolders();
  }
  void TearDown() override {
    SetEnvironmentVariableA("FAKE_GPIB_COUNTED_READS", nullptr);
    removeMeasurementFolders();
    _wremove(dataPaths.configFile);
  }

  // Starts the program, acknowledges what start-up has to say (title given),
  // and presses "Start" once start-up is through.
  void startScan(ui::ProgramRun& program, const wchar_t* notice = nullptr) {
    ASSERT_TRUE(board.reset());
    ASSERT_TRUE(program.start());
    if (notice) {
      HWND box = ui::waitForWindow(notice, kTimeout);
      ASSERT_NE(box, nullptr);
      noticeText = ui::narrow(ui::staticTexts(box));
      ui::pressButton(box, IDOK);
    }
    HWND main = program.waitForMainWindow(kTimeout);
    ASSERT_NE(main, nullptr);
    // The lamp goes on last in start-up.
    ASSERT_TRUE(ui::eventually([&] { return contains(board.received(), "D 6 5\n"); }, kTimeout)) << board.received();
    PostMessageW(main, WM_COMMAND, IDC_START, 0);
  }

  // The current table of the scan run to its end (run once, for all cases).
  const std::string& completedScan() {
    static const std::string table = runToTheEnd();
    return table;
  }

  std::string runToTheEnd() {
    ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
    startScan(program);
    std::wstring folder;
    EXPECT_TRUE(ui::eventually([&] {
      folder = onlyFolder();
      return !folder.empty() && fileText(folder, L"MapInfo.txt") != "<missing>" && journalRows(folder) < 0;
    }, kTimeout));
    EXPECT_TRUE(program.closeAndWait(kTimeout));
    const std::string table = fileText(folder, L"Nerin.txt");
    removeMeasurementFolders();
    return table;
  }

  // A scan whose library crashes in the chosen call (variable and value of
  // fake_crash.h): the process ends with the crash, the instruments made
  // safe first, the laser before the lamp.
  void crashDuringAScan(const char* variable, const char* call) {
    SetEnvironmentVariableA(variable, call);
    {
      ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
      startScan(program);
      ASSERT_TRUE(program.waitForExit(kTimeout));
      EXPECT_EQ(program.exitCode(), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    }
    SetEnvironmentVariableA(variable, nullptr);
    const std::string sent = board.received();
    EXPECT_EQ(sent.substr(sent.size() - 12), "G 5 0\nG 6 0\n") << sent;
    EXPECT_TRUE(contains(board.state(), "analog=5:0,6:0")) << board.state();
    const std::string meter = meterLog.text();
    EXPECT_EQ(meter.substr(meter.rfind("ibconfig 7 3 11")), "ibconfig 7 3 11\nibwrt 7 9 \":OUTP OFF\"\nibconfig 7 3 13\n");
    const std::string stage = stageLog.text();
    EXPECT_TRUE(contains(stage.substr(stage.rfind("command_move")),
                         "command_stop 11\ncommand_stop 12\ncommand_stop 13\n"))
        << stage;
  }

  arduino_emulator::Client board;
  FakeLogFile stageLog{"FAKE_XIMC_CALL_LOG"};
  FakeLogFile meterLog{"FAKE_GPIB_LOG"};
  std::string noticeText;
};

TEST_F(SafeExit, ACrashInTheControllerLibraryLeavesEverythingSafeAndTheNextStartRecoversTheRows) {
  const std::vector<std::string> completed = lines(completedScan());
  ASSERT_EQ(completed.size(), static_cast<size_t>(kHeight));
  const std::string zeros = [] {
    std::string row;
    for (int i = 0; i < kWidth; ++i) row += "0.000000,";
    return row;
  }();
  ASSERT_NE(completed[0], zeros);

  crashDuringAScan("FAKE_XIMC_CRASH", kCrashInRowThree);
  const std::wstring folder = onlyFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(journalRows(folder), 3);
  EXPECT_EQ(fileText(folder, L"Nerin.txt"), "<missing>");

  // The next start: the journals become the tables, and the operator learns where.
  ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
  startScan(program, L"Notice");
  EXPECT_TRUE(contains(noticeText, ui::narrow(folder))) << noticeText;
  const std::vector<std::string> recovered = lines(fileText(folder, L"Nerin.txt"));
  ASSERT_EQ(recovered.size(), static_cast<size_t>(kHeight));
  for (int row = 0; row < kHeight; ++row) EXPECT_EQ(recovered[row], row < 3 ? completed[row] : zeros) << row;
  EXPECT_EQ(fileText(folder, L"MapInfo.txt"), "Map width:12, height:10, step:1.4 um, bias voltage:0.000000\r\n");
  EXPECT_EQ(lines(fileText(folder, L"ConfocalB.txt")).size(), static_cast<size_t>(kHeight));
  const nlohmann::json record = testfiles::recordBeside(folder + L"\\Nerin.txt");
  EXPECT_EQ(record["outcome"], "failed");
  EXPECT_EQ(record["settings"]["currentEquipment"], "GPIB Sourcemeter") << "the record the scan left";
  EXPECT_TRUE(testfiles::namesMatching(folder + L"\\*.journal*").empty());
  ASSERT_TRUE(program.closeAndWait(kTimeout));
}

TEST_F(SafeExit, ACrashInTheGpibDriverLeavesEverythingSafeToo) {
  // The driver that crashed is the one that switches the output off.
  crashDuringAScan("FAKE_GPIB_CRASH", "ibrd 60");
}

TEST_F(SafeExit, ClosingTheWindowDuringAScanSavesTheRowsSoFarAndExits) {
  const std::string& completed = completedScan();
  ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
  startScan(program);
  std::wstring folder;
  ASSERT_TRUE(ui::eventually([&] {
    folder = onlyFolder();
    return !folder.empty() && journalRows(folder) >= 2;
  }, kTimeout));
  ASSERT_TRUE(program.close(kTimeout));
  ASSERT_TRUE(program.waitForExit(kTimeout));
  EXPECT_EQ(program.exitCode(), 0u);

  // Every point is the completed scan's up to where the scan stopped, 0 after.
  const std::string table = fileText(folder, L"Nerin.txt");
  ASSERT_EQ(table.size(), completed.size()) << table;
  size_t same = 0;
  while (same < table.size() && table[same] == completed[same]) ++same;
  ASSERT_LT(same, table.size()) << "the scan ran to its end";
  EXPECT_GE(lines(table.substr(0, same)).size(), 2u) << table;
  EXPECT_EQ(table.substr(table.rfind(",", same) + 1).find_first_not_of("0.,\r\n"), std::string::npos) << table;
  EXPECT_NE(fileText(folder, L"MapInfo.txt"), "<missing>");
  EXPECT_EQ(testfiles::namesMatching(folder + L"\\Nerin(*).jpg").size(), 1u) << "the map window's picture too";
  EXPECT_TRUE(testfiles::namesMatching(folder + L"\\*.journal").empty());
  EXPECT_TRUE(contains(meterLog.text(), "\":OUTP OFF\"\nibonl 7 0\n")) << "output off at the exit: " << meterLog.text();
}

}  // namespace
