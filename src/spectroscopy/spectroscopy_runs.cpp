#include "spectroscopy/spectroscopy_runs.h"

#include "imaging/image_files.h"
#include "measurement/current_reading.h"
#include "measurement/current_units.h"
#include "measurement/usb_sourcemeter.h"
#include "motion/arduino_link.h"
#include "shell/data_paths.h"
#include "shell/message_pump.h"
#include "shell/program_state.h"
#include "shell/reporting.h"
#include "shell/ui_handles.h"
#include "spectroscopy/iv_sweep.h"
#include "spectroscopy/plot_window.h"
#include "spectroscopy/spectroscopy_windows.h"
#include "spectroscopy/spectrum_files.h"
#include "spectroscopy/time_evolution.h"

#include <cstdio>
#include <string>

int ivFileCounter = 0;
int timeEvoFileCounter = 0;

namespace {

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

// The points in order until all are measured (true) or the operator
// confirms the stop (false).
bool sweep(SpectroscopyRecord& record, float step) {
  const int count = ivPointCount(record);
  for (int k = 0; k < count; ++k) {
    const auto i = static_cast<size_t>(k);
    record.pointIndex = k;
    record.voltages[i] = ivSweepVoltage(k, record.voltageRange, step, record.pointsPerBranch);
    configureUsbSourcemeter(record.voltages[i], currentLimit);
    if (pumpMessages(10) == pumpStopConfirmed) return false;
    record.currents[i] = amperesToMicroamperes(readUsbSourcemeter());
    std::snprintf(record.text, sizeof record.text, "%s", ivPointText(record.voltages[i], record.currents[i]).c_str());
    showInfo(record.text);
    if (k % 2 == 1) drawCurve(hIvWnd, record.voltages.data(), record.currents.data(), 0, k + 1);
  }
  return true;
}

using SpectrumWriter = bool (*)(std::FILE*, const SpectroscopyRecord&);

// A file that cannot be created, or not written whole, is reported: the
// operator must not believe the measurement was kept.
void saveSpectrum(const SpectroscopyRecord& record, const char* stem, int& counter, SpectrumWriter write) {
  makeMeasurementFolder(dataPaths, false);
  const std::wstring path = nextSpectrumPath(dataPaths.measurementFolder, stem, counter,
                                             [](const std::wstring& p) { return fileExists(p.c_str()); });
  std::FILE* file = path.empty() ? nullptr : _wfopen(path.c_str(), L"w");
  bool saved = file && write(file, record);
  if (file && std::fclose(file) != 0) saved = false;
  if (!saved) MessageBoxA(hMainWnd, "File saving error", "I-V save Process", MB_OK);
}

}  // namespace

void runIvCurve(SpectroscopyRecord& record) {
  const HWND rangeEdit = spectroscopyWindows.rangeEdit;
  const IvRangeEdit range = readIvRangeEdit(record, editText(rangeEdit).c_str());
  showBack(rangeEdit, range.shown);
  stopRequested = 0;
  scanRunning = 1;
  // The points are cleared first, so a stopped sweep's file holds zeros
  // where it did not reach, never an older sweep's values.
  if (prepareIvSweep(record) && sweep(record, range.step)) {
    drawCurve(hIvWnd, record.voltages.data(), record.currents.data(), 0, ivPointCount(record));
  }
  drawRunText(record, hIvWnd, ivFinishedText);
  scanRunning = 0;
}

void saveIvCurve(SpectroscopyRecord& record) { saveSpectrum(record, ivFileStem, ivFileCounter, writeIvCurveText); }

void runTimeEvolution(SpectroscopyRecord& record) {
  SpectroscopyWindows& windows = spectroscopyWindows;
  showBack(windows.onTimeEdit, readPhaseTimeEdit(editText(windows.onTimeEdit).c_str(), record.onTime));
  showBack(windows.offTimeEdit, readPhaseTimeEdit(editText(windows.offTimeEdit).c_str(), record.offTime));
  showBack(windows.repeatEdit, readRepeatEdit(editText(windows.repeatEdit).c_str(), record.repeatCount));
  stopRequested = 0;
  scanRunning = 1;
  drawRunText(record, windows.timeWindow, timeEvoStartedText);
  const TimeEvolutionDevices devices = {
      readCurrent,
      setLaser,
      stopwatch,
      pumpMessages,
      [&windows](const SpectroscopyRecord& r) {
        drawCurve(windows.timeWindow, r.times.data(), r.currents.data(), 0, r.pointIndex);
      },
  };
  runTimeEvolutionCycles(record, devices);
  drawRunText(record, windows.timeWindow, timeEvoCompletedText);
  scanRunning = 0;
}

void saveTimeEvolution(SpectroscopyRecord& record) {
  saveSpectrum(record, timeEvoFileStem, timeEvoFileCounter, writeTimeEvolutionText);
}
