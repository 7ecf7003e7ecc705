#pragma once
// The map tables and the "MapInfo" line written into the measurement folder
// at the end of a scan and by "Save Maps", each under a name that replaces
// no existing file.

#include "runs/mapping/map_buffers.h"

#include <string>
#include <vector>

// "Nerin", and with the confocal option also "ConfocalR", "ConfocalG",
// "ConfocalB", into the map's measurement folder. The paths of the tables
// written, for their records; tableWritten[t], when given, says which
// (in the order of mapTables).
std::vector<std::wstring> saveMaps(MapBuffers& map, bool withConfocal, bool* tableWritten = nullptr);
// One table at path. A table that cannot be written is reported ("File
// saving error. New folder will be made."), and the next save makes a new
// measurement folder; false then.
bool writeMapTable(const MapBuffers& map, const std::wstring& path, const std::vector<float>& values);
// "MapInfo": the map size, the step and the bias voltage. A file that cannot
// be written is not reported. Its path, empty when it was not written.
std::wstring writeMapInfo(const MapBuffers& map, double stepUm, float biasVoltage);
