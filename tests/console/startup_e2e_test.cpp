// The whole program, started and closed as an operator would, with and
// without settings files; the written Config.txt is checked byte for byte.

#include "program_run.h"
#include "resources/resource_ids.h"
#include "services/data_paths.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeout = 60000;
using testfiles::readBytes;

bool fileExists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// Presses OK on a message box and returns what it said.
std::string acknowledge(const wchar_t* title) {
  HWND box = ui::waitForWindow(title, kTimeout);
  if (!box) return "<no \"" + ui::narrow(title) + "\" box>";
  const std::string text = ui::narrow(ui::staticTexts(box));
  ui::pressButton(box, IDOK);
  ui::waitUntilGone(box, kTimeout);
  return text;
}

// With no hardware every device start fails and says so, one box each, and
// start-up goes on. Without Config.txt the USB sourcemeter is the meter.
void acknowledgeMissingDevices(int arduinoPort = 12, bool usbMeter = true) {
  EXPECT_EQ(acknowledge(L"Scanner Error"), "No devices found\n");
  EXPECT_EQ(acknowledge(L"Warning"), "Error in  opening serial port\n");
  EXPECT_EQ(acknowledge(L"Arduino Error"), "No Arduino devices found at com" + std::to_string(arduinoPort) + "\n");
  if (usbMeter) {
    EXPECT_EQ(acknowledge(L"USB Error"), "No SourceMeter devices via USB\n");
  }
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    _wremove(dataPaths.configFile);
    _wremove(dataPaths.objectiveFile);
  }
  void TearDown() override { SetUp(); }
  void write(const wchar_t* path, const char* text) { ASSERT_TRUE(testfiles::writeBytes(path, text)); }

  ui::ProgramRun program{NERIN_PROGRAM_PATH};
};

TEST_F(Startup, SettingsFilesAreReadConfirmedAndWrittenBack) {
  write(dataPaths.configFile,
        "step:0.5, scan_speed:300, laser shift:(600,420), Ammeter:1, GPIB:5, Standa:2, arduino:37\n"
        "Dz:1.5, 0, 0, -12.25, 0\n"
        "sample focus:0, -8, 25, 21.5, 10");
  write(dataPaths.objectiveFile, "objective:3\nstep:192,192,192,192\n");
  ui::DialogAnswerer question(L"Confirmation", {IDYES}, kTimeout);
  ASSERT_TRUE(program.start());
  ASSERT_TRUE(question.finish());
  EXPECT_EQ(ui::narrow(question.text()), "Is the current objective lens 50X?\n");
  acknowledgeMissingDevices(37, false);
  ASSERT_TRUE(program.closeAndWait(kTimeout));
  EXPECT_EQ(program.exitCode(), 0u);
  EXPECT_EQ(readBytes(dataPaths.configFile),
            "step:0.5, scan_speed:300, laser shift:(600,420), Ammeter:1, GPIB:5, Standa:2, arduino:37\r\n"
            "Dz:1.500000, 0.000000, 0.000000, -12.250000, 0.000000\r\n"
            "sample focus: 0.000000, -8.000000, 25.000000, 21.500000, 10.000000");
  EXPECT_EQ(readBytes(dataPaths.objectiveFile), "objective:3\nstep:192,192,192,192\n")
      << "confirming the mounted objective leaves Objective.txt as it was";
}

// The last start also answers No to the objective question: the selection
// dialog comes before any device starts.
TEST_F(Startup, ASavedMeterThatDoesNotAnswerIsReportedOnceAndTheTestSourceTakesOver) {
  const struct {
    int equipment;
    const wchar_t* title;
    const char* text;
  } cases[] = {
      {2, L"GPIB Error", "No MultiMeter devices found at GPIB\n"},
      {3, L"GPIB Error", "No SourceMeter devices found at GPIB\n"},
      {4, L"USB Error", "No SourceMeter devices via USB\n"},
  };
  for (const auto& c : cases) {
    const std::string line1 = "step:1, scan_speed:500, laser shift:(0,0), Ammeter:" + std::to_string(c.equipment) +
                              ", GPIB:18, Standa:0, arduino:12\n";
    write(dataPaths.configFile, line1.c_str());
    const bool askNo = c.equipment == 4;
    if (askNo) write(dataPaths.objectiveFile, "objective:1\nstep:192,192,192,192\n");
    ui::DialogAnswerer question(L"Confirmation", {IDNO}, askNo ? kTimeout : 0);
    ui::ProgramRun run(NERIN_PROGRAM_PATH);
    ASSERT_TRUE(run.start());
    if (askNo) {
      ASSERT_TRUE(question.finish());
      EXPECT_EQ(ui::narrow(question.text()), "Is the current objective lens 10X?\n");
      HWND selection = ui::waitForWindow(L"Objetive lens selection", kTimeout);
      ASSERT_NE(selection, nullptr);
      EXPECT_EQ(ui::waitForWindow(L"Scanner Error", 0), nullptr) << "no device is started before the choice";
      ASSERT_TRUE(ui::pressButton(selection, IDC_OBJECTIVE_100X));
      ASSERT_TRUE(ui::pressButton(selection, IDOK));
    }
    acknowledgeMissingDevices(12, false);
    EXPECT_EQ(acknowledge(c.title), c.text);
    // A second report would follow at once, within the same start-up step.
    EXPECT_EQ(ui::waitForWindow(c.title, 1000), nullptr) << "reported once";
    ASSERT_TRUE(run.closeAndWait(kTimeout));
    EXPECT_EQ(run.exitCode(), 0u);
    EXPECT_EQ(readBytes(dataPaths.configFile).rfind("step:1, scan_speed:500, laser shift:(0,0), Ammeter:0,", 0), 0u)
        << "equipment " << c.equipment << " falls back to the test source";
  }
}

