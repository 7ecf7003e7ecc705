#pragma once
// The metadata record that lies beside every result file, as "<name>.json":
// which program wrote it, when the run started and ended and how it ended,
// every setting in force, which devices were connected or simulated, where
// the stage stood at the start, the scan geometry where there is one, and
// the names of the files the run left. The result files keep their own
// formats; the record is for the engineer who reads them years later.
// Portable: the window side fills the record in (results/result_record_files.h).

#include <string>
#include <utility>
#include <vector>

// The program's version, as the About box shows it.
inline constexpr const char* programVersion = "1.0";

struct LocalTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
  int utcOffsetMinutes = 0;  // local time minus UTC
};

// ISO 8601 with the UTC offset: "2025-12-05T14:58:03+01:00".
std::string isoTimeText(const LocalTime& time);

enum class RunOutcome { completed, stoppedByOperator, failed };

// "completed", "stopped by the operator", "failed".
const char* outcomeText(RunOutcome outcome);

// The value a float setting was typed as (0.0001, not 9.99999975e-05): the
// shortest decimal that reads back as the same float.
double decimalOf(float value);

struct RecordSettings {
  int currentEquipment = 0;    // 0..4, as in the Configuration dialog
  int gpibAddress = 0;
  double biasVoltageV = 0.0;
  double currentLimitA = 0.0;
  double scanStepUm = 0.0;
  int scanSpeedUmPerS = 0;
  int objective = 0;           // 0..4 = 5X .. 100X
  double fieldOfViewUm = 0.0;
  int laserSpotXPx = 0;
  int laserSpotYPx = 0;        // counted upward from the bottom of the picture
  double defocusUm = 0.0;
  int laserFocusOffsetUm = 0;  // Dz of the mounted objective
  bool laserOn = false;         // when the measuring began
  double laserLevelV = 0.0;     // the level the laser has when on
  int cameraGain = 0;
  double cameraExposureUs = 0.0;
  bool confocalImage = false;
  bool zCreepCorrection = false;
  int cameraAperturePx = 0;
  int standaAxisOrder = 0;     // 0..5 = XYZ .. ZYX
  int arduinoComPort = 0;
  // The run's own settings (I-V range, on and off times ...), by name.
  std::vector<std::pair<std::string, double>> ofRun;
};

// "simulated": absent, the program stood in for it; "connected": it
// answered at the run's start; "failed": it failed during the run, or in an
// earlier one and was not connected again since, so its values are no
// measurements.
enum class DeviceState { simulated, connected, failed };

struct RecordDevices {
  DeviceState stageX = DeviceState::simulated, stageY = DeviceState::simulated, stageZ = DeviceState::simulated;
  DeviceState arduino = DeviceState::simulated;
  DeviceState currentMeter = DeviceState::simulated;
  DeviceState camera = DeviceState::simulated;
};

struct RecordScan {
  int widthPoints = 0;
  int heightPoints = 0;
  double stepUm = 0.0;
  int areaPx[4] = {};            // x1, y1, x2, y2 on the camera picture (y downward)
  double firstPointXUm = 0.0;    // stage position of map point (0, 0)
  double firstPointYUm = 0.0;
  int expectedMinutes = 0;
};

struct ResultRecord {
  std::string result;            // what was made: "map scan", "I-V curve", "camera image" ...
  LocalTime started;
  LocalTime ended;
  RunOutcome outcome = RunOutcome::completed;
  RecordSettings settings;
  RecordDevices devices;
  // What failed during the run, by device ("stage", "arduino",
  // "currentMeter", "camera"): the detail the operator was told.
  std::vector<std::pair<std::string, std::string>> faults;
  double stageAtStartUm[3] = {};  // X, Y, Z
  bool hasScan = false;
  RecordScan scan;
  std::vector<std::string> files;  // names in the measurement folder (UTF-8)
};

// The record as JSON text, keys in a fixed order, ending in a line feed.
// Empty when it could not be built (no memory).
std::string resultRecordText(const ResultRecord& record);

// What start-up knows of a map scan that did not finish, from its journal.
struct RecoveredScan {
  std::string journal;  // the journal's file name
  LocalTime ended;      // when the journal took its last row
  int widthPoints = 0;
  int heightPoints = 0;
  double stepUm = 0.0;
  double biasVoltageV = 0.0;
  std::vector<std::string> files;  // the tables (and MapInfo) made from it
};

// The record of the files recovered from a journal: the record the scan
// left beside its journal as it started, or, when that is missing or
// broken, what the journal itself tells; the outcome "failed" in either
// case, the journal named under "recoveredFrom". Empty as above.
std::string recoveredRecordText(const std::string& scanRecord, const RecoveredScan& scan);
