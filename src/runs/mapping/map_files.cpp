#include "runs/mapping/map_files.h"

#include "results/result_files.h"
#include "runs/mapping/map_export.h"
#include "services/data_paths.h"
#include "services/ui_handles.h"

#include <windows.h>

#include <cstdio>

namespace {

std::wstring freePath(const MapBuffers& map, const char* prefix) {
  if (!map.measurementFolder) return {};
  return freeTextPath(map.measurementFolder, prefix, resultNameTaken);
}

}  // namespace

std::vector<std::wstring> saveMaps(MapBuffers& map, bool withConfocal, bool* tableWritten) {
  std::vector<std::wstring> written;
  for (int t = 0; t < mapTableCount(withConfocal); ++t) {
    const std::wstring path = freePath(map, mapTables[t].prefix);
    const bool done = writeMapTable(map, path, map.*mapTables[t].values);
    if (done) written.push_back(path);
    if (tableWritten) tableWritten[t] = done;
  }
  return written;
}

bool writeMapTable(const MapBuffers& map, const std::wstring& path, const std::vector<float>& values) {
  std::FILE* file = createNewTextFile(path);
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

std::wstring writeMapInfo(const MapBuffers& map, double stepUm, float biasVoltage) {
  const std::wstring path = freePath(map, "MapInfo");
  std::FILE* file = createNewTextFile(path);
  if (!file) return {};
  const bool written = std::fputs(mapInfoText(map, stepUm, biasVoltage).c_str(), file) >= 0;
  return std::fclose(file) == 0 && written ? path : std::wstring();
}