TEST_F(Startup, WithoutADesktopTheOperatorIsToldWhereDataAndSettingsGo) {
  // The Desktop shell folder points nowhere while the program starts.
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                  nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
  wchar_t saved[MAX_PATH] = {};
  DWORD type = REG_EXPAND_SZ, size = sizeof saved;
  const bool had = RegQueryValueExW(key, L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(saved), &size) == 0;
  const wchar_t nowhere[] = L"C:\\no-such-desktop";
  RegSetValueExW(key, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(nowhere), sizeof nowhere);
  CreateDirectoryW(L"C:\\nerin-started-here", nullptr);
  const bool started = program.start(L"C:\\nerin-started-here");
  const std::string warning = started ? acknowledge(L"Warning") : "";
  had ? RegSetValueExW(key, L"Desktop", 0, type, reinterpret_cast<const BYTE*>(saved), size)
      : RegDeleteValueW(key, L"Desktop");
  RegCloseKey(key);
  ASSERT_TRUE(started);
  EXPECT_EQ(warning, "The desktop folder could not be found. Data and settings are kept in C:\\Nerin Station_Data\n");
  acknowledgeMissingDevices();
  ASSERT_TRUE(program.closeAndWait(kTimeout));
  EXPECT_EQ(readBytes(L"C:\\Nerin Station_Data\\Config.txt").rfind("step:1, scan_speed:500", 0), 0u)
      << "the settings went there";
}

// One line per control of the main window, in creation order: id, class,
// text, client rectangle (x, y, width, height), styles as created (an edit
// field under Wine takes WS_BORDER off its style and draws the frame
// itself, insetting its text: the frame counts as WS_BORDER here; a checked
// radio button's tab stop is left out). The texts of the read-outs that
// live video and status messages keep rewriting are left out.
BOOL CALLBACK describeControl(HWND control, LPARAM context) {
  wchar_t windowClass[64] = {}, text[128] = {};
  GetClassNameW(control, windowClass, 64);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &ignored);
  RECT r, format = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  DWORD style = GetWindowLongW(control, GWL_STYLE) & ~WS_TABSTOP;
  const int id = GetDlgCtrlID(control);
  if (_wcsicmp(windowClass, L"Edit") == 0) {
    SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    if (format.left > LOWORD(SendMessageW(control, EM_GETMARGINS, 0, 0))) style |= WS_BORDER;
    if (id == IDC_LABEL || id == IDC_TIME || (r.left == 1342 && r.top == 580)) text[0] = L'\0';
  }
  char line[400];
  std::snprintf(line, sizeof line, "%d %s \"%s\" %ld %ld %ld %ld %08lx %lx\n", id, ui::narrow(windowClass).c_str(),
                ui::narrow(text).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                static_cast<unsigned long>(style), static_cast<unsigned long>(GetWindowLongW(control, GWL_EXSTYLE)));
  *reinterpret_cast<std::string*>(context) += line;
  return TRUE;
}

