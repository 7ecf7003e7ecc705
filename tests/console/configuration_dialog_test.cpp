// The Configuration dialog and the objective dialogs, worked through their
// controls the way an operator would (from a second thread, while this one
// runs the modal dialog), with fakes of the stage library, the GPIB driver
// and the camera runtime beside the program and the Arduino emulated behind
// a COM port. No sourcemeter driver is registered: the USB sourcemeter is absent.

#include "console/configuration_dialog.h"

#include "arduino_emulator_client.h"
#include "console/dialog_fields.h"
#include "console/objective_dialogs.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/motion/arduino_link.h"
#include "fake_gpib_control.h"
#include "fake_pylon_control.h"
#include "resources/resource_ids.h"
#include "runs/objective/objective_changer.h"
#include "services/data_paths.h"
#include "services/objective_table.h"
#include "services/settings_files.h"
#include "stage_fixture.h"
#include "test_files.h"
#include "ui_driver.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kTimeout = 30000;
using arduino_emulator::board;

std::string field(HWND dialog, int id) {
  wchar_t text[128] = {};
  GetDlgItemTextW(dialog, id, text, 128);
  return ui::narrow(text);
}
void type(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }
bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void choose(HWND dialog, int list, int index) { SendDlgItemMessageA(dialog, list, CB_SETCURSEL, index, 0); }
int chosenEntry(HWND dialog, int list) { return static_cast<int>(SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0)); }

// The entries of a list, each followed by "|".
std::string entries(HWND dialog, int list) {
  std::string names;
  for (int i = 0; i < static_cast<int>(SendDlgItemMessageA(dialog, list, CB_GETCOUNT, 0, 0)); ++i) {
    char name[64] = {};
    SendDlgItemMessageA(dialog, list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
    names += std::string(name) + "|";
  }
  return names;
}

// Presses a button that answers with message boxes, acknowledges them (in
// the order of their titles) and returns what the last one said.
std::string pressAndAcknowledge(HWND dialog, int id, std::vector<const wchar_t*> titles) {
  std::vector<std::unique_ptr<ui::DialogAnswerer>> boxes;
  for (const wchar_t* title : titles) boxes.push_back(std::make_unique<ui::DialogAnswerer>(title, std::vector<int>{IDOK}, kTimeout));
  EXPECT_TRUE(ui::pressButton(dialog, id)) << id;
  std::string said;
  for (auto& box : boxes) {
    EXPECT_TRUE(box->finish()) << "a box did not appear";
    said = ui::narrow(box->text());
  }
  return said;
}

// Esc the way the dialog manager receives it from the keyboard.
void pressEscape(HWND dialog) { PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0); }

// Runs a dialog on this thread while `operate` works it from another; the
// operator's last act must close it.
void operateDialog(const wchar_t* title, const std::function<void()>& run, const std::function<void(HWND)>& operate) {
  std::thread operatorThread([&] {
    HWND dialog = ui::waitForWindow(title, kTimeout);
    if (!dialog) return ADD_FAILURE() << "the dialog did not open";
    operate(dialog);
    if (!ui::waitUntilGone(dialog, kTimeout)) {
      ADD_FAILURE() << "the dialog stayed open";
      ui::pressButton(dialog, IDCANCEL);
    }
  });
  run();
  operatorThread.join();
}

void operateConfiguration(const std::function<void(HWND)>& operate) {
  operateDialog(L"Configuration", runConfigurationDialog, operate);
}

class ConfigurationDialog : public StageWithFake {
 protected:
  void SetUp() override {
    StageWithFake::SetUp();
    ASSERT_TRUE(board().connected()) << "run under arduino_emulator.py";
    ASSERT_TRUE(fakeGpib().complete()) << "ni4882.dll beside the test program is not the fake";
    fake().reset(0);
    fakeGpib().reset();
    gpibDevice = 0;
    closeArduino();
    arduinoLink = ArduinoLink{};
    currentEquipment = standaConfig = zCreepCorrection = deviceBusy = 0;
    gpibAddress = 18;
    arduinoComPort = 12;
    biasVoltage = 0.0f;
    currentLimit = 1e-4f;
    confocalEnabled = 1;
    cameraAperture = 5;
    scanState = makeInitialScanState();
    objectiveSettings = ObjectiveTable{};
  }
  void TearDown() override {
    closeArduino();
    _wremove(dataPaths.objectiveFile);
    StageWithFake::TearDown();
  }
};

