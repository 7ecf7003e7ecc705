#include "runs/spectroscopy/spectroscopy_runs.h"

#include "devices/measurement/current_reading.h"
#include "devices/measurement/current_units.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "devices/motion/arduino_link.h"
#include "resources/resource_ids.h"
#include "results/result_files.h"
#include "results/result_record_files.h"
#include "runs/spectroscopy/iv_sweep.h"
#include "runs/spectroscopy/plot_window.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "runs/spectroscopy/spectrum_files.h"
#include "runs/spectroscopy/time_evolution.h"
#include "services/data_paths.h"
#include "services/device_faults.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/live_display.h"

#include <cstdio>
#include <string>
#include <utility>

int ivFileCounter = 0;
int timeEvoFileCounter = 0;

namespace {

// The records of the last run of each kind, kept for its save.
ResultRecord ivRun;
ResultRecord timeEvoRun;

// At most 10 characters of the edit's text.
std::string editText(HWND edit) {
  char text[11] = {};
  GetWindowTextA(edit, text, sizeof text);
  return text;
}

// The value an edit was read as, written back into it; nothing when it did
// not read.
void showBack(HWND edit, const std::string& shown) {
  if (!shown.empty()) SetWindowTextA(edit, shown.c_str());
}

// A wait of a run, ended by a confirmed stop: the operator's, or the one
// the pump makes when the program is ending (also one that came in a wait
// of the sourcemeter's own, which does not answer it).
bool stoppedDuring(int pumpResult) { return pumpResult == pumpStopConfirmed || stopRequested; }

// The points in order until all are measured (true) or a stop is confirmed
// (false).
bool sweep(SpectroscopyRecord& record, float step) {
  const int count = ivPointCount(record);
  for (int k = 0; k < count; ++k) {
    const auto i = static_cast<size_t>(k);
    record.pointIndex = k;
    record.voltages[i] = ivSweepVoltage(k, record.voltageRange, step, record.pointsPerBranch);
    configureUsbSourcemeter(record.voltages[i], currentLimit);
    if (stoppedDuring(pumpMessages(10))) return false;
    record.currents[i] = amperesToMicroamperes(readUsbSourcemeter());
    std::snprintf(record.text, sizeof record.text, "%s", ivPointText(record.voltages[i], record.currents[i]).c_str());
    showInfo(record.text);
    if (k % 2 == 1) drawCurve(hIvWnd, record.voltages.data(), record.currents.data(), 0, k + 1);
  }
  return true;
}

using SpectrumWriter = bool (*)(std::FILE*, const SpectroscopyRecord&);

// A run that was saved without being run in this program has only the
// settings of the moment to record.
ResultRecord runOrNow(const ResultRecord& run, const char* result) {
  return run.result.empty() ? recordNow(result) : run;
}

ResultRecord startRecord(const char* result, std::vector<std::pair<std::string, double>> ofRun) {
  ResultRecord record = recordNow(result);
  record.settings.ofRun = std::move(ofRun);
  return record;
}

// A file that cannot be created, or not written whole, is reported: the
// operator must not believe the measurement was kept.
void saveSpectrum(const SpectroscopyRecord& record, const char* stem, int& counter, SpectrumWriter write,
                  const ResultRecord& run) {
  makeMeasurementFolder(dataPaths, false);
  const std::wstring path = nextSpectrumPath(dataPaths.measurementFolder, stem, counter, resultNameTaken);
  std::FILE* file = createNewTextFile(path);
  bool saved = file && write(file, record);
  if (file && std::fclose(file) != 0) saved = false;
  if (!saved) {
    MessageBoxA(hMainWnd, "File saving error", "I-V save Process", MB_OK);
    return;
  }
  writeRecordsBeside({path}, run);
}

}  // namespace

