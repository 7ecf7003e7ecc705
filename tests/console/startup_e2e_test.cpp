// The whole program, started and closed as an operator would, with and
// without settings files; the written Config.txt is checked byte for byte.

#include "program_run.h"
#include "resources/resource_ids.h"
#include "results/result_files.h"
#include "services/data_paths.h"
#include "test_files.h"
#include "ui_driver.h"
#include "views/image_files.h"

#include <gtest/gtest.h>

#include <objidl.h>  // GDI+ needs it and WIN32_LEAN_AND_MEAN leaves it out
#include <gdiplus.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeout = 60000;

using testfiles::readBytes;

void writeBytes(const wchar_t* path, const char* text) { ASSERT_TRUE(testfiles::writeBytes(path, text)); }

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
  EXPECT_EQ(acknowledge(L"Arduino Error"),
            "No Arduino devices found at com" + std::to_string(arduinoPort) + "\n");
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

  // Starts the program and answers what start-up asks with no hardware
  // present, after the objective question (if any) was handled by the test.
  ui::ProgramRun program{NERIN_PROGRAM_PATH};
};

TEST_F(Startup, SettingsFilesAreReadConfirmedAndWrittenBack) {
  writeBytes(dataPaths.configFile,
             "step:0.5, scan_speed:300, laser shift:(600,420), Ammeter:1, GPIB:5, Standa:2, arduino:37\n"
             "Dz:1.5, 0, 0, -12.25, 0\n"
             "sample focus:0, -8, 25, 21.5, 10");
  writeBytes(dataPaths.objectiveFile, "objective:3\nstep:192,192,192,192\n");
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
    writeBytes(dataPaths.configFile, line1.c_str());
    ui::ProgramRun run(NERIN_PROGRAM_PATH);
    ASSERT_TRUE(run.start());
    acknowledgeMissingDevices(12, false);
    EXPECT_EQ(acknowledge(c.title), c.text);
    // A second report would follow at once, within the same start-up step.
    EXPECT_EQ(ui::waitForWindow(c.title, 1000), nullptr) << "reported once";
    ASSERT_TRUE(run.closeAndWait(kTimeout));
    EXPECT_EQ(readBytes(dataPaths.configFile).rfind("step:1, scan_speed:500, laser shift:(0,0), Ammeter:0,", 0), 0u)
        << "equipment " << c.equipment << " falls back to the test source";
  }
}

TEST_F(Startup, AnsweringNoOpensTheSelectionDialogBeforeAnyDeviceStarts) {
  writeBytes(dataPaths.objectiveFile, "objective:1\nstep:192,192,192,192\n");
  ui::DialogAnswerer question(L"Confirmation", {IDNO}, kTimeout);
  ASSERT_TRUE(program.start());
  ASSERT_TRUE(question.finish());
  EXPECT_EQ(ui::narrow(question.text()), "Is the current objective lens 10X?\n");
  HWND selection = ui::waitForWindow(L"Objetive lens selection", kTimeout);
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(ui::waitForWindow(L"Scanner Error", 0), nullptr) << "no device is started before the choice";
  ASSERT_TRUE(ui::pressButton(selection, IDC_OBJECTIVE_100X));
  ASSERT_TRUE(ui::pressButton(selection, IDOK));
  acknowledgeMissingDevices();
  ASSERT_TRUE(program.closeAndWait(kTimeout));
  EXPECT_EQ(program.exitCode(), 0u);
  EXPECT_NE(readBytes(dataPaths.configFile), "<missing>");
}

TEST_F(Startup, SettingsChangedInTheConfigurationDialogAreInConfigTxtAfterExit) {
  ASSERT_TRUE(program.start());
  HWND mainWindow = program.waitForMainWindow(kTimeout);
  ASSERT_NE(mainWindow, nullptr);
  acknowledgeMissingDevices();

  // Devices -> Objective Motor Adjust opens the step editor.
  PostMessageW(mainWindow, WM_COMMAND, IDM_OBJECTIVE_MOTOR_ADJUST, 0);
  HWND steps = ui::waitForWindow(L"Dialog", kTimeout);
  ASSERT_NE(steps, nullptr);
  ASSERT_TRUE(ui::pressButton(steps, IDCANCEL));

  PostMessageW(mainWindow, WM_COMMAND, IDM_CONFIGURATION, 0);
  HWND dialog = ui::waitForWindow(L"Configuration", kTimeout);
  ASSERT_NE(dialog, nullptr);
  SetDlgItemTextA(dialog, IDC_LASER_SPOT_X, "700");
  SetDlgItemTextA(dialog, IDC_LASER_SPOT_Y, "300");
  SendDlgItemMessageW(dialog, IDC_AXIS_ORDER_LIST, CB_SETCURSEL, 3, 0);
  ASSERT_TRUE(ui::pressButton(dialog, IDOK));
  ASSERT_TRUE(ui::pressButton(dialog, IDCANCEL));
  ASSERT_TRUE(ui::waitUntilGone(dialog, kTimeout));

  ASSERT_TRUE(program.closeAndWait(kTimeout));
  EXPECT_EQ(readBytes(dataPaths.configFile)
                .rfind("step:1, scan_speed:500, laser shift:(700,300), Ammeter:0, GPIB:18, Standa:3, arduino:12\r\n", 0),
            0u)
      << readBytes(dataPaths.configFile);
}