TEST_F(ConfigurationDialog, OpensWithTheSettingsAndSetAppliesThemLimitedWithoutConnecting) {
  currentEquipment = 3;
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  fakeGpib().reset();
  standaConfig = 4;
  arduinoLink.offline = 1;
  biasVoltage = 1.5f;
  currentLimit = 1.5e-6f;  // "%f" would show (and Set take back) 2 uA
  scanState.laserSpotX = 600;
  scanState.laserSpotY = 420;
  scanState.defocusUm = -2.25;
  stageX.positionUm = 12.34;

  operateConfiguration([](HWND dialog) {
    EXPECT_EQ(entries(dialog, IDC_EQUIPMENT_LIST), "Arduino|NI-DAQ|GPIB Multimeter|GPIB Sourcemeter|USB Sourcemeter|");
    EXPECT_EQ(chosenEntry(dialog, IDC_EQUIPMENT_LIST), 3);
    EXPECT_EQ(entries(dialog, IDC_AXIS_ORDER_LIST), "XYZ|XZY|YXZ|YZX|ZXY|ZYX|");
    EXPECT_EQ(chosenEntry(dialog, IDC_AXIS_ORDER_LIST), 4);
    const std::pair<int, const char*> opening[] = {
        {IDC_GPIB_ADDRESS, "18"},     {IDC_COM_PORT, "12"},       {IDC_BIAS_VOLTAGE, "1.500000"},
        {IDC_CURRENT_LIMIT, "1.5e-6"}, {IDC_CAMERA_APERTURE, "5"}, {IDC_DEFOCUS, "-2.2"},
        {IDC_POSITION_X, "12.3"},      {IDC_POSITION_Y, "0.0"},    {IDC_STEP_MOTION, "10.0"},
        {IDC_LASER_SPOT_X, "600"},     {IDC_LASER_SPOT_Y, "420"},
    };
    for (const auto& [id, text] : opening) EXPECT_EQ(field(dialog, id), text) << id;
    EXPECT_FALSE(checked(dialog, IDC_ARDUINO_CONNECTED) || checked(dialog, IDC_STAGE_CONNECTED));
    EXPECT_TRUE(checked(dialog, IDC_CONFOCAL_IMAGE) && !checked(dialog, IDC_Z_CREEP));
    // The two options take effect at once.
    ui::pressButton(dialog, IDC_CONFOCAL_IMAGE);
    ui::pressButton(dialog, IDC_Z_CREEP);
    EXPECT_EQ(confocalEnabled, 0);
    EXPECT_EQ(zCreepCorrection, 1);
    // Slips beyond the limits, a field that does not read, an address that
    // is read only when a meter is connected.
    const std::pair<int, const char*> typed[] = {
        {IDC_BIAS_VOLTAGE, "50"}, {IDC_CURRENT_LIMIT, "0.0002"}, {IDC_CAMERA_APERTURE, "7"}, {IDC_LASER_SPOT_X, "2000"},
        {IDC_LASER_SPOT_Y, "spot"}, {IDC_DEFOCUS, "45"},         {IDC_GPIB_ADDRESS, "9"}};
    for (const auto& [id, text] : typed) type(dialog, id, text);
    EXPECT_TRUE(ui::pressButton(dialog, IDOK));
    EXPECT_EQ(field(dialog, IDC_DEFOCUS), "30.0");
    EXPECT_TRUE(IsWindowVisible(dialog)) << "Set keeps the dialog open";
    pressEscape(dialog);
  });
  // The bias went to the sourcemeter with the limit in force before the press.
  EXPECT_EQ(fakeGpib().calls(),
            "ibwrt 7 17 \":SOUR:VOLT:RANG 1\"\nibwrt 7 20 \":SOUR:VOLT 10.000000\"\n"
            "ibwrt 7 22 \":SOUR:VOLT:ILIM 1.5e-6\"\nibwrt 7 25 \":SENSe:FUNCtion \\\"Current\\\"\"\n"
            "ibwrt 7 21 \":SENSe:Curr:RANG 1E-6\"\nibwrt 7 7 \":COUN 1\"\nibwrt 7 8 \":OUTP ON\"\n");
  EXPECT_EQ(ui::textOf(hBiasEdit), "10.000000");
  EXPECT_EQ(biasVoltage, 10.0f);
  EXPECT_EQ(currentLimit, 0.0002f);
  EXPECT_EQ(cameraAperture, 7);
  EXPECT_EQ(scanState.laserSpotX, 1232);
  EXPECT_EQ(scanState.laserSpotY, 420);
  EXPECT_EQ(scanState.defocusUm, 30.0);
  EXPECT_EQ(currentEquipment * 100 + gpibAddress * 10 + standaConfig, 3 * 100 + 18 * 10 + 4);
  closeGpibSourcemeter();
}

