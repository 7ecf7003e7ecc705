#pragma once
// What the tests that drive a map scan through the main window start from.

#include "services/data_paths.h"
#include "services/objective_table.h"
#include "services/program_state.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

namespace scantest {

// 0.5 V bias, confocal without Z creep correction, the 50X objective over a
// 79 um field, 1 um steps, the laser spot at (616, 514), Sample view.
inline void useScanSettings() {
  biasVoltage = 0.5f;
  confocalEnabled = 1;
  zCreepCorrection = 0;
  objectiveSettings = ObjectiveTable{};  // 50X
  applyFieldOfView(79.0);
  scanState.stepUm = 1.0;
  scanState.laserSpotX = 616;
  scanState.laserSpotY = 514;
  scanState.sampleView = 1;
}

// A data folder of the test's own in the temporary folder, without a
// measurement folder yet.
inline void useFreshDataFolder(const wchar_t* stem) {
  static int made = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::swprintf(dataPaths.dataFolder, std::size(dataPaths.dataFolder), L"%ls%ls_%lu_%d_%llu", temp, stem,
                GetCurrentProcessId(), ++made, GetTickCount64());
  CreateDirectoryW(dataPaths.dataFolder, nullptr);
  dataPaths.measurementFolderMade = 0;
}

}  // namespace scantest