// The current user's Desktop entry among the shell folders points at a
// folder that does not exist while this lives, so that the program finds no
// desktop; the entry is put back afterwards.
class DesktopMissing {
 public:
  DesktopMissing() {
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                    nullptr);
    DWORD size = sizeof saved_;
    hadValue_ = RegQueryValueExW(key_, L"Desktop", nullptr, &type_, reinterpret_cast<BYTE*>(saved_), &size) ==
                ERROR_SUCCESS;
    savedSize_ = size;
    const wchar_t nowhere[] = L"C:\\no-such-desktop";
    RegSetValueExW(key_, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(nowhere), sizeof nowhere);
  }
  ~DesktopMissing() {
    if (hadValue_) {
      RegSetValueExW(key_, L"Desktop", 0, type_, reinterpret_cast<const BYTE*>(saved_), savedSize_);
    } else {
      RegDeleteValueW(key_, L"Desktop");
    }
    RegCloseKey(key_);
  }
  DesktopMissing(const DesktopMissing&) = delete;
  DesktopMissing& operator=(const DesktopMissing&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key_ = nullptr;
  bool hadValue_ = false;
  DWORD type_ = REG_EXPAND_SZ;
  wchar_t saved_[MAX_PATH] = {};
  DWORD savedSize_ = 0;
};

TEST_F(Startup, WithoutADesktopTheOperatorIsToldWhereDataAndSettingsGo) {
  const wchar_t* startFolder = L"C:\\nerin-started-here";
  const std::wstring dataFolder = L"C:\\Nerin Station_Data";
  CreateDirectoryW(startFolder, nullptr);
  {
    DesktopMissing noDesktop;
    ASSERT_TRUE(program.start(startFolder));
    EXPECT_EQ(acknowledge(L"Warning"),
              "The desktop folder could not be found. Data and settings are kept in C:\\Nerin Station_Data\n");
  }
  acknowledgeMissingDevices();
  ASSERT_TRUE(program.closeAndWait(kTimeout));
  const std::wstring config = dataFolder + L"\\Config.txt";
  EXPECT_EQ(readBytes(config.c_str()).rfind("step:1, scan_speed:500", 0), 0u) << "the settings went there";
  _wremove(config.c_str());
  RemoveDirectoryW((dataFolder + L"\\Data_Detail").c_str());
  RemoveDirectoryW(dataFolder.c_str());
  RemoveDirectoryW(startFolder);
}

// A second start while the program runs touches nothing: no folder, no
// journal, no device; it says so, and the running window comes forward.
TEST_F(Startup, ASecondStartSaysSoBringsTheRunningWindowForwardAndTouchesNothing) {
  ASSERT_TRUE(RemoveDirectoryW(dataPaths.detailFolder));
  ASSERT_TRUE(program.start());
  HWND main = program.waitForMainWindow(kTimeout);
  ASSERT_NE(main, nullptr);
  acknowledgeMissingDevices();
  EXPECT_TRUE(fileExists(dataPaths.detailFolder)) << "the program makes its data folders";
  ASSERT_TRUE(RemoveDirectoryW(dataPaths.detailFolder));
  const std::wstring folder = std::wstring(dataPaths.dataFolder) + L"\\251205_14-58";
  const std::wstring journal = folder + L"\\Nerin.journal";
  const char* rows = "Map width:1, height:1, step:1.0 um, bias voltage:0.000000\r\n1.000000,\r\n";
  CreateDirectoryW(folder.c_str(), nullptr);
  writeBytes(journal.c_str(), rows);
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
  ASSERT_TRUE(program.closeAndWait(kTimeout));
  _wremove(journal.c_str());
  RemoveDirectoryW(folder.c_str());
  CreateDirectoryW(dataPaths.detailFolder, nullptr);
}

using ui::pixelOf;