TEST_F(ConfigurationDialog, MultimeterToSourcemeterSendsTheBiasFirstThenOpensTheSourcemeter) {
  currentEquipment = 2;
  ASSERT_EQ(openGpibMultimeter(18), 1);
  fakeGpib().reset();
  operateConfiguration([](HWND dialog) {
    choose(dialog, IDC_EQUIPMENT_LIST, 3);
    type(dialog, IDC_GPIB_ADDRESS, "9");
    type(dialog, IDC_BIAS_VOLTAGE, "0.25");
    type(dialog, IDC_DEFOCUS, "5");
    EXPECT_EQ(pressAndAcknowledge(dialog, IDOK, {L"GPIB Communication"}), "SourceMeter device connected\n");
    ui::pressButton(dialog, IDCANCEL);
  });
  const std::string calls = fakeGpib().calls();
  EXPECT_EQ(calls.rfind("ibwrt 7 17 \":SOUR:VOLT:RANG 1\"\nibwrt 7 19 \":SOUR:VOLT 0.250000\"\n", 0), 0u) << calls;
  const std::string opening = "ibwrt 7 8 \":OUTP ON\"\nibdev 0 9 0 13 1 0\nibclr 7\n";
  ASSERT_GE(calls.size(), opening.size());
  EXPECT_EQ(calls.substr(calls.size() - opening.size()), opening) << calls;
  EXPECT_EQ(currentEquipment, 3);
  EXPECT_EQ(gpibAddress, 9);
  EXPECT_EQ(scanState.defocusUm, 0.0) << "with a new meter the defocus is not read";
  closeGpibSourcemeter();
}

