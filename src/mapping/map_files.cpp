#include "mapping/map_files.h"

#include "imaging/image_files.h"
#include "mapping/map_export.h"
#include "mapping/map_scan.h"
#include "shell/data_paths.h"
#include "shell/program_state.h"
#include "shell/ui_handles.h"

#include <windows.h>

#include <cstdio>

namespace {

std::wstring freePath(const MapBuffers& map, const char* prefix) {
  if (!map.measurementFolder) return {};
  return freeTextPath(map.measurementFolder, prefix,
                      [](const std::wstring& path) { return fileExists(path.c_str()); });
}

}  // namespace

bool saveMaps(MapBuffers& map, bool withConfocal) {
  bool all = true;
  for (int t = 0; t < mapTableCount(withConfocal); ++t) {
    all = writeMapTable(map, freePath(map, mapTables[t].prefix), map.*mapTables[t].values) && all;
  }
  return all;
}

bool writeMapTable(const MapBuffers& map, const std::wstring& path, const std::vector<float>& values) {
  std::FILE* file = path.empty() ? nullptr : _wfopen(path.c_str(), L"w");
  bool written = file != nullptr;
  if (file) {
    written = writeMapTableText(file, map, values);
    written = std::fclose(file) == 0 && written;
  }
  // A table cut short (a full disk) is as lost as one never opened.
  if (!written) {
    MessageBoxA(hMainWnd, "File saving error. New folder will be made.", "Image save Process", MB_OK);
    dataPaths.measurementFolderMade = 0;
  }
  return written;
}

bool writeMapInfo(const MapBuffers& map, double stepUm, float biasVoltage) {
  const std::wstring path = freePath(map, "MapInfo");
  std::FILE* file = path.empty() ? nullptr : _wfopen(path.c_str(), L"w");
  if (!file) return false;
  const bool written = std::fputs(mapInfoText(map, stepUm, biasVoltage).c_str(), file) >= 0;
  return std::fclose(file) == 0 && written;
}

void saveMapsCommand() {
  makeMeasurementFolder(dataPaths, false);
  saveMaps(mapBuffers, confocalEnabled != 0);
}