// One line per control of the main window, in creation order: id, class,
// caption or text, client rectangle (x, y, width, height), styles as the
// system keeps them (edit controls take their border off the style and draw
// it themselves; a checked radio button's tab stop is left out). The texts of
// the read-outs that live video and status messages keep rewriting
// ("Information", "Time/estimated", "I_ph (uA)") are left out.
bool isLiveReadout(const wchar_t* windowClass, int id, const RECT& r) {
  if (_wcsicmp(windowClass, L"Edit") != 0) return false;
  return id == IDC_LABEL || id == IDC_TIME || (r.left == 1342 && r.top == 580);
}

BOOL CALLBACK describeControl(HWND control, LPARAM context) {
  auto* lines = reinterpret_cast<std::vector<std::string>*>(context);
  const HWND main = GetParent(control);
  wchar_t windowClass[64] = {}, text[128] = {};
  GetClassNameW(control, windowClass, 64);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &ignored);
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
  if (isLiveReadout(windowClass, GetDlgCtrlID(control), r)) text[0] = L'\0';
  char line[400];
  std::snprintf(line, sizeof line, "%d %s \"%s\" %ld %ld %ld %ld %08lx %lx", GetDlgCtrlID(control),
                ui::narrow(windowClass).c_str(), ui::narrow(text).c_str(), r.left, r.top, r.right - r.left,
                r.bottom - r.top, static_cast<unsigned long>(GetWindowLongW(control, GWL_STYLE) & ~WS_TABSTOP),
                static_cast<unsigned long>(GetWindowLongW(control, GWL_EXSTYLE)));
  lines->push_back(line);
  return TRUE;
}

std::string describeControls(HWND main) {
  std::vector<std::string> lines;
  EnumChildWindows(main, describeControl, reinterpret_cast<LPARAM>(&lines));
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::wstring artefactPath(const wchar_t* name) {
  const std::wstring folder = ui::windowsPathOf(NERIN_ARTEFACT_DIR);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\" + name;
}

// The whole window as the screen shows it, as a PNG file.
bool saveScreenshot(HWND window, const std::wstring& path) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  RECT r;
  GetWindowRect(window, &r);
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  const bool saved = saveBitmapFile(bitmap, path.c_str());
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

// With no hardware and no settings files: the controls the operator works
// with, live video on the drifting test pattern with the objective's scale
// bar, and "Exit" from the menu writing the default settings.
TEST_F(Startup, WithoutSettingsFilesTheWindowShowsItsControlsAndExitWritesTheDefaults) {
  ASSERT_TRUE(program.start());
  HWND main = program.waitForMainWindow(kTimeout);
  ASSERT_NE(main, nullptr);
  acknowledgeMissingDevices();

  const std::string layout = describeControls(main);
  testfiles::writeBytes(artefactPath(L"main_window_controls.txt").c_str(), layout.c_str());
  // The 50X objective (79 um across): a 10 um bar from x = 976 to 1131.
  EXPECT_TRUE(ui::eventually([&] { return pixelOf(main, 1000, 973) == RGB(0, 0, 255); }, kTimeout));
  EXPECT_NE(pixelOf(main, 960, 973), RGB(0, 0, 255)) << "not the bar of the 218 um default";
  // Video ticks keep changing the picture.
  const COLORREF first = pixelOf(main, 300, 300);
  EXPECT_TRUE(ui::eventually([&] { return pixelOf(main, 300, 300) != first; }, kTimeout));
  EXPECT_TRUE(saveScreenshot(main, artefactPath(L"main_window.png")));
  const std::string expected = readBytes(ui::windowsPathOf(NERIN_EXPECTED_LAYOUT).c_str());
  EXPECT_EQ(layout, expected) << "the layout as found is in " << NERIN_ARTEFACT_DIR;

  PostMessageW(main, WM_COMMAND, IDM_EXIT, 0);
  ASSERT_TRUE(program.waitForExit(kTimeout));
  EXPECT_EQ(program.exitCode(), 0u);
  // Text mode: the two line ends are CR LF; line 3 has none.
  EXPECT_EQ(readBytes(dataPaths.configFile),
            "step:1, scan_speed:500, laser shift:(0,0), Ammeter:0, GPIB:18, Standa:0, arduino:12\r\n"
            "Dz:0.000000, 0.000000, 0.000000, -14.000000, 0.000000\r\n"
            "sample focus: 0.000000, -8.000000, 25.000000, 20.000000, 10.000000");
  EXPECT_FALSE(fileExists(dataPaths.objectiveFile)) << "confirming nothing writes no Objective.txt";
}

}  // namespace