// With no hardware and no settings files: the controls the operator works
// with, live video on the drifting test pattern with the objective's scale
// bar; a second start that touches nothing (no folder, no journal, no
// device) and brings the running window forward; the step editor and the
// Configuration dialog from the menu, and "Exit" writing the settings.
TEST_F(Startup, WithoutSettingsFilesTheWindowShowsItsControlsASecondStartTouchesNothingAndExitWrites) {
  ASSERT_TRUE(RemoveDirectoryW(dataPaths.detailFolder));
  ASSERT_TRUE(program.start());
  HWND main = program.waitForMainWindow(kTimeout);
  ASSERT_NE(main, nullptr);
  acknowledgeMissingDevices();
  EXPECT_TRUE(fileExists(dataPaths.detailFolder)) << "the program makes its data folders";

  std::string layout;
  EnumChildWindows(main, describeControl, reinterpret_cast<LPARAM>(&layout));
  EXPECT_EQ(layout, readBytes(ui::windowsPathOf(NERIN_EXPECTED_LAYOUT).c_str()));
  // The 50X objective (79 um across): a 10 um bar from x = 976 to 1131.
  EXPECT_TRUE(ui::eventually([&] { return ui::pixelOf(main, 1000, 973) == RGB(0, 0, 255); }, kTimeout));
  EXPECT_NE(ui::pixelOf(main, 960, 973), RGB(0, 0, 255)) << "not the bar of the 218 um default";
  const COLORREF first = ui::pixelOf(main, 300, 300);
  EXPECT_TRUE(ui::eventually([&] { return ui::pixelOf(main, 300, 300) != first; }, kTimeout)) << "video ticks";

  ASSERT_TRUE(RemoveDirectoryW(dataPaths.detailFolder));
  const std::wstring folder = std::wstring(dataPaths.dataFolder) + L"\\251205_14-58";
  const std::wstring journal = folder + L"\\Nerin.journal";
  const char* rows = "Map width:1, height:1, step:1.0 um, bias voltage:0.000000\r\n1.000000,\r\n";
  CreateDirectoryW(folder.c_str(), nullptr);
  write(journal.c_str(), rows);
  const HWND elsewhere = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                         nullptr, nullptr, nullptr);
  SetForegroundWindow(elsewhere);
  ASSERT_TRUE(ui::eventually([&] { return GetForegroundWindow() == elsewhere; }, 10000));
  ui::ProgramRun second(NERIN_PROGRAM_PATH);
  ASSERT_TRUE(second.start());
  EXPECT_EQ(acknowledge(L"Notice"), "Nerin Station is already running.\n");
  ASSERT_TRUE(second.waitForExit(kTimeout));
  EXPECT_EQ(second.exitCode(), 0u);
  EXPECT_TRUE(ui::eventually([&] { return GetForegroundWindow() == main; }, 10000));
  EXPECT_EQ(ui::waitForWindow(L"Scanner Error", 0), nullptr) << "no device started";
  EXPECT_FALSE(fileExists(dataPaths.detailFolder));
  EXPECT_EQ(readBytes(journal.c_str()), rows) << "no recovery";
  DestroyWindow(elsewhere);
  _wremove(journal.c_str());
  RemoveDirectoryW(folder.c_str());
  CreateDirectoryW(dataPaths.detailFolder, nullptr);

  PostMessageW(main, WM_COMMAND, IDM_OBJECTIVE_MOTOR_ADJUST, 0);
  HWND steps = ui::waitForWindow(L"Dialog", kTimeout);
  ASSERT_NE(steps, nullptr);
  ASSERT_TRUE(ui::pressButton(steps, IDCANCEL));
  PostMessageW(main, WM_COMMAND, IDM_CONFIGURATION, 0);
  HWND dialog = ui::waitForWindow(L"Configuration", kTimeout);
  ASSERT_NE(dialog, nullptr);
  SetDlgItemTextA(dialog, IDC_LASER_SPOT_X, "700");
  SetDlgItemTextA(dialog, IDC_LASER_SPOT_Y, "300");
  SendDlgItemMessageW(dialog, IDC_AXIS_ORDER_LIST, CB_SETCURSEL, 3, 0);
  ASSERT_TRUE(ui::pressButton(dialog, IDOK));
  ASSERT_TRUE(ui::pressButton(dialog, IDCANCEL));
  ASSERT_TRUE(ui::waitUntilGone(dialog, kTimeout));

  PostMessageW(main, WM_COMMAND, IDM_EXIT, 0);
  ASSERT_TRUE(program.waitForExit(kTimeout));
  EXPECT_EQ(program.exitCode(), 0u);
  // Text mode: the two line ends are CR LF; line 3 has none.
  EXPECT_EQ(readBytes(dataPaths.configFile),
            "step:1, scan_speed:500, laser shift:(700,300), Ammeter:0, GPIB:18, Standa:3, arduino:12\r\n"
            "Dz:0.000000, 0.000000, 0.000000, -14.000000, 0.000000\r\n"
            "sample focus: 0.000000, -8.000000, 25.000000, 20.000000, 10.000000");
  EXPECT_FALSE(fileExists(dataPaths.objectiveFile)) << "confirming nothing writes no Objective.txt";
}

}  // namespace