void runIvCurve(SpectroscopyRecord& record) {
  const HWND rangeEdit = spectroscopyWindows.rangeEdit;
  const IvRangeEdit range = readIvRangeEdit(record, editText(rangeEdit).c_str());
  showBack(rangeEdit, range.shown);
  ivRun = startRecord("I-V curve", {{"ivRangeV", decimalOf(record.voltageRange)},
                                    {"ivStepV", decimalOf(range.step)},
                                    {"ivPointsPerBranch", record.pointsPerBranch}});
  stopRequested = 0;
  scanRunning = 1;
  // The points are cleared first, so a stopped sweep's file holds zeros
  // where it did not reach, never an older sweep's values.
  RunOutcome outcome = RunOutcome::failed;
  if (prepareIvSweep(record)) {
    outcome = sweep(record, range.step) ? RunOutcome::completed : RunOutcome::stoppedByOperator;
    if (outcome == RunOutcome::completed) {
      drawCurve(hIvWnd, record.voltages.data(), record.currents.data(), 0, ivPointCount(record));
    }
  }
  drawRunText(record, hIvWnd, ivFinishedText);
  finishRecord(ivRun, outcome);
  scanRunning = 0;
}

void saveIvCurve(SpectroscopyRecord& record) {
  saveSpectrum(record, ivFileStem, ivFileCounter, writeIvCurveText, runOrNow(ivRun, "I-V curve"));
}

void runTimeEvolution(SpectroscopyRecord& record) {
  SpectroscopyWindows& windows = spectroscopyWindows;
  showBack(windows.onTimeEdit, readPhaseTimeEdit(editText(windows.onTimeEdit).c_str(), record.onTime));
  showBack(windows.offTimeEdit, readPhaseTimeEdit(editText(windows.offTimeEdit).c_str(), record.offTime));
  showBack(windows.repeatEdit, readRepeatEdit(editText(windows.repeatEdit).c_str(), record.repeatCount));
  timeEvoRun = startRecord("time evolution", {{"onTimeS", decimalOf(record.onTime)},
                                              {"offTimeS", decimalOf(record.offTime)},
                                              {"repeat", record.repeatCount}});
  stopRequested = 0;
  scanRunning = 1;
  drawRunText(record, windows.timeWindow, timeEvoStartedText);
  const TimeEvolutionDevices devices = {
      readCurrent,
      setLaser,
      stopwatch,
      [](unsigned ms) { return stoppedDuring(pumpMessages(ms)) ? pumpStopConfirmed : pumpElapsed; },
      [&windows](const SpectroscopyRecord& r) {
        drawCurve(windows.timeWindow, r.times.data(), r.currents.data(), 0, r.pointIndex);
      },
  };
  const TimeEvolutionEnd end = runTimeEvolutionCycles(record, devices);
  drawRunText(record, windows.timeWindow, timeEvoCompletedText);
  finishRecord(timeEvoRun, end == TimeEvolutionEnd::completed ? RunOutcome::completed
                           : end == TimeEvolutionEnd::stopped ? RunOutcome::stoppedByOperator
                                                              : RunOutcome::failed);
  scanRunning = 0;
}

void saveTimeEvolution(SpectroscopyRecord& record) {
  saveSpectrum(record, timeEvoFileStem, timeEvoFileCounter, writeTimeEvolutionText,
               runOrNow(timeEvoRun, "time evolution"));
}

namespace {

// The runs share one record, so a Start that reaches a window in the middle
// of a run (from the keyboard, or the other window's button) must not begin
// a second one on it.
void startRun(int id) {
  if (id != IDC_IV_START && id != IDC_TIME_EVOLUTION_START) return;
  if (!devicesFree()) return;
  clearDeviceFaults();
  if (id == IDC_IV_START) {
    runIvCurve(spectroscopy);
    saveIvCurve(spectroscopy);
  } else {
    runTimeEvolution(spectroscopy);
    saveTimeEvolution(spectroscopy);
  }
  videoControl(2);
  reportDeviceFaults();
}

// Validates the window without drawing: the plot is not kept.
void paintNothing(HWND window) {
  PAINTSTRUCT ps;
  BeginPaint(window, &ps);
  EndPaint(window, &ps);
}

}  // namespace

LRESULT CALLBACK plotWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      startRun(LOWORD(wParam));
      paintNothing(window);
      break;
    case WM_RBUTTONDOWN:
      InvalidateRect(window, nullptr, TRUE);
      break;
    case WM_PAINT:
      paintNothing(window);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