TEST_F(ConfigurationDialog, AMeterThatCannotBeConnectedIsReportedAndThePreviousOneStaysSelected) {
  const struct {
    int previous, chosen, button;
    const wchar_t* title;
    const char* text;
  } cases[] = {
      {2, 1, IDOK, L"NI-DAQ Error", "This equipment is not supported yet\n"},
      {4, 2, IDOK, L"GPIB Error", "No MultiMeter devices found at GPIB\n"},
      {2, 3, IDC_EQUIPMENT_INIT, L"GPIB Error", "No GPIB connected\n"},
      {3, 4, IDC_EQUIPMENT_INIT, L"USB Error", "No SourceMeter devices found via USB\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    currentEquipment = c.previous;
    fakeGpib().reset();
    gpibDevice = 7;  // the previous GPIB meter's descriptor
    fakeGpib().fail("ibdev", 0x8000 /* ERR */, 0, 0);
    operateConfiguration([&](HWND dialog) {
      choose(dialog, IDC_EQUIPMENT_LIST, c.chosen);
      EXPECT_EQ(pressAndAcknowledge(dialog, c.button, {c.title}), c.text);
      EXPECT_EQ(chosenEntry(dialog, IDC_EQUIPMENT_LIST), c.previous);
      ui::pressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(currentEquipment, c.previous);
    EXPECT_EQ(gpibDevice, 7) << "the previous meter keeps its descriptor";
  }
}

TEST_F(ConfigurationDialog, TheArduinoPortEmptyReachableAndUnreachable) {
  arduinoLink.offline = 1;
  ASSERT_TRUE(board().reset());
  const std::string port = std::to_string(board().comPort());
  operateConfiguration([&](HWND dialog) {
    type(dialog, IDC_COM_PORT, "");
    EXPECT_EQ(pressAndAcknowledge(dialog, IDC_ARDUINO_INIT, {L"Port number"}), "Insert integer number, please\n");
    EXPECT_FALSE(checked(dialog, IDC_ARDUINO_CONNECTED));
    type(dialog, IDC_COM_PORT, port.c_str());
    EXPECT_EQ(pressAndAcknowledge(dialog, IDC_ARDUINO_CONNECTED, {L"Serial Communication"}), "serial port connected\n");
    EXPECT_TRUE(board().waitForReceived(arduino_emulator::connectionBytes)) << board().lastReceived;
    EXPECT_TRUE(checked(dialog, IDC_ARDUINO_CONNECTED));
    EXPECT_EQ(arduinoComPort, board().comPort());
    type(dialog, IDC_COM_PORT, "98");
    EXPECT_EQ(pressAndAcknowledge(dialog, IDC_ARDUINO_INIT, {L"Warning", L"Warning: Serial Communication"}),
              "Error: not connected\n");
    EXPECT_FALSE(checked(dialog, IDC_ARDUINO_CONNECTED));
    EXPECT_EQ(board().request("USERS"), "OK 0") << "the port connected before was let go";
    ui::pressButton(dialog, IDCANCEL);
  });
  EXPECT_EQ(arduinoComPort, 98);
}

TEST_F(ConfigurationDialog, TheStageAndTheCameraAreReconnectedAndDoneKeepsTheOrder) {
  ASSERT_TRUE(fakePylon().complete()) << "the camera runtime beside the test program is not the fake";
  camera.shutDown();
  fakePylon().reset(1, roiRegions, 2);
  fake().reset(3);
  operateConfiguration([&](HWND dialog) {
    choose(dialog, IDC_AXIS_ORDER_LIST, 2);
    EXPECT_EQ(pressAndAcknowledge(dialog, IDC_STAGE_INIT, {L"Scanner"}), "Standa scanner Initialized\n");
    EXPECT_TRUE(checked(dialog, IDC_STAGE_CONNECTED));
    EXPECT_EQ(stageX.deviceId, fake().deviceId(1)) << "order YXZ: the second controller is X";
    fake().reset(0);
    EXPECT_EQ(pressAndAcknowledge(dialog, IDC_STAGE_CONNECTED, {L"Scanner Error"}), "No devices found\n");
    EXPECT_FALSE(checked(dialog, IDC_STAGE_CONNECTED));
    EXPECT_EQ(fake().openEnumerations(), 0);

    EXPECT_FALSE(checked(dialog, IDC_CAMERA_CONNECTED));
    EXPECT_TRUE(ui::pressButton(dialog, IDC_CAMERA_INIT));
    EXPECT_TRUE(checked(dialog, IDC_CAMERA_CONNECTED));
    EXPECT_TRUE(contains(fakePylon().calls(), "BalanceWhiteAuto=Once")) << fakePylon().calls();
    fakePylon().reset(0, roiRegions, 2);
    EXPECT_TRUE(ui::pressButton(dialog, IDC_CAMERA_CONNECTED));
    EXPECT_FALSE(checked(dialog, IDC_CAMERA_CONNECTED));
    EXPECT_EQ(infoText(), "No camera detected");
    choose(dialog, IDC_AXIS_ORDER_LIST, 5);
    pressEscape(dialog);
  });
  EXPECT_EQ(standaConfig, 5);
  camera.shutDown();
}

TEST_F(ConfigurationDialog, StepMovesTakeWholeMicrometresAndGoLeavesThePositionsAsTyped) {
  operateConfiguration([](HWND dialog) {
    type(dialog, IDC_STEP_MOTION, "12.7");
    const struct {
      int button;
      const char* xy;
    } steps[] = {{IDC_STEP_PLUS_X, "12.0 0.0"}, {IDC_STEP_MINUS_Y, "12.0 -12.0"},
                 {IDC_STEP_MINUS_X, "0.0 -12.0"}, {IDC_STEP_PLUS_Y, "0.0 0.0"}};
    for (const auto& s : steps) {
      EXPECT_TRUE(ui::pressButton(dialog, s.button));
      EXPECT_EQ(formatTenths(stageX.positionUm) + " " + formatTenths(stageY.positionUm), s.xy) << s.button;
      EXPECT_EQ(field(dialog, IDC_POSITION_X) + " " + field(dialog, IDC_POSITION_Y), s.xy) << s.button;
    }
    type(dialog, IDC_STEP_MOTION, "");
    ui::pressButton(dialog, IDC_STEP_PLUS_X);
    EXPECT_EQ(stageX.positionUm, 0.0) << "no step, no move";
    type(dialog, IDC_POSITION_X, "100.9");
    type(dialog, IDC_POSITION_Y, "-50");
    EXPECT_TRUE(ui::pressButton(dialog, IDC_GO));
    EXPECT_EQ(stageX.positionUm, 100.0);
    EXPECT_EQ(stageY.positionUm, -50.0);
    EXPECT_EQ(field(dialog, IDC_POSITION_X), "100.9") << "Go does not rewrite the positions";
    ui::pressButton(dialog, IDCANCEL);
  });
}

// The step editor (menu "Objective Motor Adjust"); its fields left to right
// are the travels 5X-10X .. 50X-100X, limited to 189..195.
TEST_F(ConfigurationDialog, StepEditorLimitsKeepsUnreadableFieldsAndTheStepsReachObjectiveTxt) {
  const double opening[4] = {190, 191, 193, 194};
  std::copy(std::begin(opening), std::end(opening), objectiveSettings.changerSteps);
  arduinoLink.offline = 1;
  operateDialog(L"Dialog", runObjectiveStepDialog, [](HWND dialog) {
    const int fields[4] = {IDC_CHANGER_STEP_5X_10X, IDC_CHANGER_STEP_10X_20X, IDC_CHANGER_STEP_20X_50X,
                           IDC_CHANGER_STEP_50X_100X};
    const char* shown[4] = {"190", "191", "193", "194"};
    const char* typed[4] = {"200", "100", "192.3", "x"};
    const char* after[4] = {"195", "189", "192.3", "194"};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(field(dialog, fields[k]), shown[k]) << k;
    for (int k = 0; k < 4; ++k) type(dialog, fields[k], typed[k]);
    EXPECT_TRUE(ui::pressButton(dialog, IDOK));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(field(dialog, fields[k]), after[k]) << k;
    EXPECT_TRUE(IsWindowVisible(dialog)) << "Set keeps the editor open";
    pressEscape(dialog);
  });
  _wremove(dataPaths.objectiveFile);
  selectObjective(2);
  EXPECT_EQ(testfiles::readBytes(dataPaths.objectiveFile), "objective:2\r\nstep:195,189,192.3,194\r\n");
}

// The selection dialog: Korean OK and Cancel, 5X until a click, then the
// last clicked objective, also when shown again; Cancel keeps the objective.
TEST_F(ConfigurationDialog, ObjectiveSelectionTakes5XFirstThenTheLastClickedObjective) {
  const struct {
    std::vector<int> clicks;
    int taken;
  } showings[] = {{{IDOK}, 0}, {{IDC_OBJECTIVE_20X, IDOK}, 2}, {{IDOK}, 2}, {{IDC_OBJECTIVE_100X, IDCANCEL}, 3}};
  for (const auto& s : showings) {
    operateDialog(L"Objetive lens selection", runObjectiveSelectionDialog, [&](HWND dialog) {
      EXPECT_EQ(field(dialog, IDOK) + field(dialog, IDCANCEL) + field(dialog, IDC_OBJECTIVE_100X),
                "\xED\x99\x95\xEC\x9D\xB8\xEC\xB7\xA8\xEC\x86\x8C" "100X");  // U+D655 U+C778, U+CDE8 U+C18C
      for (int id : s.clicks) ui::pressButton(dialog, id);
    });
    EXPECT_EQ(objectiveSettings.current, s.taken);
    EXPECT_EQ(objectiveSettings.previous, s.taken);
    objectiveSettings.current = objectiveSettings.previous = 3;
  }
}

TEST_F(ConfigurationDialog, TheSavedObjectiveIsAskedAboutAndNoOpensTheSelectionDialog) {
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
    ASSERT_TRUE(testfiles::writeBytes(dataPaths.objectiveFile, c.file));
    ui::DialogAnswerer question(L"Confirmation", {c.answer});
    std::optional<ui::DialogAnswerer> selection;
    if (c.answer == IDNO) selection.emplace(L"Objetive lens selection", std::vector<int>{IDC_OBJECTIVE_50X, IDOK});
    loadObjectiveFile();
    ASSERT_TRUE(question.finish());
    ASSERT_TRUE(!selection || selection->finish());
    EXPECT_EQ(ui::narrow(question.text()), std::string("Is the current objective lens ") + c.asked + "?\n");
    EXPECT_EQ(objectiveSettings.current, c.taken);
    EXPECT_EQ(objectiveSettings.previous, c.taken);
    for (int k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(objectiveSettings.changerSteps[k], c.steps[k]) << k;
  }
}

}  // namespace
