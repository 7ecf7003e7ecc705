#include "runs/mapping/map_scan.h"

#include "devices/camera/camera.h"
#include "devices/measurement/current_reading.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "results/result_files.h"
#include "results/result_record_files.h"
#include "runs/mapping/autofocus.h"
#include "runs/mapping/map_drawing.h"
#include "runs/mapping/map_export.h"
#include "runs/mapping/map_files.h"
#include "runs/mapping/map_render.h"
#include "runs/mapping/scan_area.h"
#include "runs/mapping/scan_journal.h"
#include "runs/mapping/scan_points.h"
#include "services/data_paths.h"
#include "services/device_faults.h"
#include "services/instrument_safety.h"
#include "services/message_pump.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/gdi_objects.h"
#include "views/image_files.h"
#include "views/live_display.h"
#include "views/overlays.h"
#include "views/view_mode.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

MapBuffers mapBuffers = [] {
  MapBuffers map;
  map.measurementFolder = dataPaths.measurementFolder;
  return map;
}();
ZCreepTracker zCreepTracker;

namespace {

constexpr int creepReferenceFrames = 5;
constexpr COLORREF pointMark = RGB(255, 0, 0);

// What one scan works with, fixed at its start: fields and dialogs that
// the message pump serves meanwhile may change the settings, but not the
// grid being scanned, nor what its files record.
struct ScanRun {
  ScanState plan;
  float biasV = 0.0f;
  bool confocal = false;
  bool creepCorrection = false;
  ResultRecord record;              // empty result name until the first scan
  std::vector<std::wstring> files;  // written so far, each to get the record
};

ScanRun run;
// The finished rows of the scan under way, safe on the disk.
ScanJournal journal;

void keepFile(const std::wstring& path) {
  if (!path.empty()) run.files.push_back(path);
}

// The record's settings as the scan holds them, and where its grid lies.
void startRecord(double x0, double y0, double z0, StagePoint corner) {
  ResultRecord& record = run.record;
  record = recordNow("map scan");
  record.stageAtStartUm[0] = x0;
  record.stageAtStartUm[1] = y0;
  record.stageAtStartUm[2] = z0;
  record.hasScan = true;
  // The scan switches the laser on for its measurement.
  record.settings.laserOn = true;
  const ScanState& plan = run.plan;
  record.scan = {plan.mapWidth, plan.mapHeight, plan.stepUm, {}, corner.xUm, corner.yUm, plan.expectedMinutes};
  std::copy(plan.selectionCopy, plan.selectionCopy + 4, record.scan.areaPx);
}

void showNumber(HWND field, const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  setTextIfChanged(field, text);
}

void showNumber(HWND field, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  setTextIfChanged(field, text);
}

struct SpotReading {
  float uA = 0.0f;
  std::uint32_t colour = 0;  // red | green << 8 | blue << 16
};

// The texts of a reading (and for a map point the progress, the elapsed
// time and the stage position) are refreshed at most every 50 ms, and
// always for settling readings and the last point of a row: nobody reads
// faster, and each refresh repaints up to six fields, which under emulation
// takes as long as a point's whole pause.
constexpr ULONGLONG readingTextPeriodMs = 50;

struct ShownReading {
  SpotReading reading;
  long long pointsDone = -1;  // -1: a settling reading
  bool pending = false;       // taken but not shown yet
  ULONGLONG shownAt = 0;      // tick count of the last refresh
};
ShownReading shown;

void writeReadingTexts() {
  shown.pending = false;
  shown.shownAt = GetTickCount64();
  showNumber(hCurrentEdit, "%g", shown.reading.uA);
  if (run.confocal) {
    const std::uint32_t colour = shown.reading.colour;
    showNumber(hRedEdit, static_cast<int>(colour & 0xFF));
    showNumber(hGreenEdit, static_cast<int>((colour >> 8) & 0xFF));
    showNumber(hBlueEdit, static_cast<int>((colour >> 16) & 0xFF));
  }
  if (shown.pointsDone < 0) return;
  showProgress(mappingProgressText(shown.pointsDone, run.plan.totalPoints).c_str());
  showElapsed();
  refreshPositionFields();
}

void showReading(const SpotReading& reading, long long pointsDone, bool now) {
  shown.reading = reading;
  shown.pointsDone = pointsDone;
  shown.pending = true;
  if (now || GetTickCount64() - shown.shownAt >= readingTextPeriodMs) writeReadingTexts();
}

void showPendingReading() {
  if (shown.pending) writeReadingTexts();
}

// One reading at the laser spot: the current, and with the confocal option
// the colour of a new frame.
SpotReading readAtSpot() {
  SpotReading reading;
  reading.uA = readCurrent();
  if (run.confocal) {
    camera.grab(1);
    reading.colour = sampleSpotColour(camera.frameBuffer, run.plan.laserSpotX, run.plan.laserSpotY, cameraAperture);
  }
  return reading;
}

// Shown, not stored: the stage and the meter settle after a move.
void settlingReading() { showReading(readAtSpot(), -1, true); }

void placeMapWindows() {
  const int width = run.plan.mapViewWidth;
  const int height = run.plan.mapViewHeight;
  SetWindowPos(hMapWnd, HWND_TOP, 1450, 100, width + colourBarMarginPx, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateWindow(hMapWnd);
  if (run.confocal) {
    SetWindowPos(hConfocalWnd, HWND_TOP, 1450, 450, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    UpdateWindow(hConfocalWnd);
  }
}

void drawRowsSoFar(int lastRow) {
  drawIntensityView(mapBuffers, hMapWnd, lastRow, true);
  if (run.confocal) drawMap(mapBuffers, hConfocalWnd, -1, true);
}

// False when the stage failed on the way, or the make-safe round stopped it
// (the program is ending): a point read where the stage stopped would be
// stored as if measured where the map says.
bool moveStageTo(StagePoint p) {
  moveAxesTo(stageX, stageY, p.xUm, p.yUm);
  return !deviceFailed(FaultyDevice::stage) && !outputsLatchedOff();
}

// The approach and the raster. Returns when the map is done, the operator
// has confirmed a stop or the stage has failed.
void scanArea(StagePoint corner) {
  const ScanState& plan = run.plan;
  StagePoint approach[approachMoveCount];
  approachMoves(corner, approach);
  for (const StagePoint& move : approach) {
    if (!moveStageTo(move)) return;
    settlingReading();
  }
  const int* area = plan.selection;
  drawScanArea(hMainWnd, area[0], area[1], area[2], area[3]);
  pumpMessages(50);
  if (stopRequested) return;

  stopwatch(true);
  settlingReading();
  startZCreepTracking(zCreepTracker);
  long long done = 0;
  for (int j = 0; j < plan.mapHeight; ++j) {
    if (!moveStageTo(scanPointPosition(corner, plan.stepUm, 0, j))) return;
    settlingReading();
    pumpMessages(100);
    if (stopRequested) return;
    {
      WindowDC rowDC(hMainWnd);
      for (int i = 0; i < plan.mapWidth; ++i) {
        const MarkerPixel mark = scanPointMarker(plan, i, j);
        markScanPoint(rowDC.get(), mark.x, mark.y);
        if (!moveStageTo(scanPointPosition(corner, plan.stepUm, i, j))) return;
        measurePoint(i, j, ++done);
        if (i == plan.mapWidth - 1) showPendingReading();
        if (run.confocal && run.creepCorrection) correctZCreep(zCreepTracker);
        pumpMessages(5);
        if (stopRequested) return;
      }
    }
    journalScanRow(journal, mapBuffers, j);
    drawRowsSoFar(j);
  }
}

// The tables, MapInfo and the map pictures, each with the scan's record;
// which tables were written goes to tableWritten.
void saveResults(bool* tableWritten) {
  // A map window closed during the scan comes back for its picture.
  if (!IsWindow(hMapWnd) || (run.confocal && !IsWindow(hConfocalWnd))) {
    ensureMapWindows();
    placeMapWindows();
  }
  const std::vector<std::wstring> tables = saveMaps(mapBuffers, run.confocal, tableWritten);
  for (const std::wstring& table : tables) keepFile(table);
  const std::wstring info = writeMapInfo(mapBuffers, run.plan.stepUm, run.biasV);
  keepFile(info);
  std::wstring picture;
  drawIntensityView(mapBuffers, hMapWnd, -1, true);
  saveMapWindowImage(dataPaths, hMapWnd, "Nerin", &picture);
  keepFile(picture);
  if (run.confocal) {
    drawMap(mapBuffers, hConfocalWnd, -1, true);
    saveMapWindowImage(dataPaths, hConfocalWnd, "CONFOCAL", &picture);
    keepFile(picture);
  }
  writeRecordsBeside(run.files, run.record);
}

}  // namespace

void startMapScan() {
  if (!devicesFree()) return;
  if (objectiveSettings.current < lowestScanObjective) {
    MessageBoxA(hMainWnd, "Scan should be done on 50x or 100x objective", "Warning", MB_OK);
    return;
  }
  CheckRadioButton(hMainWnd, IDC_LASER_VIEW, IDC_SAMPLE_VIEW, IDC_LASER_VIEW);
  clearDeviceFaults();
  scanRunning = 1;
  stopRequested = 0;
  camera.configure(CameraSetup::Manual);
  camera.grab(1);
  SetWindowTextA(hStartButton, "Stop");
  showInfo("Writing...");
  pumpMessages(10);
  ensureMapWindows();
  runMapScan();
  scanState.sampleView = 1;
  enterViewMode(1);
  videoControl(1);
  SetWindowTextA(hStartButton, "Start");
  SetFocus(hMainWnd);
  refreshPositionFields();
  scanRunning = 0;
  reportDeviceFaults();
}

bool runMapScan() {
  if (deviceBusy) return false;
  run = {scanState, biasVoltage, confocalEnabled != 0, zCreepCorrection != 0, {}, {}};
  const ScanState& plan = run.plan;
  // The maps first: a grid that does not fit into memory moves nothing.
  if (!mapBuffers.allocate(plan.mapWidth, plan.mapHeight)) {
    char text[120];
    std::snprintf(text, sizeof text, "A map of %d x %d points does not fit into memory.", plan.mapWidth,
                  plan.mapHeight);
    MessageBoxA(hMainWnd, text, "Warning", MB_OK);
    return true;
  }
  deviceBusy = 1;
  showInfo("Moving to starting point");
  const double x0 = readAxisPosition(stageX);
  const double y0 = readAxisPosition(stageY);
  const double z0 = readAxisPosition(stageZ);
  scanState.savedZ = static_cast<int>(z0);
  const int savedZ = scanState.savedZ;
  const StagePoint corner = scanCorner(plan, x0, y0);
  startRecord(x0, y0, z0, corner);
  moveZTo(savedZ + lightSources.laserFocusOffsetUm / 2.0 + plan.defocusUm);
  moveZBy(-1.0);
  moveZBy(+1.0);
  applyBiasToSourcemeter(run.biasV);
  placeMapWindows();
  makeMeasurementFolder(dataPaths, true);
  std::wstring snapshot;
  saveViewSnapshot(dataPaths, hMainWnd, 1, "optics", plan.selectionCopy, &snapshot);
  keepFile(snapshot);
  openScanJournal(journal, mapBuffers, run.confocal, plan.stepUm, run.biasV, run.record);
  setIlluminationLevel(0);
  setLaser(1);
  videoControl(0);
  showInfo("scanning ...");
  pumpMessages(10);

  scanArea(corner);
  showPendingReading();

  const RunOutcome asRun = stopRequested ? RunOutcome::stoppedByOperator : RunOutcome::completed;
  // The laser is of no use on the way back, and its "off" is the first word
  // to the board since it was switched on: a board lost meanwhile (it never
  // answers a switch) shows only here, and must be in the run's record.
  setLaser(0);
  moveAxesTo(stageX, stageY, x0, y0);
  moveZTo(savedZ);
  finishRecord(run.record, asRun);
  deviceBusy = 0;
  refreshPositionFields();
  showInfo("Mapping finished");
  // A table that could not be written leaves its journal for the next start.
  bool tableWritten[std::size(mapTables)] = {};
  saveResults(tableWritten);
  closeScanJournal(journal, tableWritten);
  applyBiasToSourcemeter(0.0f);
  return true;
}

bool mapScanned() { return !run.record.result.empty() && mapBuffers.width > 0 && mapBuffers.height > 0; }

ResultRecord mapScanRecord() { return run.record.result.empty() ? recordNow("map tables") : run.record; }

void measurePoint(int x, int y, long long pointsDone) {
  const SpotReading reading = readAtSpot();
  mapBuffers.storeCurrent(x, y, reading.uA);
  if (run.confocal) mapBuffers.storeColour(x, y, reading.colour);
  showReading(reading, pointsDone, false);
}

void startZCreepTracking(ZCreepTracker& tracker) {
  const double referenceZ = stageZ.positionUm;
  float sum = 0.0f;
  for (int n = 0; n < creepReferenceFrames; ++n) {
    camera.grab(1);
    sum += focusFactor(autofocus);
  }
  startZCreepTracking(tracker, referenceZ, sum / creepReferenceFrames);
}

void correctZCreep(ZCreepTracker& tracker) {
  const ZCreepAction action = zCreepStep(tracker, focusFactor(autofocus));
  if (action.kind == ZCreepAction::moveBy) moveZBy(action.distanceUm);
  if (action.kind == ZCreepAction::moveToReference) moveZTo(tracker.referenceZ);
}

void markScanPoint(HDC dc, int x, int y) {
  if (!dc) return;
  for (int dy = 0; dy < 2; ++dy) {
    for (int dx = 0; dx < 2; ++dx) {
      if (markerPixelInside(x + dx, y + dy)) SetPixelV(dc, x + dx, y + dy, pointMark);
    }
  }
}
